// Sorting a report table in place by small keys.
#pragma once

#include <arpa/inet.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <vector>

#include "lib/addrs.h"

namespace lbsnap {

// The order of a table's entries, worked out from nine bytes per entry: a
// group, a 32-bit value (an IPv4 address, or the rank of an IPv6 address
// among the table's) and the entry's position. Each address is converted
// once, and the table is then put in order within itself: a sorted copy of
// a table of a hundred thousand servers, or keys holding whole addresses,
// would be the peak of the run. Entries are added in table order.
class EntryOrder {
public:
    explicit EntryOrder(std::size_t n) {
        words_.reserve(n);
        groups_.reserve(n);
    }

    // The next entry sorts by its group, then by `value`.
    void add(std::uint8_t group, std::uint32_t value = 0) {
        words_.push_back(std::uint64_t{value} << 32 | words_.size());
        groups_.push_back(group);
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
            const std::uint32_t a = position(x), b = position(y);
            int d = groups_[a] - groups_[b];
            if (d == 0 && (x >> 32) != (y >> 32)) d = (x >> 32) < (y >> 32) ? -1 : 1;
            if (d == 0) d = tie(groups_[a], a, b);
            if (d != 0) return reverse ? d > 0 : d < 0;
            return a < b;
        });
        groups_ = {};
        move_to_places(items);
    }

private:
    struct V6 {
        in6_addr addr;
        std::uint32_t position;
    };

    static std::uint32_t position(std::uint64_t word) { return static_cast<std::uint32_t>(word); }

    // Equal IPv6 addresses share a rank; a lower address has a lower one.
    void rank_v6() {
        std::sort(v6_.begin(), v6_.end(), [](const V6& x, const V6& y) {
            return std::memcmp(&x.addr, &y.addr, sizeof x.addr) < 0;
        });
        std::uint32_t rank = 0;
        for (std::size_t i = 0; i < v6_.size(); ++i) {
            if (i > 0 && std::memcmp(&v6_[i - 1].addr, &v6_[i].addr, sizeof(in6_addr)) != 0) ++rank;
            words_[v6_[i].position] = std::uint64_t{rank} << 32 | v6_[i].position;
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

    std::vector<std::uint64_t> words_;  // value << 32 | position
    std::vector<std::uint8_t> groups_;  // by position
    std::vector<V6> v6_;
};

}  // namespace lbsnap
