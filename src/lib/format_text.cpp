#include "lib/format_text.h"

#include <cstdio>

namespace lbsnap {

std::string vformat_text(const char* fmt, std::va_list ap) {
    std::va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(nullptr, 0, fmt, ap);
    std::string s(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(s.data(), s.size() + 1, fmt, again);
    va_end(again);
    return s;
}

std::string format_text(const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    std::string s = vformat_text(fmt, ap);
    va_end(ap);
    return s;
}

}  // namespace lbsnap
