// The VS dump as text: every entry as its row's key-and-value line. Other
// programs read it line by line, so each line's key, format and condition
// are fixed; the formats stand in the rows (store/vs_settings.def).
#include <cstdio>
#include <string>

#include "lib/addrs.h"
#include "lib/mangle.h"
#include "lib/out_printf.h"
#include "reports/dump.h"

namespace lbsnap {

namespace {

class TextDump {
public:
    TextDump(std::FILE* out, bool raw) : out_(out), raw_(raw) {}

    void write(const DumpEntries& d) {
        for (const DumpEntry& e : d.entries) entry(d, e);
    }

private:
    void entry(const DumpEntries& d, const DumpEntry& e) {
        const DumpLine& l = e.row->line;
        switch (e.kind) {
            case EntryKind::number: out_printf(out_, l.format, e.number); break;
            case EntryKind::text: text(l, e.text.data()); break;
            case EntryKind::ints: ints(l, *e.ints); break;
            case EntryKind::addresses: addresses(l, *e.addresses); break;
            case EntryKind::rules: rules(l, *e.rules); break;
            case EntryKind::real_server:
                for (const RsLine& rs : *e.rs_lines) real_server(l, *d.vs, rs);
                break;
        }
    }

    // Free text that may end up in a web page: raw with -a, else escaped.
    void text(const DumpLine& l, const char* value) {
        if (l.kind == LineKind::escaped && !raw_)
            out_printf(out_, l.format, mangle_str(value).c_str());
        else
            out_printf(out_, l.format, value);
    }

    void ints(const DumpLine& l, const std::vector<int>& values) {
        if (l.format) out_printf(out_, l.format, static_cast<int>(values.size()));
        if (values.empty()) return;
        std::fputs(l.list_start, out_);
        if (!l.item) return lm_extraptofile(values, out_);  // it ends the line
        for (int v : values) out_printf(out_, l.item, v);
        std::fputs("\n", out_);
    }

    void addresses(const DumpLine& l, const std::vector<lm_addr>& values) {
        if (values.empty()) return;
        std::fputs(l.list_start, out_);
        for (const lm_addr& a : values) out_printf(out_, l.item, lm_print_addr2(a).c_str());
        std::fputs("\n", out_);
    }

    void rules(const DumpLine& l, const Rule_list& rl) {
        out_printf(out_, l.format, rl.rules());
        if (rl.empty()) return;
        std::fputs(l.list_start, out_);
        for (const Rule_t* r : rl.rule_list) out_printf(out_, l.item, r->rule_name.c_str());
        std::fputs("\n", out_);
    }

    // A master's entries show the sub-VS's name, escaped like other free
    // text; others the address, after the DNS name if there is one.
    std::string display_name(const bahd_config_t& vs, const RsLine& rs) const {
        const rs_info_t& e = *rs.rs;
        if (vs.ismaster) {
            if (!rs.subvs || rs.subvs->name.empty()) return "-";
            return raw_ ? rs.subvs->name.str() : mangle_str(rs.subvs->name.c_str());
        }
        if (e.dns.empty()) return e.rip.str();
        return e.dns.str() + "&nbsp;(" + e.rip.str() + ")";
    }

    void real_server(const DumpLine& l, const bahd_config_t& vs, const RsLine& rs) {
        const rs_info_t& e = *rs.rs;
        out_printf(out_, l.format, rs.index, display_name(vs, rs).c_str(), e.port,
                   e.for_method_str(), e.weight, e.enabled, e.snat_port, e.id, e.limit,
                   e.ratelimit, e.critical, e.rsfollow, e.dns.c_str());
        if (e.r.rules() == 0) return;
        out_printf(out_, l.list_start, rs.index, e.rip.c_str(), e.port, e.r.rules());
        for (const Rule_t* rule : entry_rules(vs, e)) out_printf(out_, l.item, rule->rule_name.c_str());
        std::fputs("\n", out_);
    }

    std::FILE* out_;
    bool raw_;
};

}  // namespace

void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run) {
    run.entries.build(c.m, cur, run);
    TextDump(c.out, c.opt.aflag).write(run.entries);
}


}  // namespace lbsnap
