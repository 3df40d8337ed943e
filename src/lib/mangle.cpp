#include "lib/mangle.h"

namespace lbsnap {

namespace {

// Only ASCII letters and digits pass: the reports are read by tools that
// must never meet a byte of another locale's idea of a letter.
bool passes(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Calls keep(c) for a byte that stays and escape(c) for every other one,
// up to the first NUL.
template <class Keep, class Escape>
void walk(const char* src, Keep keep, Escape escape) {
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(src); *p; ++p) {
        if (passes(*p))
            keep(*p);
        else
            escape(*p);
    }
}

std::string escape_to_string(const char* src, const char* fmt) {
    std::string dest;
    walk(
        src, [&](unsigned char c) { dest.push_back(static_cast<char>(c)); },
        [&](unsigned char c) {
            char buf[8];
            int n = std::snprintf(buf, sizeof buf, fmt, c);
            dest.append(buf, static_cast<std::size_t>(n));
        });
    return dest;
}

}  // namespace

void mangle(const char* src, std::FILE* out) {
    walk(
        src, [&](unsigned char c) { std::fputc(c, out); },
        [&](unsigned char c) { std::fprintf(out, "&#%03d;", c); });
}

std::string mangle_str(const char* src) { return escape_to_string(src, "&#%03d;"); }

std::string mangle_str_per(const char* src) { return escape_to_string(src, "%%%02x"); }

}  // namespace lbsnap
