#include "lib/lookup_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>

namespace lbsnap {

void run_concurrently(std::size_t count, const std::function<void(std::size_t)>& task,
                      unsigned threads) {
    if (count == 0) return;
    // The one shared counter hands out the next index; each index goes to
    // exactly one thread.
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i; (i = next.fetch_add(1, std::memory_order_relaxed)) < count;) task(i);
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
}

}  // namespace lbsnap
