// Sorting a report table in place by small keys.
#pragma once

#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <new>
#include <vector>

#include "lib/addrs.h"

namespace lbsnap {

// The order of a table's entries, worked out from one word per entry: a
// group, a 32-bit value (an IPv4 address, or the rank of an IPv6 address
// among the table's) and the entry's position, so that most comparisons are
// one of two integers. Each address is converted once, and the table is then
// put in order within itself: a sorted copy of a table of a hundred thousand
// servers, or keys holding whole addresses, would be the peak of the run.
// Entries are added in table order.
class EntryOrder {
public:
    static constexpr std::uint8_t kGroups = 16;

    explicit EntryOrder(std::size_t n) {
        // Past this the positions do not fit their bits; such a table would
        // not fit the memory either.
        if (n > kPositionMask + 1) throw std::bad_alloc();
        words_.reserve(n);
    }

    // The next entry sorts by its group (below kGroups), then by `value`.
    void add(std::uint8_t group, std::uint32_t value = 0) {
        words_.push_back(std::uint64_t{group} << kGroupShift | std::uint64_t{value} << kPositionBits |
                         words_.size());
    }
    // The next entry sorts by its group, then by address: give IPv6 and
    // IPv4 addresses groups of their own.
    void add(std::uint8_t group, const lm_addr& a) {
        if (a.af == AF_INET6) v6_.push_back(V6{a.ad.v6, static_cast<std::uint32_t>(words_.size())});
        add(group, a.af == AF_INET ? ntohl(a.ad.v4.s_addr) : 0);
    }

    // Sorts `items` by group, value, then tie(group, a, b) (negative,
    // zero or positive for the entries at positions a and b), the whole
    // comparison turned round when `reverse`; entries that still compare
    // equal keep their order.
    template <class T, class Tie>
    void sort(std::deque<T>& items, Tie tie, bool reverse) {
        rank_v6();
        std::sort(words_.begin(), words_.end(), [&](std::uint64_t x, std::uint64_t y) {
            const std::uint64_t kx = x >> kPositionBits, ky = y >> kPositionBits;
            const int d = kx != ky ? (kx < ky ? -1 : 1) : tie(group(x), position(x), position(y));
            if (d != 0) return reverse ? d > 0 : d < 0;
            return position(x) < position(y);
        });
        move_to_places(items);
    }

private:
    struct V6 {
        in6_addr addr;
        std::uint32_t position;
    };

    static constexpr int kPositionBits = 28;
    static constexpr int kGroupShift = kPositionBits + 32;
    static constexpr std::uint64_t kPositionMask = (std::uint64_t{1} << kPositionBits) - 1;
    static_assert(kGroups <= std::uint64_t{1} << (64 - kGroupShift));

    static std::uint32_t position(std::uint64_t word) { return static_cast<std::uint32_t>(word & kPositionMask); }
    static std::uint8_t group(std::uint64_t word) { return static_cast<std::uint8_t>(word >> kGroupShift); }

    // Equal IPv6 addresses share a rank; a lower address has a lower one.
    void rank_v6() {
        std::sort(v6_.begin(), v6_.end(), [](const V6& x, const V6& y) {
            return std::memcmp(&x.addr, &y.addr, sizeof x.addr) < 0;
        });
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < v6_.size(); ++i) {
            if (i > 0 && std::memcmp(&v6_[i - 1].addr, &v6_[i].addr, sizeof(in6_addr)) != 0) ++rank;
            std::uint64_t& w = words_[v6_[i].position];
            w = std::uint64_t{group(w)} << kGroupShift | std::uint64_t{rank} << kPositionBits | v6_[i].position;
        }
        v6_ = {};
    }

    // Puts the entry that belongs at place i there, one cycle of the
    // permutation at a time; the sorted words are used up.
    template <class T>
    void move_to_places(std::deque<T>& items) {
        for (std::uint64_t& w : words_) w = position(w);
        for (std::size_t start = 0; start < words_.size(); ++start) {
            if (words_[start] == start) continue;
            T held = items[start];
            std::size_t to = start;
            for (std::size_t from = words_[to]; from != start; from = words_[to]) {
                items[to] = items[from];
                words_[to] = to;
                to = from;
            }
            items[to] = held;
            words_[to] = to;
        }
        words_ = {};
    }

    std::vector<std::uint64_t> words_;  // group << 60 | value << 28 | position
    std::vector<V6> v6_;
};

}  // namespace lbsnap
