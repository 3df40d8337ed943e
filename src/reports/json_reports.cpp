// The JSON form of the reports besides the VS dump: rules and their users,
// listings, check parameters, real-server lists and usage statistics.
#include <string>

#include "query/classify.h"
#include "reports/json.h"
#include "reports/listings.h"
#include "reports/realservers.h"
#include "reports/server_lists.h"
#include "reports/rule_output.h"
#include "reports/stats.h"

namespace lbsnap {

namespace {

// The names of "Name;Name;" as an array.
void name_list(JsonWriter& w, const char* key, std::string_view joined) {
    w.key(key).begin_array();
    for (std::size_t end; (end = joined.find(';')) != std::string_view::npos;) {
        w.text(joined.substr(0, end));
        joined.remove_prefix(end + 1);
    }
    w.end_array();
}

void waf_entries(JsonWriter& w, const char* key, const std::vector<WafEntry>& entries) {
    w.key(key).begin_array();
    for (const WafEntry& e : entries) {
        w.begin_object();
        w.field("vsid", e.vsid);
        w.field("vsn", e.vsn);
        w.field("vsip", e.vsip);
        if (e.subvsid) {
            w.field("subvsid", *e.subvsid);
            w.field("subvsn", e.subvsn);
        }
        w.field("wrules", e.wrules);
        w.end_object();
    }
    w.end_array();
}

// A VS as the rule reports name it. A sub-VS is named by its id alone, so
// it has no address member.
void vs_ref(JsonWriter& w, const bahd_config_t& vs) {
    w.begin_object();
    w.field("vid", vs.id);
    w.field("name", std::string_view(vs.name));
    if (!vs.isslave) w.field("address", pp_vip(vs, false));
    w.end_object();
}

void vs_refs(JsonWriter& w, const std::vector<const bahd_config_t*>& vss) {
    w.begin_array();
    for (const bahd_config_t* vs : vss) vs_ref(w, *vs);
    w.end_array();
}

}  // namespace

void json_rule(JsonWriter& w, const Options& opt, const Rule_t& rule) {
    if (!rule_passes_filter(opt, rule)) return;
    const MatchWord mw = match_word(rule.match_type);
    w.begin_object();
    w.field("name", std::string_view(rule.rule_name));
    w.field("id", rule.id);
    w.field("rule_type", rule.rule_type);
    w.field("match", mw.word);
    w.field("host", mw.host);
    w.field("negation", rule.negation);
    w.field("inc_query", rule.inc_query);
    w.field("force_vers", rule.forcevers);
    w.field("no_case", rule.nocase);
    w.field("must_fail", rule.must_fail);
    w.field("only_on_flag", rule.only_on_flag);
    w.field("set_flag_on_match", rule.set_flag_onmatch);
    w.field("only_on_no_flag", rule.only_on_noflag);
    w.field("pattern", std::string_view(rule.pattern));
    w.field("header", std::string_view(rule.header));
    w.field("replacement", std::string_view(rule.replacement));
    w.end_object();
}

void json_rule_in_vs(Ctx& c, JsonWriter& w) {
    const Rule_t* rule = tested_rule(c);
    vs_refs(w, rule ? rule_users(c.m, rule) : std::vector<const bahd_config_t*>{});
}

void json_rule_in_vs_all(Ctx& c, JsonWriter& w) {
    const RuleUsers users = rule_users_all(c.m);
    w.begin_array();
    for (const auto& rule : c.m.Rules) {
        auto it = users.find(rule.get());
        if (it == users.end()) continue;
        w.begin_object();
        w.field("name", std::string_view(rule->rule_name));
        w.field("id", rule->id);
        w.key("vss");
        vs_refs(w, it->second);
        w.end_object();
    }
    w.end_array();
}

void json_list_vs(JsonWriter& w, const bahd_config_t& cur, bool wantsslonly) {
    if (wantsslonly && !is_ssl_endpoint(cur)) return;
    w.begin_object();
    w.field("vid", cur.id);
    w.field("prot", std::string_view(cur.proto));
    w.field("vip", std::string_view(cur.vip));
    w.field("port", cur.port);
    w.end_object();
}

void json_checks(JsonWriter& w, const Model& m) {
    w.begin_object();
    w.key("check").begin_object();
    w.field("interval", m.chk_args.chk_interval);
    w.field("timeout", m.chk_args.chk_timeout);
    w.field("retry_count", m.chk_args.chk_retrycount);
    w.end_object();
    w.key("adaptive").begin_object();
    w.field("url", std::string_view(m.adapt_args.url));
    w.field("http_port", m.adapt_args.http_port);
    w.field("interval", m.adapt_args.interval);
    w.field("ctrl_minp", m.adapt_args.ctrl_minp);
    w.end_object();
    w.key("sdn_adaptive").begin_object();
    w.field("interval", m.sdn_adapt_args.interval);
    w.field("navg", m.sdn_adapt_args.navg);
    w.field("ctrl_minp", m.sdn_adapt_args.ctrl_minp);
    w.end_object();
    w.end_object();
}

void json_realservers(JsonWriter& w, RsNameTable& names) {
    names.sort_rsnames();
    w.begin_array();
    for (const rsdups_t& e : names.entries()) w.text(e.name);
    w.end_array();
}

void json_realserverlist(JsonWriter& w, rs_disp_tab& tab, const char* sortorder) {
    sort_realserverlist(tab, sortorder);
    const HostMap hosts = HostMap::load();
    w.begin_array();
    for (const rs_disp_entry& e : tab.entries()) {
        w.begin_object();
        w.field("rip", std::string_view(e.rip));
        w.field("n_total", e.ntotal);
        w.field("n_enabled", e.nok);
        w.field("label", newrs_label(hosts, e));
        w.field("dns", std::string_view(e.dns));
        w.end_object();
    }
    w.end_array();
}

void json_callhomedata(Ctx& c, JsonWriter& w) {
    const CallhomeData d = collect_callhomedata(c);
    const callhome_stats& s = d.stats;
    w.begin_object();
    w.field("vs_created", s.vs_created);
    w.field("rs_available", s.rs_available);
    w.field("wafvs_cnt", s.wafvs_cnt);
    w.field("owaspvs_cnt", s.owaspvs_cnt);
    w.field("espvs_cnt", s.espvs_cnt);
    w.key("sdn_inuse").boolean(s.sdn_inuse != 0);
    name_list(w, "client_auth", d.clientAuth);
    name_list(w, "server_auth", d.serverAuth);
    w.field("ocsp", d.ocsp_flag);
    waf_entries(w, "waf_info", d.waf_info);
    waf_entries(w, "owasp_info", d.owasp_info);
    w.end_object();
}

}  // namespace lbsnap
