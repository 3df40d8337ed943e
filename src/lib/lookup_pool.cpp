#include "lib/lookup_pool.h"

#include <algorithm>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace lbsnap {

namespace {

// Often enough for a count to look alive, seldom enough to cost nothing.
constexpr std::chrono::milliseconds kProgressTick{100};

// What the helpers share with the caller and with each other. The helpers
// are detached and each holds the state through a shared_ptr, so a helper
// stuck in the resolver after the caller gave up still finds everything it
// touches alive, and the process can print and exit without joining it.
struct PoolState {
    PoolState(std::size_t n, std::function<void(std::size_t)> t)
        : count(n), task(std::move(t)), in_time(n, 0) {}

    const std::size_t count;
    const std::function<void(std::size_t)> task;
    std::mutex mu;
    std::condition_variable all_in;
    // Under mu from here on.
    std::size_t next = 0;
    std::size_t answered = 0;
    // Set when the caller stops waiting: nothing more is handed out, and a
    // late answer is not marked, so the caller never reads a slot that is
    // still being written.
    bool given_up = false;
    std::vector<char> in_time;
    // An exception (out of memory) would end the process in a helper; the
    // first one stops the handing out and is thrown again by the caller.
    std::exception_ptr failed;
};

void work(const std::shared_ptr<PoolState>& s) {
    for (;;) {
        std::size_t i;
        {
            std::lock_guard<std::mutex> lock(s->mu);
            if (s->given_up || s->failed || s->next == s->count) return;
            i = s->next++;
        }
        try {
            s->task(i);
        } catch (...) {
            std::lock_guard<std::mutex> lock(s->mu);
            if (!s->failed) s->failed = std::current_exception();
            s->all_in.notify_all();
            return;
        }
        std::lock_guard<std::mutex> lock(s->mu);
        if (s->given_up) return;
        s->in_time[i] = 1;
        if (++s->answered == s->count) s->all_in.notify_all();
    }
}

// Starts up to `wanted` detached helpers; returns how many started.
std::size_t start_helpers(const std::shared_ptr<PoolState>& s, std::size_t wanted) {
    std::size_t started = 0;
    try {
        for (; started < wanted; ++started) std::thread(work, s).detach();
    } catch (const std::system_error&) {
        // Fewer threads than asked for only makes the lookups slower.
    }
    return started;
}

// Waits until every task has returned, one has failed, or the limit is
// reached, telling the progress on the way; then gives the rest up.
void wait_for_answers(PoolState& s, const LookupWait& wait) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::optional<Clock::time_point> deadline;
    if (wait.limit) deadline = start + std::chrono::duration_cast<Clock::duration>(*wait.limit);
    std::unique_lock<std::mutex> lock(s.mu);
    std::optional<std::size_t> shown;
    for (;;) {
        if (s.failed || s.answered == s.count) break;
        const auto now = Clock::now();
        if (deadline && now >= *deadline) break;
        if (wait.progress && shown != s.answered) {
            shown = s.answered;
            lock.unlock();
            wait.progress(*shown, s.count);
            lock.lock();
            continue;
        }
        if (!deadline && !wait.progress) {
            s.all_in.wait(lock);
            continue;
        }
        Clock::time_point until = deadline ? *deadline : now + kProgressTick;
        if (wait.progress) until = std::min(until, now + kProgressTick);
        s.all_in.wait_until(lock, until);
    }
    s.given_up = true;
}

}  // namespace

std::vector<char> run_concurrently(std::size_t count, std::function<void(std::size_t)> task,
                                   const LookupWait& wait, unsigned threads) {
    if (count == 0) return {};
    auto state = std::make_shared<PoolState>(count, std::move(task));
    const std::size_t wanted = std::min<std::size_t>(count, std::max(threads, 1u));
    if (start_helpers(state, wanted) == 0) work(state);  // no thread at all: unbounded, here
    wait_for_answers(*state, wait);
    std::lock_guard<std::mutex> lock(state->mu);
    if (state->failed) std::rethrow_exception(state->failed);
    return state->in_time;
}

}  // namespace lbsnap
