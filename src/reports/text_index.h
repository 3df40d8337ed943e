// Positions of a report table's entries by a text of each entry.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace lbsnap {

// An open-addressing table of four-byte slots (position + 1; 0 is free),
// probed linearly: a table of a hundred thousand servers costs half a
// megabyte here, where a node-based map costs a heap node per entry. The
// positions of one text are met in the order they were added, so the first
// one found is the first one added. `text_of(position)` gives an added
// position's text; the index keeps no texts of its own.
class TextIndex {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The first position added with `text` for which accept(position)
    // holds, or npos.
    template <class TextOf, class Accept>
    std::size_t find(std::string_view text, TextOf text_of, Accept accept) const {
        if (slots_.empty()) return npos;
        for (std::size_t i = home(text);; i = next(i)) {
            const std::uint32_t s = slots_[i];
            if (s == 0) return npos;
            if (text_of(s - 1) == text && accept(s - 1)) return s - 1;
        }
    }

    template <class TextOf>
    void add(std::size_t position, TextOf text_of) {
        if (4 * (used_ + 1) > 3 * slots_.size()) grow(text_of);
        place(position, home(text_of(position)));
        ++used_;
    }

    // Frees the slots.
    void clear() {
        slots_ = {};
        used_ = 0;
    }

private:
    static constexpr std::size_t kFirstSize = 16;

    std::size_t home(std::string_view text) const {
        return std::hash<std::string_view>{}(text) & (slots_.size() - 1);
    }
    std::size_t next(std::size_t i) const { return (i + 1) & (slots_.size() - 1); }
    void place(std::size_t position, std::size_t i) {
        while (slots_[i] != 0) i = next(i);
        slots_[i] = static_cast<std::uint32_t>(position + 1);
    }

    template <class TextOf>
    void grow(TextOf text_of) {
        std::vector<std::uint32_t> old(std::max(kFirstSize, 2 * slots_.size()));
        old.swap(slots_);
        if (old.empty()) return;
        // Each run of taken slots moves from its first slot on: positions of
        // one text lie in one run, in the order they were added, and keep it.
        std::size_t start = 0;
        while (old[start] != 0) ++start;
        for (std::size_t k = 1; k <= old.size(); ++k) {
            const std::uint32_t s = old[(start + k) & (old.size() - 1)];
            if (s != 0) place(s - 1, home(text_of(s - 1)));
        }
    }

    std::vector<std::uint32_t> slots_;
    std::size_t used_ = 0;
};

}  // namespace lbsnap
