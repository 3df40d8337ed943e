// The VS dump as text: every entry as its row's key-and-value line. Other
// programs read it line by line, so each line's key, format and condition
// are fixed; the formats stand in the rows (store/vs_settings.def).
#include "reports/dump.h"

#include <charconv>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "lib/addrs.h"
#include "lib/mangle.h"
#include "lib/out_printf.h"
#include "reports/dump_blocks.h"

namespace lbsnap {

namespace {

void number(std::string& out, const DumpLine& l, int n) {
    char digits[12];
    const auto end = std::to_chars(digits, digits + sizeof digits, n).ptr;
    // By length: the pair-of-pointers append is the general range insert.
    out.append(l.before).append(digits, static_cast<std::size_t>(end - digits)).append(l.after);
}

// Free text that may end up in a web page: raw with -a, else escaped.
void text(std::string& out, const DumpLine& l, std::string_view value, bool raw) {
    out.append(l.before);
    if (l.kind == LineKind::escaped && !raw)
        append_mangled(out, value);
    else
        out.append(value);
    out.append(l.after);
}

void ints(std::string& out, const DumpLine& l, const std::vector<int>& values) {
    if (l.format) append_printf(out, l.format, static_cast<int>(values.size()));
    if (values.empty()) return;
    out += l.list_start;
    if (!l.item) {
        out += lm_extraports_text(values);  // it ends the line
        return;
    }
    for (int v : values) append_printf(out, l.item, v);
    out += '\n';
}

void addresses(std::string& out, const DumpLine& l, const std::vector<lm_addr>& values) {
    if (values.empty()) return;
    out += l.list_start;
    for (const lm_addr& a : values) append_printf(out, l.item, lm_print_addr2(a).c_str());
    out += '\n';
}

void rules(std::string& out, const DumpLine& l, const Rule_list& rl) {
    append_printf(out, l.format, rl.rules());
    if (rl.empty()) return;
    out += l.list_start;
    for (const Rule_t* r : rl.rule_list) append_printf(out, l.item, r->rule_name.c_str());
    out += '\n';
}

// A master's entries show the sub-VS's name, escaped like other free text;
// others the address, after the DNS name if there is one. Most entries
// show their address as it is: `made` holds the name only when it is put
// together.
const char* display_name(const bahd_config_t& vs, const RsLine& rs, bool raw, std::string& made) {
    const rs_info_t& e = *rs.rs;
    if (vs.ismaster) {
        if (!rs.subvs || rs.subvs->name.empty()) return "-";
        if (raw) return rs.subvs->name.c_str();
        made = mangle_str(rs.subvs->name.c_str());
        return made.c_str();
    }
    if (e.dns.empty()) return e.rip.c_str();
    made.reserve(e.dns.size() + e.rip.size() + 8);
    made.append(e.dns).append("&nbsp;(").append(e.rip).append(")");
    return made.c_str();
}

// The real-server line's format, split on first use: one row holds it, and
// a large dump writes it a hundred thousand times. The row's format is the
// one literal, so telling it apart takes a pointer comparison per line.
const SplitFormat& rs_line_format(const char* format) {
    static const SplitFormat split(format);
    if (split.format() != format) throw std::logic_error("a second real-server format");
    return split;
}

}  // namespace

void dump_rs_text(std::string& out, const bahd_config_t& vs, const DumpLine& l, const RsLine& rs,
                  bool raw) {
    const rs_info_t& e = *rs.rs;
    std::string made;
    rs_line_format(l.format)
        .append(out, rs.index, display_name(vs, rs, raw, made), e.port, e.for_method_str(), e.weight,
                int{e.enabled}, e.snat_port, e.id, e.limit, e.ratelimit, e.critical, e.rsfollow, e.dns.c_str());
    if (e.r.rules() == 0) return;
    append_printf(out, l.list_start, rs.index, e.rip.c_str(), e.port, e.r.rules());
    for (const Rule_t* rule : entry_rules(vs, e)) append_printf(out, l.item, rule->rule_name.c_str());
    out += '\n';
}

void dump_entry_text(std::string& out, const DumpEntries& d, const DumpEntry& e, bool raw) {
    const DumpLine& l = e.row->line;
    switch (e.kind) {
        case EntryKind::number: return number(out, l, e.number);
        case EntryKind::text: return text(out, l, e.text, raw);
        case EntryKind::ints: return ints(out, l, *e.ints);
        case EntryKind::addresses: return addresses(out, l, *e.addresses);
        case EntryKind::rules: return rules(out, l, *e.rules);
        case EntryKind::real_server:
            for (const RsLine& rs : *e.rs_lines) dump_rs_text(out, *d.vs, l, rs, raw);
            return;
    }
}

void dump_vs_text(std::string& out, const Model& m, const bahd_config_t& cur, DumpRun& run, bool raw) {
    run.entries.build(m, cur, run);
    for (const DumpEntry& e : run.entries.entries) dump_entry_text(out, run.entries, e, raw);
}

void print_vs(Ctx& c, const bahd_config_t& cur, CipherSetRecorder& cipher_sets) {
    DumpRun run(&cipher_sets);
    std::string text;
    dump_vs_text(text, c.m, cur, run, c.opt.aflag);
    std::fwrite(text.data(), 1, text.size(), c.out);
}

void print_every_vs(Ctx& c, CipherSetRecorder& cipher_sets) {
    dump_every_vs(
        c.m, cipher_sets,
        [&](std::string& text, std::size_t, VsSpan vss, DumpRun& run) {
            for (const auto& vs : vss) dump_vs_text(text, c.m, *vs, run, c.opt.aflag);
        },
        [&](const std::string& text) { std::fwrite(text.data(), 1, text.size(), c.out); });
}

}  // namespace lbsnap
