#include "lib/mangle.h"

#include <cstring>

namespace lbsnap {

namespace {

// Only ASCII letters and digits pass: the reports are read by tools that
// must never meet a byte of another locale's idea of a letter.
bool passes(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The escapes are put together by hand: a dump escapes every name of every
// VS, and a snprintf per byte cost more than the rest of the line.

// "&#%03d;"
void html_escape(std::string& dest, unsigned char c) {
    const char e[] = {'&', '#', static_cast<char>('0' + c / 100),
                      static_cast<char>('0' + c / 10 % 10), static_cast<char>('0' + c % 10), ';'};
    dest.append(e, sizeof e);
}

// "%%%02x"
void url_escape(std::string& dest, unsigned char c) {
    static constexpr char hex[] = "0123456789abcdef";
    const char e[] = {'%', hex[c >> 4], hex[c & 0xf]};
    dest.append(e, sizeof e);
}

// Appends src up to its first NUL, runs of passing bytes at once.
template <class Escape>
void escape_into(std::string& dest, std::string_view src, Escape escape) {
    const std::size_t nul = src.find('\0');
    if (nul != std::string_view::npos) src = src.substr(0, nul);
    std::size_t run = 0;
    for (std::size_t i = 0; i < src.size(); ++i) {
        const auto c = static_cast<unsigned char>(src[i]);
        if (passes(c)) continue;
        dest.append(src.data() + run, i - run);
        escape(dest, c);
        run = i + 1;
    }
    dest.append(src.data() + run, src.size() - run);
}

}  // namespace

void mangle(const char* src, std::FILE* out) {
    const std::string s = mangle_str(src);
    std::fwrite(s.data(), 1, s.size(), out);
}

std::string mangle_str(const char* src) {
    std::string dest;
    append_mangled(dest, src);
    return dest;
}

void append_mangled(std::string& dest, std::string_view src) { escape_into(dest, src, html_escape); }

std::string mangle_str_per(const char* src) {
    std::string dest;
    escape_into(dest, src, url_escape);
    return dest;
}

}  // namespace lbsnap
