// Positions of a report table's entries by a text of each entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace lbsnap {

// An open-addressing table of eight-byte slots (position + 1, 0 for a free
// slot, and the text's hash), probed linearly: a table of a hundred
// thousand servers costs a megabyte here, where a node-based map costs a
// heap node per entry. A text is compared only where the hashes agree, and
// growing rehashes nothing. The positions of one text are met in the order
// they were added, so the first one found is the first one added.
// `text_of(position)` gives an added position's text; the index keeps no
// texts of its own.
class TextIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The first position added with `text` for which accept(position)
    // holds, or npos.
    template <class TextOf, class Accept>
    std::size_t find(std::string_view text, TextOf text_of, Accept accept) const {
        if (slots_.empty()) return npos;
        const std::uint32_t h = hash(text);
        for (std::size_t i = home(h);; i = next(i)) {
            const Slot s = slots_[i];
            if (s.position == 0) return npos;
            if (s.hash == h && text_of(s.position - 1) == text && accept(s.position - 1)) return s.position - 1;
        }
    }

    template <class TextOf>
    void add(std::size_t position, TextOf text_of) {
        if (4 * (used_ + 1) > 3 * slots_.size()) grow();
        place({static_cast<std::uint32_t>(position + 1), hash(text_of(position))});
        ++used_;
    }

    // Frees the slots.
    void clear() {
        slots_ = {};
        used_ = 0;
    }

private:
    static constexpr std::size_t kFirstSize = 16;

    struct Slot {
        std::uint32_t position;  // + 1; 0: free
        std::uint32_t hash;
    };

    static std::uint32_t hash(std::string_view text) {
        return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
    }
    std::size_t home(std::uint32_t h) const { return h & (slots_.size() - 1); }
    std::size_t next(std::size_t i) const { return (i + 1) & (slots_.size() - 1); }
    void place(Slot s) {
        std::size_t i = home(s.hash);
        while (slots_[i].position != 0) i = next(i);
        slots_[i] = s;
    }

    void grow() {
        std::vector<Slot> old(std::max(kFirstSize, 2 * slots_.size()));
        old.swap(slots_);
        if (old.empty()) return;
        // Each run of taken slots moves from its first slot on: positions of
        // one text lie in one run, in the order they were added, and keep it.
        std::size_t start = 0;
        while (old[start].position != 0) ++start;
        for (std::size_t k = 1; k <= old.size(); ++k) {
            const Slot s = old[(start + k) & (old.size() - 1)];
            if (s.position != 0) place(s);
        }
    }

    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

}  // namespace lbsnap
