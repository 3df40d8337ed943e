// The JSON form of the VS dump: one object per VS with a member per dump
// entry, named by the line's key in lower case ("CERTFILE: %s" is
// "certfile"); a count line and the list it counts are one array named
// after the list ("NEXTRAPORTS:" and "EXTRAPORTS:" are "extraports").
// Numbers are the values the dump prints with %d. Lists are arrays, there
// also when the dump has no line for them. Texts are raw: no HTML escapes,
// with or without -a.
#include <string>
#include <vector>

#include "lib/addrs.h"
#include "lib/ascii.h"
#include "reports/dump_blocks.h"
#include "reports/dump_entries.h"
#include "reports/json.h"

namespace lbsnap {

// The member names, by row.
const std::string& dump_member_name(const VsSetting& row) {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        for (const VsSetting& s : vs_settings()) v.push_back(ascii_lower(s.dump_key()));
        return v;
    }();
    return names[static_cast<std::size_t>(&row - vs_settings().data())];
}

namespace {

void rule_ref(JsonWriter& w, const Rule_t& r) {
    w.begin_object();
    w.field("name", std::string_view(r.rule_name));
    w.field("id", r.id);
    w.end_object();
}

}  // namespace

// A real server by the names of its record's fields; of a master, the
// sub-VS the entry names has its name there too (null when there is none).
void json_real_server(JsonWriter& w, const bahd_config_t& vs, const RsLine& line) {
    const rs_info_t& e = *line.rs;
    w.begin_object();
    w.field("index", line.index);
    w.field("rip", std::string_view(e.rip));
    w.field("port", e.port);
    if (vs.ismaster) {
        w.key("name");
        if (line.subvs)
            w.text(line.subvs->name);
        else
            w.null();
    }
    w.field("for_method", std::string_view(e.for_method_str()));
    w.field("weight", e.weight);
    w.field("enabled", e.enabled);
    w.field("snat_port", e.snat_port);
    w.field("id", e.id);
    w.field("limit", e.limit);
    w.field("ratelimit", e.ratelimit);
    w.field("critical", e.critical);
    w.field("rsfollow", e.rsfollow);
    w.field("dns", std::string_view(e.dns));
    w.field("nrules", e.r.rules());
    w.key("rules").begin_array();
    for (const Rule_t* r : entry_rules(vs, e)) rule_ref(w, *r);
    w.end_array();
    w.end_object();
}

void json_dump_value(JsonWriter& w, const DumpEntries& d, const DumpEntry& e) {
    switch (e.kind) {
        case EntryKind::number: return w.number(e.number);
        case EntryKind::text: return w.text(e.text);
        case EntryKind::ints:
            w.begin_array();
            for (int v : *e.ints) w.number(v);
            return w.end_array();
        case EntryKind::addresses:
            w.begin_array();
            for (const lm_addr& a : *e.addresses) w.text(lm_print_addr2(a));
            return w.end_array();
        case EntryKind::rules:
            w.begin_array();
            for (const Rule_t* r : e.rules->rule_list) rule_ref(w, *r);
            return w.end_array();
        case EntryKind::real_server:
            w.begin_array();
            for (const RsLine& line : *e.rs_lines) json_real_server(w, *d.vs, line);
            return w.end_array();
    }
}

void json_vs(JsonWriter& w, const Model& m, const bahd_config_t& cur, DumpRun& run) {
    run.entries.build(m, cur, run);
    w.begin_object();
    for (const DumpEntry& e : run.entries.entries) {
        w.key(dump_member_name(*e.row));
        json_dump_value(w, run.entries, e);
    }
    w.end_object();
}

void json_every_vs(Ctx& c, CipherSetRecorder& cipher_sets) {
    JsonWriter w(c.out);
    w.begin_array();
    dump_every_vs(
        c.m, cipher_sets,
        [&](std::string& text, std::size_t block, VsSpan vss, DumpRun& run) {
            JsonWriter part(text, 1, block > 0);
            for (const auto& vs : vss) json_vs(part, c.m, *vs, run);
        },
        [&](const std::string& text) { w.splice(text); });
    w.end_array();
}

}  // namespace lbsnap
