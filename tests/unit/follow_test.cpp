#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "config_text.h"
#include "reports/follow.h"

namespace lbsnap {
namespace {

TEST(HasSrcAddr, OnlyTheModesWithTheClientAddress) {
    std::string with;
    for (int mode = -1; mode <= 16; ++mode)
        if (has_src_addr(mode)) with += std::to_string(mode) + " ";
    EXPECT_EQ(with, "1 3 5 7 15 ");
}

using Pairs = std::vector<std::pair<int, int>>;

// Two ordinary VSs with real servers 1-3 and 4-6 (by their place), each
// numbered by its place unless `renumber` gives it another number, and
// following the number `follows` gives it.
struct Chains {
    std::unique_ptr<Model> m;
    const rs_info_t* rs[7] = {};

    Chains(const Pairs& follows, const Pairs& renumber) {
        auto of = [](const Pairs& pairs, int place, int dflt) {
            for (auto [who, n] : pairs)
                if (who == place) dflt = n;
            return std::to_string(dflt);
        };
        std::string text;
        for (int first : {1, 4}) {
            std::string servers;
            for (int place = first; place < first + 3; ++place)
                servers += "-a -r 192.168.0." + std::to_string(place) + ":80 -I " +
                           of(renumber, place, place) + " -f " + of(follows, place, 0) + "\n";
            text += testing::vs_section("VIP: 10.0.0." + std::to_string(first) +
                                        "\nEXTENDEDHEALTH: 1\n<IPVSADM>\n" + servers);
        }
        m = testing::load_ok(text);
        int place = 1;
        for (const auto& vs : m->bahd)
            for (const rs_info_t& e : vs->rsinfo) rs[place++] = &e;
    }
};

// Real server 1 ("me") would follow the candidate.
TEST(DetectLoop, Chains) {
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
        const Chains t(c.follows, c.renumber);
        EXPECT_EQ(detect_loop(*t.m, *t.rs[1], *t.rs[c.candidate]), c.want);
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
        const int ids = 2 + static_cast<int>(rng() % 8);
        std::string text;
        for (int v = 0; v < 3; ++v) {
            // Masters are never looked up.
            text += "<SECTION VS>\nVID: " + std::to_string(v + 1) + "\nMASTER: " +
                    (v == 2 && round % 5 == 0 ? "1" : "0") + "\n<IPVSADM>\n";
            for (int n = static_cast<int>(rng() % 5); n > 0; --n) {
                const auto id = rng() % ids;
                text += "-a -r 10.0.0.1 -I " + std::to_string(id) + " -f " +
                        std::to_string(rng() % ids) + "\n";
            }
            text += "<END>\n<END VS>\n";
        }
        const auto loaded = testing::load_ok(text);
        const Model& m = *loaded;
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
