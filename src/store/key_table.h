// Key tables of the configuration sections. Internal to the configuration
// reader (reader, VS keys, rules).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "lib/ascii.h"

namespace lbsnap {

// One section's keys. Every key ends with its only colon, so the key a line
// starts with (as find_key would match it, case ignored) is exactly the
// line's text up to and including its first colon; one hash probe replaces
// testing the keys one after another. The key is hashed and compared where
// it lies in the line, never copied.
template <class Handler>
class KeyTable {
public:
    KeyTable(std::initializer_list<std::pair<std::string_view, Handler>> rows)
        : KeyTable(std::span(rows.begin(), rows.size())) {}
    explicit KeyTable(std::span<const std::pair<std::string_view, Handler>> rows) {
        std::size_t size = 16;
        while (size < rows.size() * 4) size *= 2;
        slots_.resize(size);
        for (const auto& [key, h] : rows) {
            keys_.push_back(key);
            if (key.size() > longest_) longest_ = key.size();
            std::size_t i = hash(key) & (size - 1);
            while (slots_[i].handler) i = (i + 1) & (size - 1);
            slots_[i] = Slot{key, h};
        }
    }

    // The handler of the key that starts `line`, with *value set to the
    // text after the key and any blanks and tabs; null if no key matches.
    template <class Char>
    const Handler* find(Char* line, Char** value) const {
        std::size_t n = 0;
        while (n < longest_ && line[n] && line[n] != ':') ++n;
        if (line[n] != ':') return nullptr;
        std::string_view key(line, n + 1);
        std::size_t mask = slots_.size() - 1;
        for (std::size_t i = hash(key) & mask; slots_[i].handler; i = (i + 1) & mask) {
            if (!same_key(slots_[i].key, key)) continue;
            Char* v = line + n + 1;
            while (*v == ' ' || *v == '\t') ++v;
            *value = v;
            return &slots_[i].handler;
        }
        return nullptr;
    }

    // Every key, in the order of the rows.
    std::span<const std::string_view> keys() const { return keys_; }

private:
    struct Slot {
        std::string_view key;
        Handler handler{};
    };

    // Length and three letters tell the keys of a section nearly apart; the
    // comparison settles the rest. Cheaper than hashing every byte.
    static std::size_t hash(std::string_view s) {
        auto at = [&](std::size_t i) { return static_cast<unsigned char>(ascii_upper(s[i])); };
        std::size_t n = s.size();
        std::uint64_t h = n;
        h = h * 131 + at(0);
        h = h * 131 + (n > 2 ? at(1) : 0);
        h = h * 131 + (n > 2 ? at(n - 2) : 0);
        return static_cast<std::size_t>((h * 0x9E3779B97F4A7C15ull) >> 40);
    }
    static bool same_key(std::string_view table_key, std::string_view line_key) {
        if (table_key.size() != line_key.size()) return false;
        // Keys are mostly written as the table has them.
        if (table_key == line_key) return true;
        for (std::size_t i = 0; i < line_key.size(); ++i)
            if (ascii_upper(line_key[i]) != ascii_upper(table_key[i])) return false;
        return true;
    }

    std::vector<Slot> slots_;
    std::vector<std::string_view> keys_;
    std::size_t longest_ = 0;
};

}  // namespace lbsnap
