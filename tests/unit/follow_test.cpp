#include <gtest/gtest.h>

#include "lookup.h"
#include "reports.h"

namespace lbsnap {
namespace {

TEST(MapPersist, WordsTimeoutAndUnknown) {
    bahd_config_t vs;
    EXPECT_EQ(map_persist(vs), 0);
    vs.timeout = 300;
    EXPECT_EQ(map_persist(vs), 1);
    vs.persist = "cookie";
    EXPECT_EQ(map_persist(vs), 2);
    vs.persist = "super-src";
    EXPECT_EQ(map_persist(vs), 15);
    vs.persist = "none";
    EXPECT_EQ(map_persist(vs), 0);
    vs.persist = "Cookie";  // the match is case-sensitive
    EXPECT_EQ(map_persist(vs), -1);
    vs.persist = "rdp";
    EXPECT_EQ(map_persist(vs), -1);
}

TEST(HasSrcAddr, OnlyTheModesWithTheClientAddress) {
    std::string with;
    for (int mode = -1; mode <= 16; ++mode)
        if (has_src_addr(mode)) with += std::to_string(mode) + " ";
    EXPECT_EQ(with, "1 3 5 7 15 ");
}

// Two ordinary VSs with real servers 1-3 and 4-6; entry ids equal their
// position + 1 within the model.
struct DetectLoop : ::testing::Test {
    Model m;
    rs_info_t* rs[7] = {};

    DetectLoop() {
        int id = 1;
        for (int v = 0; v < 2; ++v) {
            auto vs = std::make_unique<bahd_config_t>();
            vs->id = v + 1;
            vs->vip = v == 0 ? "10.0.0.1" : "10.0.0.2";
            vs->port = 80;
            vs->proto = "tcp";
            vs->extendedhealth = 1;
            for (int i = 0; i < 3; ++i) {
                rs_info_t e;
                e.rip = "192.168.0." + std::to_string(id);
                e.port = 80;
                e.id = id++;
                vs->rsinfo.push_back(e);
            }
            m.bahd.push_back(std::move(vs));
        }
        id = 1;
        for (auto& vs : m.bahd)
            for (auto& e : vs->rsinfo) rs[id++] = &e;
        build_indexes(m);
    }
    void follow(int who, int whom) { rs[who]->rsfollow = whom; }
    void renumber(int who, int id) {
        rs[who]->id = id;
        build_indexes(m);
    }
};

TEST_F(DetectLoop, CandidateFollowingNobodyIsFine) {
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 0);
}

TEST_F(DetectLoop, ChainEndingElsewhereIsFine) {
    follow(4, 5);
    follow(5, 6);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 0);
}

TEST_F(DetectLoop, DirectAndIndirectFollowersOfMeAreRefused) {
    follow(2, 1);  // 2 follows me
    follow(5, 2);  // 5 follows 2
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[2]), 1);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[5]), 1);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[3]), 0);
}

TEST_F(DetectLoop, ChainBackToTheCandidateIsRefused) {
    follow(4, 5);
    follow(5, 4);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 1);
}

TEST_F(DetectLoop, ForeignCycleEnds) {
    follow(3, 4);
    follow(4, 5);
    follow(5, 6);
    follow(6, 4);  // 4 -> 5 -> 6 -> 4 passes neither 1 nor 3
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[3]), 0);
}

TEST_F(DetectLoop, ChainToAMissingIdEnds) {
    follow(4, 99);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 0);
}

// Past the candidate, a follow of 0 is looked up like any number: it finds
// the first real server written without a number.
TEST_F(DetectLoop, ZeroInTheChainFindsTheFirstEntryNumberedZero) {
    renumber(4, 0);
    follow(4, 5);  // 4 -> 5 -> (0) = 4
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 1);
}

TEST_F(DetectLoop, UnnumberedCandidateFollowingMeIsRefused) {
    renumber(2, 0);
    follow(2, 1);  // 2 -> me, and me would follow number 0, which is 2
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[2]), 1);
}

TEST_F(DetectLoop, UnnumberedEntryFollowingNobodyEnds) {
    renumber(5, 0);
    follow(4, 6);  // 4 -> 6 -> (0) = 5 -> (0) = 5 ...
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[4]), 0);
}

TEST_F(DetectLoop, LeavesTheFollowOfMeUnchanged) {
    follow(1, 6);
    follow(2, 1);
    EXPECT_EQ(detect_loop(m, *rs[1], *rs[2]), 1);
    EXPECT_EQ(rs[1]->rsfollow, 6);
    EXPECT_EQ(rs[2]->rsfollow, 1);
}

}  // namespace
}  // namespace lbsnap
