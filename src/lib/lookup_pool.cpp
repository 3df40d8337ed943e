#include "lib/lookup_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace lbsnap {

void run_concurrently(std::size_t count, const std::function<void(std::size_t)>& task,
                      unsigned threads) {
    if (count == 0) return;
    // The one shared counter hands out the next index; each index goes to
    // exactly one thread.
    std::atomic<std::size_t> next{0};
    // An exception (out of memory) would end the process in a helper thread;
    // the first one stops the handing out and is thrown again here.
    std::mutex failed_mu;
    std::exception_ptr failed;
    auto work = [&] {
        try {
            for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i);
        } catch (...) {
            next.store(count, std::memory_order_relaxed);
            std::lock_guard<std::mutex> lock(failed_mu);
            if (!failed) failed = std::current_exception();
        }
    };
    // This thread is one of the workers.
    const std::size_t helpers = std::min<std::size_t>(count, std::max(threads, 1u)) - 1;
    {
        std::vector<std::jthread> pool;
        pool.reserve(helpers);
        try {
            while (pool.size() < helpers) pool.emplace_back(work);
        } catch (const std::system_error&) {
            // Fewer threads than asked for only makes the lookups slower: the
            // ones started (and this thread) take the rest.
        }
        work();
    }  // joins the helpers
    if (failed) std::rethrow_exception(failed);
}

}  // namespace lbsnap
