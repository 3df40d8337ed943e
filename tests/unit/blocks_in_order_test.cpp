#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lib/blocks_in_order.h"

namespace lbsnap {
namespace {

enum class Slow { none, here, there, taker };

void pause_if(bool slow) {
    if (slow) std::this_thread::sleep_for(std::chrono::microseconds(300));
}

// Each block says who made it; the taker sees every block once, in order,
// with its own text, whichever side is the slow one, and the second thread
// never holds more than a few blocks it has made and nobody has taken.
TEST(BlocksInOrder, EveryBlockIsTakenOnceInOrder) {
    for (std::size_t count : {0, 1, 2, 3, 40})
        for (Slow slow : {Slow::none, Slow::here, Slow::there, Slow::taker}) {
            std::atomic<int> ahead{0};
            int most_ahead = 0;
            const MakeBlock here = [&](std::size_t b, std::string& text) {
                pause_if(slow == Slow::here);
                text += "here " + std::to_string(b);
            };
            const MakeBlock there = [&](std::size_t b, std::string& text) {
                pause_if(slow == Slow::there);
                text += "there " + std::to_string(b);
                most_ahead = std::max(most_ahead, ++ahead);
            };
            std::vector<std::string> taken;
            make_blocks_in_order(count, here, there, [&](std::size_t b, const std::string& text) {
                pause_if(slow == Slow::taker);
                EXPECT_EQ(b, taken.size());
                if (b % 2 == 1) --ahead;
                taken.push_back(text);
            });
            std::vector<std::string> want;
            for (std::size_t b = 0; b < count; ++b)
                want.push_back((b % 2 == 1 ? "there " : "here ") + std::to_string(b));
            EXPECT_EQ(taken, want) << count << " slow " << static_cast<int>(slow);
            EXPECT_LE(most_ahead, 4) << count << " slow " << static_cast<int>(slow);
        }
}

TEST(BlocksInOrder, WithoutASecondMakerTheCallerMakesAll) {
    std::vector<std::string> taken;
    make_blocks_in_order(
        3, [](std::size_t b, std::string& text) { text = "here " + std::to_string(b); }, MakeBlock{},
        [&](std::size_t, const std::string& text) { taken.push_back(text); });
    EXPECT_EQ(taken, (std::vector<std::string>{"here 0", "here 1", "here 2"}));
}

// A maker's failure reaches the caller when its block's turn comes, after
// every block before it was taken; a failure on the calling thread ends the
// second thread too (else this test would not end).
TEST(BlocksInOrder, FailuresReachTheCallerInTurn) {
    const MakeBlock plain = [](std::size_t b, std::string& text) { text = std::to_string(b); };
    const MakeBlock fails_at_5 = [](std::size_t b, std::string& text) {
        if (b == 5) throw std::runtime_error("block 5");
        text = std::to_string(b);
    };
    std::vector<std::string> taken;
    const TakeBlock take = [&](std::size_t, const std::string& text) { taken.push_back(text); };
    EXPECT_THROW(make_blocks_in_order(40, plain, fails_at_5, take), std::runtime_error);
    EXPECT_EQ(taken, (std::vector<std::string>{"0", "1", "2", "3", "4"}));

    taken.clear();
    const MakeBlock fails_at_4 = [](std::size_t b, std::string& text) {
        if (b == 4) throw std::runtime_error("block 4");
        text = std::to_string(b);
    };
    EXPECT_THROW(make_blocks_in_order(40, fails_at_4, plain, take), std::runtime_error);
    EXPECT_EQ(taken, (std::vector<std::string>{"0", "1", "2", "3"}));
}

}  // namespace
}  // namespace lbsnap
