// The findings of a configuration check, kept in the order found.
#include "store/diagnostics.h"

#include <algorithm>
#include <cstdarg>

#include "lib/format_text.h"

namespace lbsnap {

void Diagnostics::add(int line, Severity s, const char* fmt, ...) {
    std::va_list ap;
    va_start(ap, fmt);
    findings_.push_back({line, s, vformat_text(fmt, ap)});
    va_end(ap);
}

std::vector<Finding> Diagnostics::sorted() const {
    std::vector<Finding> out = findings_;
    std::stable_sort(out.begin(), out.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return out;
}

}  // namespace lbsnap
