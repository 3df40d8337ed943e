#include "lib/lookup_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace lbsnap {
namespace {

using namespace std::chrono_literals;

// Out of memory in any thread reaches the caller, which reports it, instead
// of ending the process from a helper thread.
TEST(RunConcurrently, AnExceptionOfAnyThreadReachesTheCaller) {
    EXPECT_THROW(run_concurrently(64,
                                  [](std::size_t) {
                                      std::this_thread::sleep_for(1ms);
                                      throw std::bad_alloc();
                                  },
                                  {}, 4),
                 std::bad_alloc);
}

// A resolver that answers some requests at once and holds the others until
// the test lets them go, long after the caller stopped waiting. The held
// lookups then still write their slots: the run must neither count those
// answers nor have freed what they write to.
class HeldLookups : public ::testing::Test {
protected:
    void TearDown() override { release_.set_value(); }

    // Answers "name" with "name.answer"; names starting with "held" wait
    // for the release first.
    auto lookup() {
        return [held = release_.get_future().share()](const std::string& name) {
            if (name.starts_with("held")) held.wait();
            return std::optional<std::string>(name + ".answer");
        };
    }

    std::promise<void> release_;
};

TEST_F(HeldLookups, ALookupStillOutAtTheLimitCountsAsUnanswered) {
    DistinctLookups<std::string, std::string> lookups;
    for (const char* name : {"a", "held1", "b", "held2", "c"}) lookups.add(name, name);
    std::mutex mu;
    std::vector<std::pair<std::size_t, std::size_t>> told;
    const LookupWait wait{50ms, [&](std::size_t answered, std::size_t asked) {
                              std::lock_guard<std::mutex> lock(mu);
                              told.emplace_back(answered, asked);
                          }};
    const auto answers = lookups.run<std::optional<std::string>>(lookup(), wait);
    const std::vector<std::optional<std::string>> want{"a.answer", std::nullopt, "b.answer",
                                                       std::nullopt, "c.answer"};
    EXPECT_EQ(answers, want);
    ASSERT_FALSE(told.empty());
    for (std::size_t i = 0; i < told.size(); ++i) {
        if (i > 0) {
            EXPECT_LT(told[i - 1].first, told[i].first);
        }
        EXPECT_LE(told[i].first, 3u);
        EXPECT_EQ(told[i].second, 5u);
    }
}

// More held lookups than threads: the ones never handed out are unanswered
// too, and without a limit every answer is waited for.
TEST_F(HeldLookups, OnlyTheAnsweredCountWhatLimitsTheThreads) {
    std::vector<char> in_time = run_concurrently(
        6, [](std::size_t i) { if (i < 2) std::this_thread::sleep_for(1h); }, {10ms, {}}, 2);
    EXPECT_EQ(in_time, (std::vector<char>{0, 0, 0, 0, 0, 0}));
    DistinctLookups<std::string, std::string> lookups;
    for (const char* name : {"x", "y"}) lookups.add(name, name);
    EXPECT_EQ(lookups.run<std::optional<std::string>>(lookup()),
              (std::vector<std::optional<std::string>>{"x.answer", "y.answer"}));
}

}  // namespace
}  // namespace lbsnap
