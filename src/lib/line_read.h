// The appliance's line readers read with fgets into a buffer of 8191 bytes:
// one read takes at most 8190 characters, the newline counted, so a longer
// line arrives as several lines. Every reader here keeps that limit.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>

namespace lbsnap {

inline constexpr std::size_t kLineReadMax = 8190;

// The next piece of the `size` bytes at `text` as one read takes it: up to
// and including the first newline, `room` bytes at most.
struct Piece {
    std::size_t size;  // the newline included
    bool ends_line;    // the piece ends with its line's newline
};

inline Piece next_piece(const char* text, std::size_t size, std::size_t room = kLineReadMax) {
    const std::size_t len = std::min(size, room);
    if (const auto* newline = static_cast<const char*>(std::memchr(text, '\n', len)))
        return {static_cast<std::size_t>(newline - text) + 1, true};
    return {len, false};
}

}  // namespace lbsnap
