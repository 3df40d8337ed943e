// The findings of a configuration check, kept in the order found.
#include "store/diagnostics.h"

#include <algorithm>
#include <cstdarg>

#include "lib/format_text.h"

namespace lbsnap {

void Diagnostics::add(int line, Severity s, const char* fmt, ...) {
    if (muted_) return;
    // Findings mostly arrive in line order: past the shown number, one
    // written no earlier than those with text is never shown (the sort is
    // stable), so its text is not made.
    KindTexts& k = kinds_[fmt];
    if (k.made >= kShownPerKind && line >= k.last_line) {
        findings_.push_back({line, s, {}, fmt});
        return;
    }
    ++k.made;
    k.last_line = std::max(k.last_line, line);
    std::va_list ap;
    va_start(ap, fmt);
    findings_.push_back({line, s, vformat_text(fmt, ap), fmt});
    va_end(ap);
}

const std::vector<Finding>& Diagnostics::sorted() {
    std::stable_sort(findings_.begin(), findings_.end(),
                     [](const Finding& a, const Finding& b) { return a.line < b.line; });
    return findings_;
}

void Diagnostics::note_key_line(int section_line, std::string_view key, int line) {
    key_lines_.push_back({section_line, key, line});
}

int Diagnostics::key_line(int section_line, std::string_view key) const {
    auto it = std::lower_bound(key_lines_.begin(), key_lines_.end(), section_line,
                               [](const KeyLine& k, int l) { return k.section_line < l; });
    int line = section_line;
    for (; it != key_lines_.end() && it->section_line == section_line; ++it)
        if (it->key == key) line = it->line;  // the last one written holds
    return line;
}

}  // namespace lbsnap
