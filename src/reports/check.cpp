// The configuration check (--check): what the reader ignored, cut or
// dropped, and what the loaded model shows that no report would say.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/exit_status.h"
#include "lib/format_text.h"
#include "lib/sysroot.h"
#include "query/derived.h"
#include "query/follow_chain.h"
#include "query/lookup.h"
#include "reports/certs.h"
#include "reports/check.h"
#include "store/diagnostics.h"
#include "store/indexes.h"

namespace lbsnap {

namespace {

constexpr const char* cert_dirs[] = {"/corvane/certs", "/tmp/certs"};
// A follow loop is shown by this many members at most.
constexpr std::size_t loop_shown = 8;
// Findings of one kind shown at most; a count stands for the rest.
constexpr int kind_shown = Diagnostics::kShownPerKind;

// The VS list is sorted by address; findings go by line.
std::vector<const bahd_config_t*> vss_in_file_order(const Model& m) {
    std::vector<const bahd_config_t*> v;
    v.reserve(m.bahd.size());
    for (std::uint32_t i : indexes(m).in_file_order) v.push_back(m.bahd[i].get());
    return v;
}

// Records named by number twice: the later one is reported, naming the first.
// The records come in file order; sorted by number (stably), each run of
// one number starts with the one written first.
template <class T, class Report>
void check_numbers(const std::vector<const T*>& records, Report report) {
    struct Numbered {
        int id;
        std::size_t place;  // in file order
    };
    std::vector<Numbered> by_id;
    by_id.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i) by_id.push_back({records[i]->id, i});
    std::sort(by_id.begin(), by_id.end(), [](const Numbered& a, const Numbered& b) {
        return a.id != b.id ? a.id < b.id : a.place < b.place;
    });
    for (std::size_t i = 1, first = 0; i < by_id.size(); ++i) {
        if (by_id[i].id != by_id[first].id) first = i;
        else report(*records[by_id[i].place], records[by_id[first].place]->line);
    }
}

// Real servers named by one id: each but the first in the file is
// reported, naming it. The id index holds them grouped by id already, so
// no sort of its own is needed.
void check_rs_numbers(const Model& m, Diagnostics& d) {
    const auto& all = indexes(m).rs_by_id;
    for (std::size_t from = 0, to = 0; from < all.size(); from = to) {
        while (to < all.size() && all[to].id == all[from].id) ++to;
        // Real servers without -I all have id 0, which no follow names.
        if (all[from].id == 0 || to - from < 2) continue;
        const rs_info_t* first = all[from].rs;
        for (std::size_t i = from; i < to; ++i)
            if (all[i].rs->line < first->line) first = all[i].rs;
        for (std::size_t i = from; i < to; ++i)
            if (all[i].rs != first)
                d.add(all[i].rs->line, Severity::warning,
                      "real-server id %d is used by the real server on line %d too; follows reach only one of them",
                      all[i].id, first->line);
    }
}

// The VS a VS follows, as the dump shows it.
const bahd_config_t* vs_follow(Ctx& c, Diagnostics& d, const bahd_config_t& vs) {
    const FollowedVs f = followed_vs(c.m, vs);
    const int follow_line = d.key_line(vs.line, "FOLLOW:");
    if (f.port_unserved && f.id)
        d.add(follow_line, Severity::warning,
              "VS %d follows port %d, which no other VS on '%s' serves; FOLLOWVSID: %d applies",
              vs.id, vs.follow, vs.vip.c_str(), f.id);
    else if (f.port_unserved)
        d.add(follow_line, Severity::warning,
              "VS %d follows port %d, which no other VS on '%s' serves; the follow is ignored",
              vs.id, vs.follow, vs.vip.c_str());
    if (!f.id) return nullptr;
    const bahd_config_t* t = find_vip_id(c.m, f.id);
    if (!t)
        d.add(d.key_line(vs.line, f.port_unserved || !vs.follow ? "FOLLOWVSID:" : "FOLLOW:"),
              Severity::warning, "VS %d follows VS %d, which does not exist", vs.id, f.id);
    return t;
}

void check_rs_follow(const Model& m, Diagnostics& d, const rs_info_t& rs) {
    if (rs.rsfollow && !find_rs_follow(m, rs.rsfollow, nullptr))
        d.add(rs.line, Severity::warning,
              "real server %s/%d follows real-server id %d, which no real server has",
              rs.rip.c_str(), rs.port, rs.rsfollow);
}

// A loop of follows, given from its member written first.
template <class T>
void report_loop(Diagnostics& d, const std::vector<const T*>& loop, const char* kind) {
    std::string ids;
    for (std::size_t i = 0; i < loop.size() && i < loop_shown; ++i)
        ids += std::to_string(loop[i]->id) + " -> ";
    ids += loop.size() > loop_shown ? "..." : std::to_string(loop[0]->id);
    d.add(loop[0]->line, Severity::warning, "follow loop of %s %s", kind, ids.c_str());
}

void check_vs_loops(Ctx& c, Diagnostics& d, const std::vector<const bahd_config_t*>& vss) {
    std::unordered_map<const bahd_config_t*, std::size_t> place;
    for (std::size_t i = 0; i < vss.size(); ++i) place.emplace(vss[i], i);
    std::vector<std::size_t> next(vss.size(), FollowChains::kNone);
    for (std::size_t i = 0; i < vss.size(); ++i)
        if (const bahd_config_t* t = vs_follow(c, d, *vss[i])) next[i] = place.at(t);
    // Members are numbered in file order: each loop from its member written first.
    FollowChains chains(vss.size(), [&next](std::size_t i) { return next[i]; });
    for (const std::vector<std::size_t>& members : chains.loops()) {
        std::vector<const bahd_config_t*> loop;
        for (std::size_t member : members) loop.push_back(vss[member]);
        report_loop(d, loop, "VSs");
    }
}

// Past a real server that follows nobody the chain ends, as in the dump.
void check_rs_loops(const Model& m, Diagnostics& d) {
    for (const auto& vs : m.bahd)
        if (!vs->ismaster)
            for (const rs_info_t& rs : vs->rsinfo) check_rs_follow(m, d, rs);
    RsFollowChains chains(m, ZeroFollow::ends);
    for (const std::vector<const rs_info_t*>& loop : chains.loops()) report_loop(d, loop, "real-server ids");
}

// A master's entries name its sub-VSs by number ("#" and the number).
void check_master(const Model& m, Diagnostics& d, const bahd_config_t& master) {
    for (const rs_info_t& e : master.rsinfo) {
        if (e.rip.str().rfind('#', 0) != 0) continue;
        const bahd_config_t* sub = find_vip_id(m, e.port);
        if (!sub)
            d.add(e.line, Severity::warning, "master VS %d names sub-VS %d, which does not exist",
                  master.id, e.port);
        else if (sub->isslave != master.id)
            d.add(e.line, Severity::warning, "master VS %d names VS %d, which is not its sub-VS",
                  master.id, e.port);
    }
}

// The names of an offloading VS's certificate, whose files are
// "/corvane/certs/NAME.pem" (or under /tmp/certs with a security module).
void check_certificates(Diagnostics& d, const bahd_config_t& vs) {
    for_each_name(vs.certfile, [&](std::string_view name) {
        std::string file = "/";  // appended: see lm_print_addr on -Wrestrict
        file.append(name);
        file += ".pem";
        for (const char* dir : cert_dirs)
            if (access(sys_path(dir + file).c_str(), F_OK) == 0) return;
        d.add(d.key_line(vs.line, "CERTFILE:"), Severity::warning,
              "certificate '%.*s' of VS %d has no file %s%s or %s%s",
              static_cast<int>(name.size()), name.data(), vs.id, cert_dirs[0], file.c_str(),
              cert_dirs[1], file.c_str());
    });
}

bool offloads(const bahd_config_t& vs) { return !vs.sslaccel.empty() && !vs.reverse; }

// Away from the appliance neither folder exists: one note, not one
// finding per certificate.
bool certificate_folders_exist() {
    for (const char* dir : cert_dirs)
        if (access(sys_path(dir).c_str(), F_OK) == 0) return true;
    return false;
}

// A sub-VS's master (SLAVE:) must be a master VS.
void check_sub_vs(const Model& m, Diagnostics& d, const bahd_config_t& sub) {
    const bahd_config_t* master = find_vip_id(m, sub.isslave);
    const int at = d.key_line(sub.line, "SLAVE:");
    if (!master)
        d.add(at, Severity::error, "sub-VS %d names master VS %d, which does not exist; no master serves it",
              sub.id, sub.isslave);
    else if (!master->ismaster)
        d.add(at, Severity::error, "sub-VS %d names VS %d, which is no master (MASTER:); no master serves it",
              sub.id, sub.isslave);
}

const char* plural(int n, const char* one, const char* many) { return n == 1 ? one : many; }

// Bytes of the file that are not printable, shown as \xNN.
std::string printable(std::string_view text) {
    std::string out;
    for (char ch : text) {
        const auto b = static_cast<unsigned char>(ch);
        if (b < ' ' || b >= 0x7f) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02x", b);
            out += hex;
        } else {
            out += ch;
        }
    }
    return out;
}

void print_finding(Ctx& c, const std::string& file, int line, const char* severity, const std::string& text) {
    if (line == kWholeFile)
        std::fprintf(c.out, "%s: %s: %s\n", file.c_str(), severity, printable(text).c_str());
    else
        std::fprintf(c.out, "%s:%d: %s: %s\n", file.c_str(), line, severity, printable(text).c_str());
}

}  // namespace

int print_check(Ctx& c, Diagnostics& d, const std::string& file, bool strict) {
    const Model& m = c.m;
    const auto vss = vss_in_file_order(m);
    check_numbers(vss, [&](const bahd_config_t& vs, int first) {
        d.add(d.key_line(vs.line, "VID:"), Severity::error,
              "VS number %d is used by the VS on line %d too; lookups by number reach only one of them",
              vs.id, d.key_line(first, "VID:"));
    });
    check_rs_numbers(m, d);
    check_vs_loops(c, d, vss);
    check_rs_loops(m, d);
    const bool certs_checked = certificate_folders_exist();
    bool certs_skipped = false;
    for (const bahd_config_t* vs : vss) {
        if (vs->ismaster) check_master(m, d, *vs);
        if (vs->isslave) check_sub_vs(m, d, *vs);
        if (offloads(*vs)) {
            if (certs_checked) check_certificates(d, *vs);
            else certs_skipped = true;
        }
    }

    std::unordered_map<const char*, int> shown;
    for (const Finding& f : d.sorted()) {
        const int n = ++shown[f.kind];
        const char* severity = f.severity == Severity::error ? "error" : "warning";
        if (n <= kind_shown)
            print_finding(c, file, f.line, severity, f.text);
        if (n == kind_shown && d.count(f.kind) > kind_shown)
            print_finding(c, file, f.line, severity,
                          format_text("%d more findings like the one above follow; they are not shown",
                                      d.count(f.kind) - kind_shown));
    }
    const int errors = d.count(Severity::error), warnings = d.count(Severity::warning);
    if (certs_skipped)
        std::fprintf(c.out, "%s: note: neither %s nor %s exists; the certificate files were not checked\n",
                     file.c_str(), cert_dirs[0], cert_dirs[1]);
    if (errors + warnings == 0)
        std::fprintf(c.out, "%s: OK\n", file.c_str());
    else
        std::fprintf(c.out, "%s: %d %s, %d %s\n", file.c_str(), errors,
                     plural(errors, "error", "errors"), warnings, plural(warnings, "warning", "warnings"));
    return errors || (strict && warnings) ? kExitCheckFoundError : kExitOk;
}

}  // namespace lbsnap
