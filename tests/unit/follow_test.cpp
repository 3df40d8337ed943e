#include <gtest/gtest.h>

#include <memory>
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
TEST(LoopTest, Chains) {
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
        // Follows of 4 go to entry 4, the first numbered 4, never to entry 5.
        {"second real server of a number", {{5, 1}}, {{5, 4}}, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Chains t(c.follows, c.renumber);
        EXPECT_EQ(LoopTest(*t.m, *t.rs[1]).refused(*t.rs[c.candidate]), c.want != 0);
    }
}

}  // namespace
}  // namespace lbsnap
