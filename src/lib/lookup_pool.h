// Name lookups that wait on a slow resolver, run side by side: the distinct
// requests of one command go out together on a small, bounded set of threads,
// and the answers come back in request order, whatever order they arrived in.
// The wait can be bounded: a lookup still out then counts as unanswered.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lbsnap {

// Enough lookups in flight to hide a resolver's latency, few enough not to
// flood it.
inline constexpr unsigned kLookupThreads = 32;

// How the caller waits for the answers.
struct LookupWait {
    // From the start of the lookups; none: until every lookup has returned.
    std::optional<std::chrono::duration<double>> limit;
    // Told (answered, asked) on the waiting thread when the wait begins and
    // then now and again while answers come in; may be empty.
    std::function<void(std::size_t answered, std::size_t asked)> progress;
};

// Calls task(i) once for every i in [0, count) on up to `threads` helper
// threads at once, and returns, per i, whether task(i) returned within the
// wait's limit. A call still running then (a resolver that never answers
// cannot be interrupted) is left to finish on its own: the helpers are never
// joined, and `task` stays alive until the last of them is done with it. So
// `task` must own, or share, everything it touches, and write only to a slot
// of its own that the caller reads only where the result says so.
std::vector<char> run_concurrently(std::size_t count, std::function<void(std::size_t)> task,
                                   const LookupWait& wait = {}, unsigned threads = kLookupThreads);

// The distinct requests of one command, each asked once: requests with equal
// keys share one answer. A key may be a view into data that outlives the
// object (the model); requests are copied for the lookups.
template <class Key, class Request>
class DistinctLookups {
public:
    // The answer slot of `key`; its request is queued the first time the key
    // is seen.
    std::size_t add(const Key& key, const Request& request) {
        auto [it, added] = slot_.try_emplace(key, requests_.size());
        if (added) requests_.push_back(request);
        return it->second;
    }

    std::size_t size() const { return requests_.size(); }

    // Asks every request concurrently; answer i belongs to slot i, and is
    // the empty Answer for a lookup not answered within the wait. `lookup`
    // is called from several threads at once, with a copy of a request.
    template <class Answer, class Lookup>
    std::vector<Answer> run(Lookup lookup, const LookupWait& wait = {}) const {
        // A lookup that outlives the wait still writes its slot, so the
        // requests, the lookup and the slots belong to the lookups, not to
        // this call.
        struct Shared {
            std::vector<Request> requests;
            Lookup lookup;
            std::vector<Answer> slots;
        };
        auto shared = std::make_shared<Shared>(
            Shared{requests_, std::move(lookup), std::vector<Answer>(requests_.size())});
        const std::vector<char> in_time = run_concurrently(
            requests_.size(),
            [shared](std::size_t i) { shared->slots[i] = shared->lookup(shared->requests[i]); },
            wait);
        std::vector<Answer> answers(requests_.size());
        for (std::size_t i = 0; i < answers.size(); ++i)
            if (in_time[i]) answers[i] = std::move(shared->slots[i]);
        return answers;
    }

private:
    std::vector<Request> requests_;
    std::unordered_map<Key, std::size_t> slot_;
};

}  // namespace lbsnap
