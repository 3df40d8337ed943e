#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>

#include "reports/follow.h"
#include "store/indexes.h"

namespace lbsnap {
namespace {

TEST(HasSrcAddr, OnlyTheModesWithTheClientAddress) {
    std::string with;
    for (int mode = -1; mode <= 16; ++mode)
        if (has_src_addr(mode)) with += std::to_string(mode) + " ";
    EXPECT_EQ(with, "1 3 5 7 15 ");
}

// Two ordinary VSs with real servers 1-3 and 4-6; entry ids equal their
// position + 1 within the model.
struct Chains {
    Model m;
    rs_info_t* rs[7] = {};

    Chains() {
        int id = 1;
        for (int v = 0; v < 2; ++v) {
            auto vs = std::make_unique<bahd_config_t>();
            vs->id = v + 1;
            vs->vip.assign(m.arena, v == 0 ? "10.0.0.1" : "10.0.0.2");
            vs->port = 80;
            vs->proto.assign(m.arena, "tcp");
            vs->extendedhealth = 1;
            for (int i = 0; i < 3; ++i) {
                rs_info_t e;
                e.rip.assign(m.arena, "192.168.0." + std::to_string(id));
                e.port = 80;
                e.id = id++;
                vs->rsinfo.push_back(e);
            }
            m.bahd.push_back(std::move(vs));
        }
        id = 1;
        for (auto& vs : m.bahd)
            for (auto& e : vs->rsinfo) rs[id++] = &e;
    }
};

// Real server 1 ("me") would follow the candidate.
TEST(DetectLoop, Chains) {
    using Pairs = std::vector<std::pair<int, int>>;
    struct Case {
        const char* what;
        Pairs follows;   // who -> whom (a number)
        Pairs renumber;  // entry -> new number
        int candidate;
        int want;
    };
    const Case cases[] = {
        {"candidate following nobody", {}, {}, 4, 0},
        {"chain ending elsewhere", {{4, 5}, {5, 6}}, {}, 4, 0},
        {"direct follower of me", {{2, 1}, {5, 2}}, {}, 2, 1},
        {"indirect follower of me", {{2, 1}, {5, 2}}, {}, 5, 1},
        {"unrelated entry", {{2, 1}, {5, 2}}, {}, 3, 0},
        {"chain back to the candidate", {{4, 5}, {5, 4}}, {}, 4, 1},
        {"foreign cycle 4-5-6 ends", {{3, 4}, {4, 5}, {5, 6}, {6, 4}}, {}, 3, 0},
        {"chain to a missing number", {{4, 99}}, {}, 4, 0},
        // Past the candidate, a follow of 0 is looked up like any number: it
        // finds the first real server written without a number.
        {"zero in the chain finds entry 4", {{4, 5}}, {{4, 0}}, 4, 1},
        {"unnumbered candidate following me", {{2, 1}}, {{2, 0}}, 2, 1},
        {"unnumbered entry following nobody", {{4, 6}}, {{5, 0}}, 4, 0},
        {"me already following someone", {{1, 6}, {2, 1}}, {}, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Chains t;
        for (auto [who, id] : c.renumber) t.rs[who]->id = id;
        for (auto [who, whom] : c.follows) t.rs[who]->rsfollow = whom;
        build_indexes(t.m);
        EXPECT_EQ(detect_loop(t.m, *t.rs[1], *t.rs[c.candidate]), c.want);
        // The test leaves every follow as it was.
        for (int who = 1; who <= 6; ++who) {
            int want_follow = 0;
            for (auto [w, whom] : c.follows)
                if (w == who) want_follow = whom;
            EXPECT_EQ(t.rs[who]->rsfollow, want_follow) << who;
        }
    }
}

}  // namespace
}  // namespace lbsnap

namespace lbsnap {
namespace {

// The remembered walks of the selector must answer exactly as the plain loop
// test, duplicate ids, follows of 0 and foreign cycles included.
TEST(LoopTest, AgreesWithTheWalkOnRandomFollowGraphs) {
    std::mt19937 rng(7);
    for (int round = 0; round < 200; ++round) {
        Model m;
        const int ids = 2 + static_cast<int>(rng() % 8);
        for (int v = 0; v < 3; ++v) {
            auto vs = std::make_unique<bahd_config_t>();
            vs->id = v + 1;
            vs->ismaster = (v == 2 && round % 5 == 0);  // masters are never looked up
            for (int n = static_cast<int>(rng() % 5); n > 0; --n) {
                rs_info_t e;
                e.rip.assign(m.arena, "10.0.0.1");
                e.id = static_cast<int>(rng() % ids);
                e.rsfollow = static_cast<int>(rng() % ids);
                vs->rsinfo.push_back(e);
            }
            m.bahd.push_back(std::move(vs));
        }
        build_indexes(m);
        for (const auto& home : m.bahd)
            for (const rs_info_t& me : home->rsinfo) {
                LoopTest loops(m, me);
                for (const auto& vs : m.bahd)
                    for (const rs_info_t& cand : vs->rsinfo) {
                        if (&cand == &me) continue;
                        SCOPED_TRACE("round " + std::to_string(round));
                        EXPECT_EQ(loops.refused(cand), detect_loop(m, me, cand) != 0);
                    }
            }
    }
}

}  // namespace
}  // namespace lbsnap
