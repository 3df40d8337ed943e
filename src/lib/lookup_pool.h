// Name lookups that wait on a slow resolver, run side by side: the distinct
// requests of one command go out together on a small, bounded set of threads,
// and the answers come back in request order, whatever order they arrived in.
#pragma once

#include <cstddef>
#include <functional>
#include <unordered_map>
#include <vector>

namespace lbsnap {

// Enough lookups in flight to hide a resolver's latency, few enough not to
// flood it.
inline constexpr unsigned kLookupThreads = 32;

// Calls task(i) once for every i in [0, count), on up to `threads` threads at
// once (the calling thread among them), and returns when every call has
// returned. Calls share nothing through this function: task(i) should write
// only to a result slot of its own.
void run_concurrently(std::size_t count, const std::function<void(std::size_t)>& task,
                      unsigned threads = kLookupThreads);

// The distinct requests of one command, each asked once: requests with equal
// keys share one answer. A key may be a view into data that outlives the
// object (the model).
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

    // Asks every request concurrently; answer i belongs to slot i. `lookup`
    // is called from several threads at once.
    template <class Answer, class Lookup>
    std::vector<Answer> run(const Lookup& lookup) const {
        std::vector<Answer> answers(requests_.size());
        run_concurrently(requests_.size(),
                         [&](std::size_t i) { answers[i] = lookup(requests_[i]); });
        return answers;
    }

private:
    std::vector<Request> requests_;
    std::unordered_map<Key, std::size_t> slot_;
};

}  // namespace lbsnap
