// A report's table of distinct real servers: the name table of -s, -S, -N
// and the statistics, the display tables of -A and -Y. Entries stay in the
// order they were added until the table is sorted, and are found again by
// texts of their own through flat indexes that the table keeps in step with
// its entries, sorting included. The entries grow in blocks, never copied to
// a larger array.
#pragma once

#include <array>
#include <cstddef>
#include <deque>
#include <string_view>
#include <utility>

#include "reports/entry_order.h"
#include "reports/text_index.h"

namespace lbsnap {

// Keys says how entries are found: Keys::count texts per entry;
// Keys::text<K>(entry) is the entry's text under key K and
// Keys::indexed<K>(entry) whether the entry is found by that key at all.
template <class Entry, class Keys>
class ServerTable {
public:
    static constexpr std::size_t npos = TextIndex::npos;

    std::size_t size() const { return entries_.size(); }
    const std::deque<Entry>& entries() const { return entries_; }
    const Entry& operator[](std::size_t pos) const { return entries_[pos]; }

    // The position of the first entry in table order whose text under key K
    // is `text` and for which accept(entry) holds; npos when there is none.
    template <std::size_t K, class Accept>
    std::size_t find(std::string_view text, Accept accept) const {
        refresh();
        return index_[K].find(text, text_of<K>(), [&](std::size_t pos) { return accept(entries_[pos]); });
    }
    template <std::size_t K>
    std::size_t find(std::string_view text) const {
        refresh();
        return index_[K].find(text, text_of<K>(), [](std::size_t) { return true; });
    }

    void append(const Entry& e) {
        entries_.push_back(e);
        if (!stale_) index(entries_.size() - 1);
    }

    // Changes the entry at `pos`; `change` leaves its key texts as they are.
    template <class Change>
    void update(std::size_t pos, Change change) {
        change(entries_[pos]);
    }

    // Puts the entries in order: add_key(entry, order) adds each entry's
    // group and value to the EntryOrder, tie(group, a, b) orders the entries
    // at positions a and b where those are equal; `reverse` turns the whole
    // order round. Entries that still compare equal keep their order.
    template <class AddKey, class Tie>
    void sort(AddKey add_key, Tie tie, bool reverse) {
        if (entries_.size() < 2) return;
        // The indexes are rebuilt when next asked: freed first, they do not
        // add to the sort's peak.
        for (TextIndex& ix : index_) ix.clear();
        stale_ = true;
        EntryOrder order(entries_.size());
        for (const Entry& e : entries_) add_key(e, order);
        order.sort(entries_, tie, reverse);
    }

private:
    template <std::size_t K>
    auto text_of() const {
        return [this](std::size_t pos) { return Keys::template text<K>(entries_[pos]); };
    }
    template <std::size_t K>
    void index_by(std::size_t pos) const {
        if (Keys::template indexed<K>(entries_[pos])) index_[K].add(pos, text_of<K>());
    }
    template <std::size_t... K>
    void index(std::size_t pos, std::index_sequence<K...>) const {
        (index_by<K>(pos), ...);
    }
    void index(std::size_t pos) const { index(pos, std::make_index_sequence<Keys::count>{}); }
    void refresh() const {
        if (!stale_) return;
        stale_ = false;
        for (std::size_t pos = 0; pos < entries_.size(); ++pos) index(pos);
    }

    std::deque<Entry> entries_;
    mutable std::array<TextIndex, Keys::count> index_;
    mutable bool stale_ = false;
};

}  // namespace lbsnap
