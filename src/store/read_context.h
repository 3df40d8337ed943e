// What one load shares with the line handlers of every section: the model
// being filled, the findings sink (null unless the load is a configuration
// check), the line being read, and how the load ended. Internal to the
// configuration reader.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "store/diagnostics.h"
#include "store/model.h"
#include "store/reader.h"

namespace lbsnap {

class ReadContext {
public:
    ReadContext(Model& model, Diagnostics* findings) : m(model), findings_(findings) {}
    ReadContext(const ReadContext&) = delete;
    ReadContext& operator=(const ReadContext&) = delete;

    Model& m;

    // Findings are noted for a configuration check only: the calls below do
    // nothing without a sink, so loading for a report tests one pointer.
    bool checking() const { return findings_ != nullptr; }

    // The line the reader has just split out: its number in the file, and
    // its text before any handler cuts it up. `goes_on` says the line is
    // longer than this one read.
    void read_line(int line_no, const char* text, bool goes_on) {
        line_no_ = line_no;
        if (findings_) [[unlikely]] keep_line(text, goes_on);
    }
    int line_no() const { return line_no_; }

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
    void rs_option_unknown(const char* token);
    void rs_option_without_value(const char* token);
    void rs_table_full();
    // ---- at the line a section or record began ----
    void rule_dropped(const Rule_t& r, RuleFault fault);
    // `dropped` names the record lost with the section (VS, rule), if any.
    void section_open(int line, const char* end_marker, const char* dropped);

    // An invalid real-server address: a check notes it and reads on (true);
    // any other load ends here (false), with the result saying why.
    bool invalid_rs_address(const char* text);

    // Once the whole file is read: a rule number that named no rule when it
    // was read may name a rule whose section came later.
    void end_of_file();

    const LoadResult& result() const { return result_; }

private:
    void keep_line(const char* text, bool goes_on);
    std::string key_of_line() const;

    Diagnostics* findings_;
    int line_no_ = 0;
    std::string text_;  // the line being read, when checking
    struct RuleRef {
        std::size_t finding;
        int id;
    };
    std::vector<RuleRef> rule_refs_;
    LoadResult result_;
};

// Notes a value a fixed-capacity field will cut; free when not checking.
// Call it before the field takes the value, since taking cuts it where it
// lies.
template <std::size_t N>
void note_cut(ReadContext& ctx, const char* value, const FixedText<N>&, const char* what = nullptr) {
    if (ctx.checking() && std::strlen(value) > N - 1) ctx.value_cut(value, N - 1, what);
}

}  // namespace lbsnap
