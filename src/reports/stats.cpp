// WAF selection lists (-w, -W), the call-home usage statistics (-E) and the
// longest health-check time (-j).
#include <strings.h>
#include <syslog.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "lib/format_text.h"
#include "lib/out_printf.h"
#include "query/classify.h"
#include "query/lookup.h"
#include "reports/stats.h"

namespace lbsnap {

namespace {

constexpr std::array<const char*, 9> kInauthNames = {
    "Delegate to Server", "Basic Authentication", "Form Based", "", "Client Certificate",
    "NTLM", "SAML", "", "OIDC-OAUTH"};
// Server-side mode 0 records nothing.
constexpr std::array<const char*, 5> kOutauthNames = {
    "", "Basic Authentication", "Form Based", "KCD", "Server Token"};

void record_once(std::string& names, const char* name) {
    // An empty name is always "found", so it records nothing.
    if (names.find(name) == std::string::npos) names.append(name).append(";");
}

void log_out_of_range(Ctx& c, int value) {
    c.log(LOG_ERR, format_text("value [%d] out of range!!!\n", value));
}

const char* name_or_dash(const std::string& name) { return name.empty() ? "-" : name.c_str(); }

// The WAF/OWASP entry of a VS, or nothing for a sub-VS whose master is gone.
std::optional<WafEntry> waf_entry(const Model& m, const bahd_config_t& vs,
                                  std::string_view rules) {
    using text = std::string_view;
    if (!vs.isslave)
        return WafEntry{vs.id, std::string(text(vs.name)), std::string(text(vs.vip)), {}, {},
                        std::string(rules)};
    const bahd_config_t* master = find_vip_id(m, vs.isslave);
    if (!master) return std::nullopt;
    return WafEntry{master->id, std::string(text(master->name)), std::string(text(master->vip)),
                    vs.id, std::string(text(vs.name)), std::string(rules)};
}

std::string waf_entry_text(const WafEntry& e) {
    const std::string subvsid = e.subvsid ? std::to_string(*e.subvsid) : "-";
    const char* subvsn = e.subvsid ? name_or_dash(e.subvsn) : "-";
    return format_text("vsid:%d,vsn:%s,vsip:%s,subvsid:%s,subvsn:%s,wrules:%s;", e.vsid,
                       name_or_dash(e.vsn), e.vsip.c_str(), subvsid.c_str(), subvsn,
                       e.wrules.c_str());
}

void add_cstats(Ctx& c, CallhomeData& d, const bahd_config_t& cur) {
    if (!cur.isslave) d.stats.vs_created += 1;
    if (cur.intercept == kInterceptWaf) d.stats.wafvs_cnt += 1;
    if (cur.intercept == kInterceptOwasp) d.stats.owaspvs_cnt += 1;
    if (cur.enable_esp) {
        d.stats.espvs_cnt += 1;
        set_inauth_data(c, d.clientAuth, cur.inauth);
        set_outauth_data(c, d.serverAuth, cur.outauth);
    }
    if (cur.needcac) d.ocsp_flag = 1;
    if (cur.waf->interceptrules && cur.intercept == kInterceptWaf) {
        if (auto e = waf_entry(c.m, cur, cur.waf->interceptrules->c_str()))
            d.waf_info.push_back(std::move(*e));
    }
    if (cur.intercept == kInterceptOwasp) {
        const std::string_view rules = cur.waf->irules ? std::string_view(*cur.waf->irules) : "all";
        if (auto e = waf_entry(c.m, cur, rules)) d.owasp_info.push_back(std::move(*e));
    }
    if (strcasecmp(cur.adaptive_method.c_str(), "snd_gstats") == 0) d.stats.sdn_inuse += 1;
    d.rsnames.add_rslist(cur, true, nullptr);
}

}  // namespace

void print_wafvs(Ctx& c, InterceptMode type) {
    for (const auto& vs : c.m.bahd) {
        if (vs->intercept != type) continue;
        std::string label;
        if (vs->isslave) {
            label = vs->name.empty() ? format_text("#%d", vs->id)
                                     : format_text("%s (#%d)", vs->name.c_str(), vs->id);
        } else {
            const std::string addr = pp_vip(*vs, false);
            label = vs->name.empty() ? addr
                                     : format_text("%s (%s)", vs->name.c_str(), addr.c_str());
        }
        out_printf(c.out, "<option value=\"%d\" %s>%s</option>\n", vs->id,
                     vs->id == c.opt.wafid ? "selected" : "", label.c_str());
    }
}

void set_inauth_data(Ctx& c, std::string& clientAuth, int value) {
    if (value < 0 || value >= static_cast<int>(kInauthNames.size())) {
        log_out_of_range(c, value);
        return;
    }
    record_once(clientAuth, kInauthNames[value]);
}

void set_outauth_data(Ctx& c, std::string& serverAuth, int value) {
    if (value == 0) return;
    if (value < 0 || value >= static_cast<int>(kOutauthNames.size())) {
        log_out_of_range(c, value);
        return;
    }
    record_once(serverAuth, kOutauthNames[value]);
}

CallhomeData collect_callhomedata(Ctx& c) {
    CallhomeData d;
    for (const auto& vs : c.m.bahd) add_cstats(c, d, *vs);
    d.stats.rs_available = d.rsnames.size();
    return d;
}

void gen_callhomedata(Ctx& c) {
    const CallhomeData d = collect_callhomedata(c);
    const callhome_stats& s = d.stats;
    out_printf(c.out, "vs_created=%d&", s.vs_created);
    out_printf(c.out, "rs_available=%d&", s.rs_available);
    out_printf(c.out, "wafvs_cnt=%d&", s.wafvs_cnt);
    out_printf(c.out, "owaspvs_cnt=%d&", s.owaspvs_cnt);
    out_printf(c.out, "espvs_cnt=%d&", s.espvs_cnt);
    out_printf(c.out, "sdn_inuse=%s&", s.sdn_inuse ? "yes" : "no");
    out_printf(c.out, "client_auth=%s&", d.clientAuth.c_str());
    out_printf(c.out, "server_auth=%s&", d.serverAuth.c_str());
    out_printf(c.out, "ocsp=%d&", d.ocsp_flag);
    out_printf(c.out, "waf_info=");
    for (const WafEntry& e : d.waf_info) std::fputs(waf_entry_text(e).c_str(), c.out);
    out_printf(c.out, "owasp_info=");
    for (const WafEntry& e : d.owasp_info) std::fputs(waf_entry_text(e).c_str(), c.out);
    out_printf(c.out, "&");
}

int get_vs_min_interval(const Model& m, const bahd_config_t& vdata) {
    const int timeout = vdata.chk_timeout ? vdata.chk_timeout : m.chk_args.chk_timeout;
    const int retries = vdata.chk_retrycount ? vdata.chk_retrycount : m.chk_args.chk_retrycount;
    // Wraps like the int arithmetic it stands for, without overflowing.
    return static_cast<int>(static_cast<std::int64_t>(timeout) * retries + 1);
}

void print_max_check_time(Ctx& c) {
    int longest = 0;
    for (const auto& vs : c.m.bahd) {
        if (vs->chk_interval == 0) longest = std::max(longest, get_vs_min_interval(c.m, *vs));
    }
    out_printf(c.out, "%d\n", longest);
}

}  // namespace lbsnap
