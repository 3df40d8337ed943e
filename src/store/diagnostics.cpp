// The findings of a configuration check, kept in the order found.
#include "store/diagnostics.h"

#include <algorithm>
#include <cstdarg>

#include "lib/format_text.h"

namespace lbsnap {

// Findings mostly arrive in line order: past the shown number, one written
// no earlier than those kept is never shown (ties go by the order found),
// so it is not kept.
bool Diagnostics::keeps(KindTexts& k, int line) {
    if (k.made >= kShownPerKind && line >= k.last_line) return false;
    ++k.made;
    k.last_line = std::max(k.last_line, line);
    return true;
}

void Diagnostics::add(int line, Severity s, const char* fmt, ...) {
    if (muted_) return;
    const auto order = static_cast<std::uint32_t>(added_++);
    ++(s == Severity::error ? errors_ : warnings_);
    KindTexts& k = kinds_[fmt];
    ++k.found;
    if (!keeps(k, line)) return;
    std::va_list ap;
    va_start(ap, fmt);
    findings_.push_back({line, s, order, vformat_text(fmt, ap), fmt});
    va_end(ap);
}

void Diagnostics::append(Diagnostics&& later) {
    // As if added here: the later part's kept findings, in the order found
    // there, cut short by the same rule; its counts include the others.
    for (Finding& f : later.findings_) {
        if (!keeps(kinds_[f.kind], f.line)) continue;
        f.order += static_cast<std::uint32_t>(added_);
        findings_.push_back(std::move(f));
    }
    for (const auto& [kind, k] : later.kinds_) kinds_[kind].found += k.found;
    added_ += later.added_;
    errors_ += later.errors_;
    warnings_ += later.warnings_;
    key_lines_.insert(key_lines_.end(), later.key_lines_.begin(), later.key_lines_.end());
}

void Diagnostics::reword(std::size_t index, std::string text) {
    // Kept findings are in the order added until sorted; one not kept is
    // never shown.
    auto it = std::lower_bound(findings_.begin(), findings_.end(), index,
                               [](const Finding& f, std::size_t i) { return f.order < i; });
    if (it != findings_.end() && it->order == index) it->text = std::move(text);
}

int Diagnostics::count(const char* kind) const {
    auto it = kinds_.find(kind);
    return it == kinds_.end() ? 0 : it->second.found;
}

const std::vector<Finding>& Diagnostics::sorted() {
    std::sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
        return a.line != b.line ? a.line < b.line : a.order < b.order;
    });
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
