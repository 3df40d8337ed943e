// Two makers, one taker: the second thread fills a ring of slots, the
// calling thread empties them between blocks of its own.
#include "lib/blocks_in_order.h"

#include <array>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

namespace lbsnap {

namespace {

// How many blocks the second thread may have made and not yet handed over.
constexpr std::size_t kSlots = 4;

class SecondMaker {
public:
    SecondMaker(std::size_t count, const MakeBlock& make) : count_(count), make_(make), thread_([this] { run(); }) {}

    ~SecondMaker() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    SecondMaker(const SecondMaker&) = delete;
    SecondMaker& operator=(const SecondMaker&) = delete;

    // The text of odd block b, once made; what making it threw, thrown.
    const std::string& wait_for(std::size_t block) {
        Slot& s = slot(block);
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return s.made; });
        if (s.error) std::rethrow_exception(s.error);
        return s.text;
    }

    // Block b is taken: its slot may hold a later block.
    void taken(std::size_t block) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            slot(block).made = false;
        }
        changed_.notify_all();
    }

private:
    struct Slot {
        std::string text;
        std::exception_ptr error;
        bool made = false;
    };

    Slot& slot(std::size_t block) { return slots_[(block / 2) % kSlots]; }

    void run() {
        for (std::size_t block = 1; block < count_; block += 2) {
            Slot& s = slot(block);
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || !s.made; });
                if (stopping_) return;
            }
            s.text.clear();
            try {
                make_(block, s.text);
            } catch (...) {
                s.error = std::current_exception();
            }
            {
                std::lock_guard<std::mutex> lock(mutex_);
                s.made = true;
            }
            changed_.notify_all();
        }
    }

    const std::size_t count_;
    const MakeBlock& make_;
    std::array<Slot, kSlots> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool stopping_ = false;
    // Last: the thread starts once everything it uses is in place.
    std::thread thread_;
};

}  // namespace

void make_blocks_in_order(std::size_t count, const MakeBlock& make_here, const MakeBlock& make_there,
                          const TakeBlock& take) {
    std::optional<SecondMaker> second;
    if (make_there) {
        try {
            second.emplace(count, make_there);
        } catch (const std::system_error&) {
            // No thread to be had: this one makes every block.
        }
    }
    std::string text;
    for (std::size_t block = 0; block < count; ++block) {
        if (second && block % 2 == 1) {
            take(block, second->wait_for(block));
            second->taken(block);
            continue;
        }
        text.clear();
        make_here(block, text);
        take(block, text);
    }
}

}  // namespace lbsnap
