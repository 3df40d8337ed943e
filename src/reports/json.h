// The JSON form of the data reports (--json): a small streaming writer and
// one function per report item. The writer lays the text out as `jq .` does
// (two blanks per level, one member per line); texts go through the JSON
// library, which escapes them and replaces invalid UTF-8 with U+FFFD.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "reports/dump_entries.h"
#include "reports/realservers.h"
#include "reports/report_context.h"
#include "reports/resolve.h"
#include "store/model.h"

namespace lbsnap {

// Writes one JSON document to a stream as it goes, so a report of tens of
// thousands of VSs never holds more than one of them.
class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // name is a lower_snake_case constant: written as it is.
    JsonWriter& key(const char* name);
    void number(long long v);
    void text(std::string_view s);
    void boolean(bool b);
    void null();
    void begin_object();
    void end_object();
    void begin_array();
    void end_array();

    void field(const char* name, long long v) { key(name).number(v); }
    void field(const char* name, std::string_view s) { key(name).text(s); }
    // The member only when the text is not empty, as the dump's lines.
    void nonempty(const char* name, std::string_view s) {
        if (!s.empty()) field(name, s);
    }
    // The member only when the optional text is set (possibly empty).
    template <typename Opt>
    void if_set(const char* name, const Opt& s) {
        if (s) field(name, std::string_view(*s));
    }

private:
    void value_start();
    void value_end();
    void newline_indent(std::size_t depth);
    void end(char close);
    void flush();

    std::FILE* out_;
    std::string buf_;
    std::vector<bool> has_members_;  // one per open object or array
    bool after_key_ = false;
};

// ---- items (json_dump.cpp, json_reports.cpp) ----

// One VS object of the dump; records its custom cipher set if the run does.
void json_vs(JsonWriter& w, Ctx& c, const bahd_config_t& cur, DumpRun& run);
// The member a dump row gives: the key of its line in lower case.
const std::string& dump_member_name(const VsSetting& row);
// The value of one entry of VS d.vs, as its member holds it.
void json_dump_value(JsonWriter& w, const DumpEntries& d, const DumpEntry& e);
// One real server of VS vs, an element of its "rs" list.
void json_real_server(JsonWriter& w, const bahd_config_t& vs, const RsLine& line);
// One rule object (-r), unless the -t filter leaves the rule out.
void json_rule(JsonWriter& w, const Options& opt, const Rule_t& rule);
void json_list_vs(JsonWriter& w, const bahd_config_t& cur, int wantsslonly);
void json_checks(JsonWriter& w, const Model& m);
void json_realservers(JsonWriter& w, RsNameTable& names);
void json_realserverlist(JsonWriter& w, rs_disp_tab& tab, const char* sortorder);
void json_rule_in_vs(Ctx& c, JsonWriter& w);
void json_rule_in_vs_all(Ctx& c, JsonWriter& w);
void json_callhomedata(Ctx& c, JsonWriter& w);

}  // namespace lbsnap
