// The integer conversion of the configuration's values and of the numbers
// users give on the command line.
#pragma once

#include <climits>
#include <cstdint>

namespace lbsnap {

// A decimal integer as strtol with base 10 reads it in the C locale:
// leading white space and a sign, then digits; no digits give 0 and *end
// = s. Values beyond int are clamped to INT_MIN/INT_MAX rather than
// wrapped, so a huge number stays a huge number of the same sign. Read by
// hand because every line of a large configuration passes through here.
inline int config_int(const char* s, const char** end) {
    const char* p = s;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
    bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p < '0' || *p > '9') {
        *end = s;
        return 0;
    }
    // Past this the value is clamped whatever further digits say.
    constexpr std::int64_t beyond_int = std::int64_t{1} << 32;
    std::int64_t v = 0;
    for (; *p >= '0' && *p <= '9'; ++p)
        if (v < beyond_int) v = v * 10 + (*p - '0');
    *end = p;
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

inline int config_int(const char* s) {
    const char* end;
    return config_int(s, &end);
}

}  // namespace lbsnap
