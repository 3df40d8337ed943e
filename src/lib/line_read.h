// The appliance's line readers read with fgets into a buffer of 8191 bytes:
// one read takes at most 8190 characters, the newline counted, so a longer
// line arrives as several lines. Every reader here keeps that limit.
#pragma once

#include <cstddef>

namespace lbsnap {

inline constexpr std::size_t kLineReadMax = 8190;

}  // namespace lbsnap
