#include "lib/format_text.h"

#include "lib/out_printf.h"

namespace lbsnap {

std::string vformat_text(const char* fmt, std::va_list ap) {
    std::string s;
    append_vprintf(s, fmt, ap);
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
