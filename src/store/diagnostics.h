// What a configuration check finds: the places where the reader ignores,
// cuts or drops something, each with the line it was reading. The reader
// reports through a Diagnostics* that is null for the reports, so loading
// for them does no more than test one pointer.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "store/model.h"

namespace lbsnap {

enum class Severity { error, warning };

struct Finding {
    int line;
    Severity severity;
    std::string text;
};

enum class RuleFault;

class Diagnostics {
public:
    // The line the reader has just read (its number in the file, and its
    // text); findings of the reader name it. `longer` says the line goes on
    // beyond one read.
    void read_line(int line, std::string_view text, bool longer);

    // ---- the reader's findings, at the line being read ----
    void outside_section();
    void unknown_key(const char* section);
    // A value longer than its field keeps; `what` names it (default: the key
    // of the line).
    void value_cut(std::string_view value, std::size_t keep, const char* what = nullptr);
    void rule_unknown(int id);
    void rule_list_stops(const char* rest);
    void rule_wrong_kind(const Rule_t& r, bool content);
    void extraports_invalid(const char* text, std::size_t kept);
    void checkcodes_invalid(const char* text);
    void rs_line_ignored();
    void rs_option_unknown(std::string_view token);
    void rs_option_without_value(std::string_view token);
    void rs_address_invalid(const char* text);
    void rs_table_full();
    // ---- at the line a section or record began ----
    void rule_dropped(const Model& m, const Rule_t& r, RuleFault fault);
    // `dropped` names the record lost with the section (VS, rule), if any.
    void section_open(int line, const char* end_marker, const char* dropped);

    // ---- any finding, such as those of the checks after loading ----
    [[gnu::format(printf, 4, 5)]] void add(int line, Severity s, const char* fmt, ...);

    // A rule number that named no rule when it was read may name a rule
    // whose section comes later: known once the whole file is read.
    void resolve_rule_refs(const Model& m);

    // The findings in line order (several on one line in the order found).
    std::vector<Finding> sorted() const;

private:
    std::string key_of_line() const;

    int line_ = 0;
    std::string text_;
    std::vector<Finding> findings_;
    struct RuleRef {
        std::size_t finding;
        int id;
    };
    std::vector<RuleRef> rule_refs_;
};

// Notes a value a fixed-capacity field will cut; free when d is null. Call
// it before the field takes the value, since taking cuts it where it lies.
template <std::size_t N>
void note_cut(Diagnostics* d, const char* value, const FixedText<N>&, const char* what = nullptr) {
    if (d && std::strlen(value) > N - 1) d->value_cut(value, N - 1, what);
}

}  // namespace lbsnap
