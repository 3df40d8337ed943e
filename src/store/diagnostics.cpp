// The findings of a configuration check, kept in the order found.
#include "store/diagnostics.h"

#include <algorithm>
#include <cstdarg>

#include "lib/format_text.h"

namespace lbsnap {

void Diagnostics::add(int line, Severity s, const char* fmt, ...) {
    if (muted_) return;
    std::va_list ap;
    va_start(ap, fmt);
    findings_.push_back({line, s, vformat_text(fmt, ap), fmt});
    va_end(ap);
}

std::vector<Finding> Diagnostics::sorted() const {
    std::vector<Finding> out = findings_;
    std::stable_sort(out.begin(), out.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return out;
}

void Diagnostics::note_key_line(int section_line, std::string_view key, int line) {
    auto& keys = key_lines_[section_line];
    for (auto& [k, l] : keys)
        if (k == key) {
            l = line;
            return;
        }
    keys.emplace_back(key, line);
}

int Diagnostics::key_line(int section_line, std::string_view key) const {
    if (auto it = key_lines_.find(section_line); it != key_lines_.end())
        for (const auto& [k, l] : it->second)
            if (k == key) return l;
    return section_line;
}

}  // namespace lbsnap
