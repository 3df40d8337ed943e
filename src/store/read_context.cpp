// The reader's findings for a configuration check, each naming the thing
// and what the reader does with it, and how a load ends.
#include "store/read_context.h"

#include <algorithm>

#include "lib/ascii.h"
#include "lib/format_text.h"
#include "store/l7user.h"
#include "store/rules.h"

namespace lbsnap {
namespace {

// Long texts are shown by their start (bytes that are not printable are
// escaped when the findings are printed).
constexpr std::size_t kExcerpt = 40;

// The known key (shown without its colon) nearest to `key` within two
// edits, case ignored; empty when none is that near.
std::string_view nearest_key(std::string_view key, std::span<const std::string_view> keys) {
    constexpr std::size_t max_edits = 2;
    std::string_view best;
    std::size_t best_edits = max_edits + 1;
    std::vector<std::size_t> row, prev;
    for (std::string_view k : keys) {
        k = k.substr(0, k.find(':'));
        if (k.size() > key.size() + max_edits || key.size() > k.size() + max_edits) continue;
        prev.resize(k.size() + 1);
        row.resize(k.size() + 1);
        for (std::size_t j = 0; j <= k.size(); ++j) prev[j] = j;
        for (std::size_t i = 1; i <= key.size(); ++i) {
            row[0] = i;
            for (std::size_t j = 1; j <= k.size(); ++j) {
                const bool same = ascii_upper(key[i - 1]) == ascii_upper(k[j - 1]);
                row[j] = std::min({prev[j] + 1, row[j - 1] + 1, prev[j - 1] + (same ? 0 : 1)});
            }
            std::swap(row, prev);
        }
        if (prev[k.size()] < best_edits) {
            best_edits = prev[k.size()];
            best = k;
        }
    }
    return best;
}

bool blank(std::string_view text) { return text.find_first_not_of(" \t\r\n") == text.npos; }

// Blank lines, and lines starting with "#" (which no key or real-server line
// does), are how people lay out and annotate the file: ignored as by the
// reader, but not worth a finding.
bool layout(std::string_view line) { return blank(line) || line.front() == '#'; }

// The options of the IPVS administration tool's own syntax that every
// real-server line carries (-A/-a, -t/-u with the service address): skipped
// on purpose, not worth a finding.
bool ipvsadm_option(char letter) { return std::string_view("Aatu").find(letter) != std::string_view::npos; }

const char* rule_type_name(int type) {
    return type >= 0 && type < static_cast<int>(std::size(l7_rule_types)) ? l7_rule_types[type] : "?";
}

}  // namespace

std::string excerpt(std::string_view text) {
    std::string out(text.substr(0, kExcerpt));
    if (text.size() > kExcerpt) out += "...";
    return out;
}

void ReadContext::keep_line(const char* text, std::size_t raw_size, bool goes_on) {
    text_.assign(text);
    if (goes_on)
        findings_->add(line_no_, Severity::warning,
                       "line is longer than one read of %zu bytes; the rest is read as another line",
                       max_read);
    if (text_.size() < raw_size)
        findings_->add(line_no_, Severity::error,
                       "a NUL byte ends the line's text; '%s' after it is lost",
                       excerpt(std::string_view(text + text_.size() + 1, raw_size - text_.size() - 1)).c_str());
}

std::string ReadContext::key_of_line() const { return excerpt(text_.substr(0, text_.find(':') + 1)); }

std::string ReadContext::key_name() const { return excerpt(text_.substr(0, text_.find(':'))); }


void ReadContext::outside_section() {
    if (findings_ && !layout(text_))
        findings_->add(line_no_, Severity::warning, "text '%s' outside any section is ignored",
                       excerpt(text_).c_str());
}

void ReadContext::unknown_key(const char* section, std::span<const std::string_view> keys) {
    if (!findings_ || layout(text_)) return;
    if (text_.find(':') == std::string::npos) {
        findings_->add(line_no_, Severity::warning, "text '%s' in %s is no key; the line is ignored",
                       excerpt(text_).c_str(), section);
        return;
    }
    const std::string key = text_.substr(0, text_.find(':'));
    auto [it, fresh] = nearest_.try_emplace(std::string(section) + '\n' + key);
    if (fresh) it->second = nearest_key(key, keys);
    if (std::string_view near = it->second; !near.empty())
        findings_->add(line_no_, Severity::warning, "unknown key '%s' in %s; did you mean '%.*s'?",
                       excerpt(key).c_str(), section, static_cast<int>(near.size()), near.data());
    else
        findings_->add(line_no_, Severity::warning, "unknown key '%s' in %s", excerpt(key).c_str(),
                       section);
}

void ReadContext::value_cut(std::string_view value, std::size_t keep, const char* what) {
    if (!findings_) return;
    findings_->add(line_no_, Severity::warning, "value of '%s' has %zu characters; it is cut to %zu",
                   what ? what : key_of_line().c_str(), value.size(), keep);
}

void ReadContext::rule_unknown(int id) {
    if (!findings_) return;
    rule_refs_.push_back({findings_->size(), id});
    findings_->add(line_no_, Severity::warning, "rule %d does not exist; the reference is dropped", id);
}

void ReadContext::no_sections() {
    if (!findings_) return;
    if (line_no_ == 0)
        findings_->add(kWholeFile, Severity::error, "the file is empty; no VS, rule or parameter is read");
    else
        findings_->add(kWholeFile, Severity::error,
                       "the file holds no section ('<SECTION VS>', '<RULE>', ...); no VS, rule or parameter is read");
}

void ReadContext::end_of_file() {
    if (!findings_) return;
    for (const RuleRef& ref : rule_refs_)
        if (id_to_rule(m, ref.id))
            findings_->reword(ref.finding,
                              format_text("rule %d is named before its section ends; the reference is dropped",
                                          ref.id));
}

void ReadContext::rule_list_stops(const char* rest) {
    if (findings_ && !blank(rest))
        findings_->add(line_no_, Severity::warning,
                       "rule list stops at '%s'; the numbers from there on are ignored",
                       excerpt(rest).c_str());
}

void ReadContext::rule_wrong_kind(const Rule_t& r, bool content) {
    if (!findings_) return;
    if (content)
        findings_->add(line_no_, Severity::warning,
                       "rule %d (type %s) is not a content rule; the reference is dropped", r.id,
                       rule_type_name(r.rule_type));
    else
        findings_->add(line_no_, Severity::warning,
                       "rule %d is a content rule, which this list does not take; the reference is dropped",
                       r.id);
}

void ReadContext::extraports_invalid(const char* text, std::size_t kept) {
    if (!findings_) return;
    if (kept == 0)
        findings_->add(line_no_, Severity::warning,
                       "extra-port list '%s' is invalid; the VS gets no extra ports",
                       excerpt(text).c_str());
    else
        findings_->add(line_no_, Severity::warning,
                       "extra-port list '%s' holds more than %zu ports; only the lowest are kept",
                       excerpt(text).c_str(), kept);
}


void ReadContext::rs_line_ignored() {
    if (findings_ && !layout(text_))
        findings_->add(line_no_, Severity::warning,
                       "real-server line does not start with '-' or '!'; it is ignored");
}

void ReadContext::rs_option_unknown(const char* token) {
    if (findings_ && !ipvsadm_option(token[1]))
        findings_->add(line_no_, Severity::warning, "unknown real-server option '%s' is ignored",
                       excerpt(token).c_str());
}

void ReadContext::rs_option_without_value(const char* token) {
    if (!findings_) return;
    findings_->add(line_no_, Severity::warning, "real-server option '%s' has no value; it is ignored",
                   excerpt(token).c_str());
}

bool ReadContext::invalid_rs_address(const char* text) {
    if (!findings_) {
        result_ = {LoadStatus::invalid_rs_address, format_text("Invalid IP spec: '%s'\n", text)};
        return false;
    }
    findings_->add(line_no_, Severity::error,
                   "real-server address '%s' is invalid (every command stops with status 27)",
                   excerpt(text).c_str());
    return true;
}

void ReadContext::rs_table_full() {
    if (!findings_) return;
    findings_->add(line_no_, Severity::error, "the VS already has %d real servers; the line is ignored",
                   MAX_rs_data);
}

void ReadContext::rule_dropped(const Rule_t& r, RuleFault fault) {
    if (!findings_) return;
    Diagnostics& d = *findings_;
    const int at = r.line;
    const char* type = rule_type_name(r.rule_type);
    switch (fault) {
        case RuleFault::none: break;
        case RuleFault::no_number:
            d.add(at, Severity::error, "rule without a number of 1 or more (ID:); the rule is dropped");
            break;
        case RuleFault::number_taken:
            d.add(at, Severity::error,
                  "rule number %d is taken by the rule on line %d; this rule is dropped", r.id,
                  id_to_rule(m, r.id)->line);
            break;
        case RuleFault::no_name:
            d.add(at, Severity::error, "rule %d has no name (NAME:); the rule is dropped", r.id);
            break;
        case RuleFault::no_pattern:
            d.add(at, Severity::error, "rule %d of type %s has no value (VALUE:); the rule is dropped",
                  r.id, type);
            break;
        case RuleFault::no_header:
            d.add(at, Severity::error, "rule %d of type %s has no header (HEADER:); the rule is dropped",
                  r.id, type);
            break;
        case RuleFault::no_replacement:
            d.add(at, Severity::error,
                  "rule %d of type %s has no replacement (REPLACEMENT:); the rule is dropped", r.id,
                  type);
            break;
        case RuleFault::bad_type:
            d.add(at, Severity::error, "rule %d has type %d, which is no rule type; the rule is dropped",
                  r.id, r.rule_type);
            break;
    }
}

void ReadContext::section_open(int line, const char* end_marker, const char* dropped) {
    if (!findings_) return;
    if (dropped)
        findings_->add(line, Severity::error,
                       "section is not closed by '%s' before the end of the file; its %s is dropped",
                       end_marker, dropped);
    else
        findings_->add(line, Severity::warning,
                       "section is not closed by '%s' before the end of the file", end_marker);
}

}  // namespace lbsnap
