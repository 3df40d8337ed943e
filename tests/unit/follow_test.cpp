#include <gtest/gtest.h>

#include <memory>
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
TEST(LoopTest, Chains) {
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
        // Follows of 4 go to entry 4, the first numbered 4, never to entry 5.
        {"second real server of a number", {{5, 1}}, {{5, 4}}, 5, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Chains t;
        for (auto [who, id] : c.renumber) t.rs[who]->id = id;
        for (auto [who, whom] : c.follows) t.rs[who]->rsfollow = whom;
        build_indexes(t.m);
        EXPECT_EQ(LoopTest(t.m, *t.rs[1]).refused(*t.rs[c.candidate]), c.want != 0);
    }
}

}  // namespace
}  // namespace lbsnap
