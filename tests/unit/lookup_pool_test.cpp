#include "lib/lookup_pool.h"

#include <gtest/gtest.h>

#include <chrono>
#include <new>
#include <thread>

namespace lbsnap {
namespace {

// Out of memory in any thread reaches the caller, which reports it, instead
// of ending the process from a helper thread.
TEST(RunConcurrently, AnExceptionOfAnyThreadReachesTheCaller) {
    EXPECT_THROW(run_concurrently(64,
                                  [](std::size_t) {
                                      std::this_thread::sleep_for(std::chrono::milliseconds(1));
                                      throw std::bad_alloc();
                                  },
                                  4),
                 std::bad_alloc);
}

}  // namespace
}  // namespace lbsnap
