// The configuration check (--check): what the reader ignored, cut or
// dropped, and what the loaded model shows that no report would say.
#include <unistd.h>

#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/exit_status.h"
#include "lib/sysroot.h"
#include "query/lookup.h"
#include "reports/certs.h"
#include "reports/check.h"
#include "store/diagnostics.h"

namespace lbsnap {

namespace {

constexpr const char* cert_dirs[] = {"/corvane/certs", "/tmp/certs"};
// A follow loop is shown by this many members at most.
constexpr std::size_t loop_shown = 8;

// The file's order: the VS list is sorted by address, findings go by line.
template <class T>
void sort_by_line(std::vector<const T*>& v) {
    std::stable_sort(v.begin(), v.end(), [](const T* a, const T* b) { return a->line < b->line; });
}

std::vector<const bahd_config_t*> vss_in_file_order(const Model& m) {
    std::vector<const bahd_config_t*> v;
    for (const auto& vs : m.bahd) v.push_back(vs.get());
    sort_by_line(v);
    return v;
}

// The real servers that follows can name: those of VSs that are not masters.
std::vector<const rs_info_t*> real_servers_in_file_order(const std::vector<const bahd_config_t*>& vss) {
    std::vector<const rs_info_t*> v;
    for (const bahd_config_t* vs : vss)
        if (!vs->ismaster)
            for (const rs_info_t& rs : vs->rsinfo) v.push_back(&rs);
    sort_by_line(v);
    return v;
}

// Records named by number twice: the later one is reported, naming the first.
template <class T, class Report>
void check_numbers(const std::vector<const T*>& records, Report report) {
    std::unordered_map<int, int> first_line;
    for (const T* r : records) {
        auto [it, fresh] = first_line.emplace(r->id, r->line);
        if (!fresh) report(*r, it->second);
    }
}

// The VS a VS follows, as the dump resolves it: the other VS on its address
// serving the port of FOLLOW:, else the VS numbered by FOLLOWVSID:.
const bahd_config_t* vs_follow(Ctx& c, Diagnostics& d, const bahd_config_t& vs) {
    int target = vs.followvsid;
    if (vs.follow) {
        if (const bahd_config_t* f =
                find_vip_cur(c.m, &vs, vs.vip.c_str(), vs.proto.c_str(), vs.follow).vs)
            target = f->id;
        else if (target)
            d.add(vs.line, Severity::warning,
                  "VS %d follows port %d, which no other VS on '%s' serves; FOLLOWVSID: %d applies",
                  vs.id, vs.follow, vs.vip.c_str(), target);
        else
            d.add(vs.line, Severity::warning,
                  "VS %d follows port %d, which no other VS on '%s' serves; the follow is ignored",
                  vs.id, vs.follow, vs.vip.c_str());
    }
    if (!target) return nullptr;
    const bahd_config_t* t = find_vip_id(c.m, target);
    if (!t)
        d.add(vs.line, Severity::warning, "VS %d follows VS %d, which does not exist", vs.id, target);
    return t;
}

const rs_info_t* rs_follow(const Model& m, Diagnostics& d, const rs_info_t& rs) {
    if (!rs.rsfollow) return nullptr;
    const rs_info_t* t = find_rs_follow(m, rs.rsfollow, nullptr);
    if (!t)
        d.add(rs.line, Severity::warning,
              "real server %s/%d follows real-server id %d, which no real server has",
              rs.rip.c_str(), rs.port, rs.rsfollow);
    return t;
}

// Each record follows at most one other, so every loop is a cycle of the
// follow graph; each is reported once, at its member written first.
template <class T>
void check_loops(Diagnostics& d, const std::vector<const T*>& records,
                 const std::unordered_map<const T*, const T*>& next, const char* kind) {
    enum State { on_path = 1, done = 2 };
    std::unordered_map<const T*, int> state;
    for (const T* start : records) {
        std::vector<const T*> path;
        for (const T* r = start; r;) {
            auto st = state.find(r);
            if (st != state.end() && st->second == on_path) {
                std::vector<const T*> loop(std::find(path.begin(), path.end(), r), path.end());
                std::rotate(loop.begin(), std::min_element(loop.begin(), loop.end(), [](auto a, auto b) {
                                return a->line < b->line;
                            }), loop.end());
                std::string ids;
                for (std::size_t i = 0; i < loop.size() && i < loop_shown; ++i)
                    ids += std::to_string(loop[i]->id) + " -> ";
                ids += loop.size() > loop_shown ? "..." : std::to_string(loop[0]->id);
                d.add(loop[0]->line, Severity::warning, "follow loop of %s %s", kind, ids.c_str());
            }
            if (st != state.end()) break;
            state[r] = on_path;
            path.push_back(r);
            auto it = next.find(r);
            r = it == next.end() ? nullptr : it->second;
        }
        for (const T* r : path) state[r] = done;
    }
}

void check_follows(Ctx& c, Diagnostics& d, const std::vector<const bahd_config_t*>& vss,
                   const std::vector<const rs_info_t*>& rss) {
    std::unordered_map<const bahd_config_t*, const bahd_config_t*> vs_next;
    for (const bahd_config_t* vs : vss)
        if (const bahd_config_t* t = vs_follow(c, d, *vs)) vs_next.emplace(vs, t);
    check_loops(d, vss, vs_next, "VSs");
    std::unordered_map<const rs_info_t*, const rs_info_t*> rs_next;
    for (const rs_info_t* rs : rss)
        if (const rs_info_t* t = rs_follow(c.m, d, *rs)) rs_next.emplace(rs, t);
    check_loops(d, rss, rs_next, "real-server ids");
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
    if (vs.sslaccel.empty() || vs.reverse) return;
    for_each_name(vs.certfile, [&](std::string_view name) {
        std::string file = "/";  // appended: see lm_print_addr on -Wrestrict
        file.append(name);
        file += ".pem";
        for (const char* dir : cert_dirs)
            if (access(sys_path(dir + file).c_str(), F_OK) == 0) return;
        d.add(vs.line, Severity::warning, "certificate '%.*s' of VS %d has no file %s%s or %s%s",
              static_cast<int>(name.size()), name.data(), vs.id, cert_dirs[0], file.c_str(),
              cert_dirs[1], file.c_str());
    });
}

const char* plural(int n, const char* one, const char* many) { return n == 1 ? one : many; }

}  // namespace

int print_check(Ctx& c, Diagnostics& d, const std::string& file) {
    const Model& m = c.m;
    const auto vss = vss_in_file_order(m);
    const auto rss = real_servers_in_file_order(vss);
    check_numbers(vss, [&](const bahd_config_t& vs, int first) {
        d.add(vs.line, Severity::error,
              "VS number %d is used by the VS on line %d too; lookups by number reach only one of them",
              vs.id, first);
    });
    // Real servers without -I all have id 0, which no follow names.
    std::vector<const rs_info_t*> numbered;
    std::copy_if(rss.begin(), rss.end(), std::back_inserter(numbered),
                 [](const rs_info_t* rs) { return rs->id != 0; });
    check_numbers(numbered, [&](const rs_info_t& rs, int first) {
        d.add(rs.line, Severity::warning,
              "real-server id %d is used by the real server on line %d too; follows reach only one of them",
              rs.id, first);
    });
    check_follows(c, d, vss, rss);
    for (const bahd_config_t* vs : vss) {
        if (vs->ismaster) check_master(m, d, *vs);
        check_certificates(d, *vs);
    }

    int errors = 0, warnings = 0;
    for (const Finding& f : d.sorted()) {
        const bool error = f.severity == Severity::error;
        ++(error ? errors : warnings);
        std::fprintf(c.out, "%s:%d: %s: %s\n", file.c_str(), f.line, error ? "error" : "warning",
                     f.text.c_str());
    }
    if (errors + warnings == 0)
        std::fprintf(c.out, "%s: OK\n", file.c_str());
    else
        std::fprintf(c.out, "%s: %d %s, %d %s\n", file.c_str(), errors,
                     plural(errors, "error", "errors"), warnings, plural(warnings, "warning", "warnings"));
    return errors ? kExitCheckFoundError : kExitOk;
}

}  // namespace lbsnap
