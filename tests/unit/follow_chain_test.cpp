#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "query/follow_chain.h"

namespace lbsnap {
namespace {

constexpr std::size_t kNone = FollowChains::kNone;

// The chain from `start` walked step by step, remembering nothing.
FollowChains::Chain walk_plainly(const std::vector<std::size_t>& next, std::size_t chosen,
                                 std::size_t start) {
    std::vector<bool> passed(next.size());
    FollowChains::Chain c{start, false, false};
    std::size_t p = start;
    for (; p != kNone && !passed[p]; p = next[p]) {
        passed[p] = true;
        c.end = p;
        c.meets = c.meets || p == chosen;
    }
    c.on_loop = p == start;
    return c;
}

// Whatever order the chains are asked in, the remembered walks answer as
// plain walks would: chains that stop, run into a loop or lie on one, with
// the chosen member anywhere or nowhere.
TEST(FollowChains, AnswersAsPlainWalksOnRandomGraphs) {
    std::mt19937 rng(11);
    for (int round = 0; round < 300; ++round) {
        const std::size_t n = 1 + rng() % 9;
        std::vector<std::size_t> next(n);
        for (std::size_t& f : next) f = rng() % 4 == 0 ? kNone : rng() % n;
        const std::size_t chosen = rng() % (n + 1) == n ? kNone : rng() % n;
        std::vector<std::size_t> order(n);
        for (std::size_t i = 0; i < n; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), rng);

        FollowChains chains(n, [&next](std::size_t i) { return next[i]; }, chosen);
        for (std::size_t start : order) {
            SCOPED_TRACE("round " + std::to_string(round) + " start " + std::to_string(start));
            const FollowChains::Chain want = walk_plainly(next, chosen, start);
            const FollowChains::Chain got = chains.classify(start);
            EXPECT_EQ(got.end, want.end);
            EXPECT_EQ(got.on_loop, want.on_loop);
            EXPECT_EQ(got.meets, want.meets);
            // A loop is listed from its start, each member once.
            const std::vector<std::size_t> loop = chains.loop_from(start);
            EXPECT_EQ(loop.empty(), !want.on_loop);
            for (std::size_t i = 0; i < loop.size(); ++i)
                EXPECT_EQ(next[loop[i]], loop[(i + 1) % loop.size()]);
        }
    }
}

}  // namespace
}  // namespace lbsnap
