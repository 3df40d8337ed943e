// A value built on first use, safe to ask for from several threads at once.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

namespace lbsnap {

// Holds a T that the first get() builds; later calls (from any thread) get
// the same one. Once built, a get() costs one atomic load: lookups ask for
// their index once per VS of a report.
template <class T>
class BuiltOnce {
public:
    template <class Build>
    const T& get(Build build) const {
        if (const T* built = ready_.load(std::memory_order_acquire)) return *built;
        std::lock_guard<std::mutex> lock(building_);
        if (!value_) {
            value_ = build();
            ready_.store(value_.get(), std::memory_order_release);
        }
        return *value_;
    }

    // Forgets the value; no other thread may be asking for it.
    void reset() {
        ready_.store(nullptr, std::memory_order_relaxed);
        value_.reset();
    }

private:
    mutable std::mutex building_;
    mutable std::unique_ptr<const T> value_;
    mutable std::atomic<const T*> ready_{nullptr};
};

}  // namespace lbsnap
