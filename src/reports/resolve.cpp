// Resolving real-server names (-d, -D): the lookups run side by side
// through the lookup pool.
#include <syslog.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/addrs.h"
#include "lib/format_text.h"
#include "lib/lookup_pool.h"
#include "lib/lookup_progress.h"
#include "lib/out_printf.h"
#include "reports/lookup_wait.h"
#include "reports/resolve.h"

namespace lbsnap {

namespace {

// One real server of -D with a DNS name and a plain current address, and
// the answer slot of its name.
// The names of -D, each asked once. A lookup may outlive the wait, so it
// gets its own copy of the name.
using Names = DistinctLookups<std::string_view, std::string>;

struct NameCheck {
    const bahd_config_t* vs;
    const rs_info_t* rs;
    lm_addr current;
    std::size_t answer;
};

// The real servers -D checks, in list order, with their names queued once
// each. Others are passed over silently.
std::vector<NameCheck> collect_checks(const Model& m, Names& names) {
    std::vector<NameCheck> checks;
    for (const auto& vs : m.bahd) {
        if (vs->ismaster) continue;
        for (const rs_info_t& rs : vs->rsinfo) {
            NameCheck k{vs.get(), &rs, lm_addr{}, 0};
            if (rs.dns.empty() || !lm_cvtaddr(&k.current, rs.rip.c_str())) continue;
            k.answer = names.add(rs.dns, std::string(rs.dns));
            checks.push_back(k);
        }
    }
    return checks;
}

// Compares one real server's current address with what its name resolves
// to now; returns true when it printed a change.
bool report_check(Ctx& c, const NameCheck& k, const std::optional<lm_addr>& now,
                  bool header_done) {
    const rs_info_t& rs = *k.rs;
    if (!now) {
        c.log(LOG_INFO, format_text("Resolve of %s failed\n", rs.dns.c_str()));
        return false;
    }
    if (lm_addrcmp(*now, k.current) == 0) {
        c.log(LOG_DEBUG,
              format_text("Resolved to the same address %s %s\n", rs.rip.c_str(), rs.dns.c_str()));
        return false;
    }
    const std::string addr = lm_print_addr2(*now);
    if (!header_done) out_printf(c.out, "vip %d\n", k.vs->id);
    out_printf(c.out, "server #%d\n", rs.id);
    out_printf(c.out, "addr %s\n", addr.c_str());
    out_printf(c.out, "exit\n");
    c.log(LOG_INFO, format_text("changing RS#%d (%s) from %s to %s\n", rs.id, rs.dns.c_str(),
                                rs.rip.c_str(), addr.c_str()));
    return true;
}

}  // namespace

void resolv_realnames(Ctx& c, const char* name, const ForwardLookup& resolve) {
    auto by_name = [resolve](const std::string& n) { return resolve(n.c_str()); };
    if (name) {
        Names one;
        one.add(name, name);
        const auto answer = one.run<std::optional<lm_addr>>(by_name, report_lookup_wait(c.opt, nullptr));
        if (answer[0]) out_printf(c.out, "%s\n", lm_print_addr2(*answer[0]).c_str());
        return;
    }
    // Every name is resolved before the first line: the lookups run side by
    // side, each distinct name once, and the script and the log lines then
    // come out in list order as if each had been asked in turn.
    Names names;
    const std::vector<NameCheck> checks = collect_checks(c.m, names);
    std::vector<std::optional<lm_addr>> answers;
    {
        ProgressLine progress(c.err);
        answers = names.run<std::optional<lm_addr>>(by_name, report_lookup_wait(c.opt, &progress));
    }  // the line is gone before the first line of the script
    bool header_done = false;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        if (report_check(c, checks[i], answers[checks[i].answer], header_done)) header_done = true;
        const bool vs_ends = i + 1 == checks.size() || checks[i + 1].vs != checks[i].vs;
        if (!vs_ends) continue;
        if (header_done) out_printf(c.out, "exit\n");
        header_done = false;
    }
}

}  // namespace lbsnap
