// What one load shares with the line handlers of every section: the model
// being filled, the findings sink (null unless the load is a configuration
// check), the line being read, and how the load ended. Internal to the
// configuration reader.
#pragma once

#include <cstddef>
#include <cstring>
#include <deque>
#include <span>
#include <utility>
#include <string>
#include <string_view>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "store/diagnostics.h"
#include "store/model.h"
#include "store/reader.h"
#include "store/vs_setting.h"

namespace lbsnap {

class ReadContext {
public:
    ReadContext(Model& model, Diagnostics* findings) : m(model), findings_(findings) {}
    ReadContext(const ReadContext&) = delete;
    ReadContext& operator=(const ReadContext&) = delete;

    Model& m;

    // The list a rule list is gathered in before the model keeps it, its
    // room kept from one list to the next.
    std::vector<const Rule_t*>& rules_at_hand() { return rules_at_hand_; }

    // The VS whose section ended last, whose texts a VS may share.
    const bahd_config_t* previous_vs() const { return previous_vs_; }
    // The VS's groups of settings take their lasting place (see settle).
    void vs_completed(bahd_config_t& vs) {
        settle(vs, &bahd_config_t::waf, m.waf_settings);
        settle(vs, &bahd_config_t::esp, m.esp_settings);
        previous_vs_ = &vs;
    }

    // The group of settings a key of the VS being read writes into: the
    // reader's one draft of it, which starts as what the VS holds.
    template <class Group>
    Group& draft(bahd_config_t& vs, const Group* bahd_config_t::*group) {
        Group& d = std::get<Group>(drafts_);
        if (vs.*group != &d) {
            d = *(vs.*group);
            vs.*group = &d;
        }
        return d;
    }

    // Findings are noted for a configuration check only: the calls below do
    // nothing without a sink, so loading for a report tests one pointer.
    bool checking() const { return findings_ != nullptr; }

    // The line the reader has just split out: its number in the file, and
    // its text before any handler cuts it up. `raw_size` is what the read
    // took (more than the text when a NUL byte ends it early); `goes_on`
    // says the line is longer than this one read.
    void read_line(int line_no, const char* text, std::size_t raw_size, bool goes_on) {
        line_no_ = line_no;
        if (findings_) [[unlikely]] keep_line(text, raw_size, goes_on);
    }
    int line_no() const { return line_no_; }

    // ---- the reader's findings, at the line being read ----
    void outside_section();
    // `keys` lists the section's keys, for a key within two edits.
    void unknown_key(const char* section, std::span<const std::string_view> keys);
    // A value longer than its field keeps; `what` names it (default: the key
    // of the line).
    void value_cut(std::string_view value, std::size_t keep, const char* what = nullptr);
    void rule_unknown(int id);
    void rule_list_stops(const char* rest);
    void rule_wrong_kind(const Rule_t& r, bool content);
    void extraports_invalid(const char* text, std::size_t kept);
    // A VS key's value before its reader takes it, and the field after
    // (a check only: the reader calls these when checking()).
    void vs_key(const VsSetting& s, const char* value);
    void vs_key_read(const VsSetting& s, const bahd_config_t& vs);
    // An integer value of a key or option `what` (null: the line's key);
    // false when it is no integer at all.
    bool int_value(const char* value, const char* what = nullptr);
    // A value a one-byte field keeps as `kept`.
    void byte_value(const char* value, int kept);
    void match_type_unknown(const char* value);
    void rs_number(const char* option, const char* value);
    void rs_tokens_lost(const char* rest);
    void rs_without_address();
    void rs_line_ignored();
    void rs_option_unknown(const char* token);
    void rs_option_without_value(const char* token);
    void rs_table_full();
    // ---- sections ----
    void section_begins();
    // A VS section's end: the lines of the keys the model checks look at.
    void vs_section_ends(int section_line);
    // A line inside a section that looks like a section marker but is not
    // its end: the findings of the lines after it would only repeat the
    // mistake, so they give way to one line at the section's end listing
    // the sections the reports do not see. A check only.
    void marker_mistake(const char* text, int section_line, const char* section, const char* end_marker,
                        bool starts_section);
    // The open section ends here (its end marker, or the end of the file).
    void section_closed() {
        if (findings_) derailed_summary();
    }
    // ---- at the line a section or record began ----
    void rule_dropped(const Rule_t& r, RuleFault fault);
    // `dropped` names the record lost with the section (VS, rule), if any.
    void section_open(int line, const char* end_marker, const char* dropped);

    // An invalid real-server address: a check notes it and reads on (true);
    // any other load ends here (false), with the result saying why.
    bool invalid_rs_address(const char* text);

    // The file holds no section at all.
    void no_sections();

    // Once the whole file is read: a rule number that named no rule when it
    // was read may name a rule whose section came later.
    void end_of_file();

    const LoadResult& result() const { return result_; }

private:
    // A written group becomes the defaults when it holds them, else the
    // previous VS's copy when it holds the same, else a copy of its own.
    template <class Group>
    void settle(bahd_config_t& vs, const Group* bahd_config_t::*group, std::deque<Group>& kept) {
        const Group& d = std::get<Group>(drafts_);
        if (vs.*group != &d) return;
        if (d == kDefaultSettings<Group>)
            vs.*group = &kDefaultSettings<Group>;
        else if (previous_vs_ && *(previous_vs_->*group) == d)
            vs.*group = previous_vs_->*group;
        else
            vs.*group = &kept.emplace_back(d);
    }

    void keep_line(const char* text, std::size_t raw_size, bool goes_on);
    std::string key_of_line() const;
    std::string key_name() const;  // the key without its colon
    void derailed_summary();
    void section_start_unseen(const char* text);

    std::vector<const Rule_t*> rules_at_hand_;
    std::tuple<VsWafSettings, VsEspSettings> drafts_;
    const bahd_config_t* previous_vs_ = nullptr;
    Diagnostics* findings_;
    // Of a check: per VS key row, the line that last set it; lines before
    // the current section's are of earlier sections.
    std::vector<int> key_seen_;
    int section_line_ = 0;
    std::vector<std::pair<std::string_view, int>> located_;
    // Unknown keys come back line after line: each is matched once.
    std::unordered_map<std::string, std::string_view> nearest_;
    // After a marker mistake: where, in which section, and the starts of
    // the sections met since.
    struct Derailed {
        int line = 0;
        int section_line = 0;
        const char* section = nullptr;
        std::vector<std::pair<int, std::string>> unseen;
    };
    Derailed derailed_;
    int line_no_ = 0;
    std::string text_;  // the line being read, when checking
    struct RuleRef {
        std::size_t finding;
        int id;
    };
    std::vector<RuleRef> rule_refs_;
    LoadResult result_;
};

// A text as a finding shows it: long texts by their start.
std::string excerpt(std::string_view text);

// Notes a value a fixed-capacity field will cut; free when not checking.
template <std::size_t N>
void note_cut(ReadContext& ctx, const char* value, const FixedText<N>&, const char* what = nullptr) {
    if (ctx.checking() && std::strlen(value) > N - 1) ctx.value_cut(value, N - 1, what);
}

}  // namespace lbsnap
