// The JSON form of the VS dump: one object per VS with the dump's values
// under lower_snake_case names. A member is present exactly when the dump
// writes its line; lists are arrays, present always (empty when the dump
// has no line). Texts are raw: no HTML escapes, with or without -a.
#include <string>

#include "lib/addrs.h"
#include "query/classify.h"
#include "query/derived.h"
#include "query/lookup.h"
#include "reports/json.h"
#include "store/rule_list.h"

namespace lbsnap {

namespace {

class JsonDump {
public:
    JsonDump(JsonWriter& w, Ctx& c, const bahd_config_t& cur, DumpRun& run)
        : w_(w), c_(c), cur_(cur), run_(run), ends_(run.ends), f_(c.m, cur) {}

    void run() {
        w_.begin_object();
        identity();
        waf();
        switches();
        certificates_and_checks();
        gateways_and_follow();
        scheduling_and_headers();
        rule_lists();
        esp();
        roles();
        top_and_limits();
        ciphers();
        real_servers();
        if (run_.may_have_controller(cur_.id))
            if (const auto text = controller_text(cur_.id)) w_.field("controller", *text);
        w_.end_object();
    }

private:
    void int_array(const char* name, const std::vector<int>& values) {
        w_.key(name).begin_array();
        for (int v : values) w_.number(v);
        w_.end_array();
    }

    void rule_refs(const char* name, const std::vector<Rule_t*>& rules) {
        w_.key(name).begin_array();
        for (const Rule_t* r : rules) rule_ref(*r);
        w_.end_array();
    }

    void rule_ref(const Rule_t& r) {
        w_.begin_object();
        w_.field("name", std::string_view(r.rule_name));
        w_.field("id", r.id);
        w_.end_object();
    }

    void identity() {
        const bahd_config_t& v = cur_;
        w_.field("vid", v.id);
        w_.nonempty("vip", v.vip);
        w_.nonempty("alt_vip", v.vip2);
        w_.field("port", f_.port());
        w_.field("is_http", f_.is_http());
        w_.field("is_7layer", f_.is_7layer());
        w_.field("layer", f_.layer());
        w_.field("has_v6", f_.has_v6());
        int_array("extra_ports", v.extraports);
        w_.field("name", std::string_view(v.name));
        w_.field("enabled", v.enabled);
        w_.field("reverse", v.reverse);
        w_.field("reencrypt", v.reencrypt);
    }

    void waf() {
        const bahd_config_t& v = cur_;
        w_.field("intercept", v.intercept);
        w_.field("intercept_opts", v.interceptopts);
        w_.field("max_incidents", v.maxincidents);
        if (v.intercept) {
            w_.if_set("intercept_rules", v.interceptrules);
            w_.if_set("intercept_rules_dis", v.interceptrulesdis);
            w_.if_set("intercept_post_ctypes", v.interceptpostctypes);
            w_.if_set("i_post_ctypes", v.ipostctypes);
        }
        w_.field("i_opts", v.iopts);
        w_.field("i_paranoia", v.iparanoia);
        w_.field("i_block_ip", v.iblockip);
        w_.field("i_test_paranoia", v.itestparanoia);
        w_.field("i_threshold", v.ithreshold);
        w_.if_set("i_rules", v.irules);
        w_.if_set("i_custom", v.icustom);
        w_.if_set("i_excludes", v.iexcludes);
        w_.if_set("i_countries", v.icountries);
        w_.if_set("i_audit_parts", v.iauditparts);
        w_.if_set("i_disabled", v.idisabledrules);
        w_.field("i_pcre_limit", v.ipcrelimit);
    }

    void switches() {
        const bahd_config_t& v = cur_;
        w_.field("tlimit", v.tlimit);
        w_.field("transparent", v.istransparent);
        w_.field("subnet_orig", v.subnetorig);
        w_.field("server_init", v.isserveriniting);
        w_.field("start_tls", v.starttls);
        w_.field("idle_time", v.idletimeout);
        w_.field("cache", v.cache);
        if (v.cache_percent) w_.field("cache_percent", v.cache_percent);
        w_.field("compress", v.compress);
        w_.field("verify", v.urlverify);
        w_.field("use_for_snat", v.useforsnat);
        w_.field("force_l7", v.forcel7);
        w_.field("multi_conns", v.multiconns);
        w_.field("client_cert", v.client_cert);
        w_.field("sec_hdrs", v.sechdrs);
        w_.field("verify_bearer", v.verifybearer);
        w_.if_set("bearer_cert", v.bearercert);
        w_.if_set("bearer_text", v.bearertext);
        w_.field("err_code", v.errcode);
        if (v.errcode) w_.field("error_page", v.errorpage);
        w_.nonempty("err_url", v.errurl);
    }

    void certificates_and_checks() {
        const bahd_config_t& v = cur_;
        w_.nonempty("cert_file", ShownCertfile(v).c_str());
        w_.nonempty("client_cert_file", v.clientcertfile);
        w_.if_set("verify_certs", v.verify_certs);
        w_.nonempty("check_url", v.check_url);
        w_.nonempty("check_pattern", v.check_pattern);
        w_.nonempty("check_host", v.check_host);
        w_.nonempty("check_post_data", v.check_postdata);
        w_.nonempty("check_headers", v.check_headers);
        w_.field("check_version", v.check_version);
        w_.field("check_min_len", v.check_minlen);
        w_.field("use_get", v.useget);
        if (v.checker_type == "ldap") w_.nonempty("ldap_endpoint", v.ldapendpoint);
    }

    void gateways_and_follow() {
        const bahd_config_t& v = cur_;
        w_.nonempty("stdby_vip", v.stdb_vip);
        if (v.stdb_port) w_.field("stdby_port", v.stdb_port);
        w_.field("rewrite", v.rewrite);
        w_.nonempty("dflt_gw", v.dfltgw);
        w_.nonempty("dflt_gw2", v.dfltgw2);
        w_.nonempty("mtype", v.mtype);
        const int followvsid = shown_followvsid(c_.m, v);
        w_.field("follow_vs_id", followvsid);
        if (v.isslave == 0 && followvsid)
            if (const bahd_config_t* f = find_vip_id(c_.m, followvsid))
                w_.field("follow_vs", vs_ip_val(*f));
        w_.field("prot", std::string_view(v.proto));
        w_.field("label", f_.label());
        if (v.isslave && f_.ms) w_.field("sub_vs_number", f_.subvs_idx + 1);
    }

    void scheduling_and_headers() {
        const bahd_config_t& v = cur_;
        w_.field("sched", std::string_view(v.schedule));
        w_.nonempty("checker", v.checker_type);
        w_.nonempty("adapt", v.adaptive_method);
        w_.nonempty("persist", v.persist);
        w_.field("p_timeout", v.timeout);
        w_.nonempty("cookie", v.cookie_id);
        w_.nonempty("query_tag", v.query_tag);
        w_.nonempty("ssl_accel", v.sslaccel);
        w_.if_set("reverse_sni", v.reversesni);
        w_.nonempty("xtr_hdr_key", v.add_hdr_key);
        w_.nonempty("xtr_hdr_val", v.add_hdr_val);
        w_.nonempty("copy_hdr_key", v.copy_hdr_key);
        if (!v.copy_hdr_key.empty()) w_.nonempty("copy_hdr_val", v.copy_hdr_val);
        w_.field("chk_port", v.chk_port);
        w_.key("local_bind").begin_array();
        for (const lm_addr& a : v.localbinds) w_.text(lm_print_addr2(a));
        w_.end_array();
        int_array("chk_codes", v.checkcodes);
    }

    void rule_lists() {
        // In the order of vs_rule_lists.
        static constexpr const char* names[kVsRuleLists] = {"rules", "requests", "responses",
                                                            "match_body", "preprocess"};
        const VsRuleLists lists = vs_rule_lists(cur_);
        for (std::size_t i = 0; i < kVsRuleLists; ++i) rule_refs(names[i], lists[i]->rule_list);
    }

    void esp() {
        const bahd_config_t& v = cur_;
        w_.field("enable_esp", v.enable_esp);
        if (!v.enable_esp) return;
        w_.field("esp_log", v.esplog);
        w_.field("esp_pub_priv", v.espdopubpriv);
        w_.field("esp_dis_pass", v.espdodispass);
        w_.field("esp_perm_cookie", v.esppermcookie);
        w_.if_set("esp_groups", v.espgroups);
        w_.if_set("esp_gr_sids", v.espgrsids);
        w_.field("esp_nested", v.doespnested);
        w_.field("esp_multi_domain", v.doespmultidomain);
        w_.if_set("esp_steering", v.espsteering);
        w_.if_set("smtp_allow", v.smtpallow);
        if (v.inauth) w_.if_set("domain", v.domain);
        if (v.inauth) w_.if_set("alt_domains", v.altdomains);
        if (v.outauth == kOutauthKcd) w_.if_set("out_conf", v.outconf);
        w_.if_set("sso_dir", v.ssodir);
        w_.if_set("log_off", v.logoff);
        w_.if_set("ecp_link", v.ecplink);
        w_.if_set("ecp_msg", v.ecpmsg);
        w_.field("ecp_expw", v.ecpexpw);
        w_.field("ecp_expw_days", v.ecpexpwdays);
        w_.field("captcha", v.captcha);
        w_.if_set("captcha_pub_key", v.captcha_pubkey);
        w_.if_set("captcha_url", v.captcha_url);
        w_.if_set("captcha_priv_key", v.captcha_privkey);
        w_.if_set("captcha_verify", v.captcha_verify);
        w_.if_set("host_allow", v.hostallow);
        w_.if_set("dir_allow", v.dirallow);
        w_.if_set("exclude_dir", v.excludedir);
        w_.if_set("server_fba_path", v.serverfbapath);
        w_.if_set("server_fba", v.serverfba);
        w_.field("server_fba_uname_only", v.serverfbaunameonly);
        w_.if_set("token_server", v.tokenserver);
        w_.if_set("add_auth_hdr", v.addauthhdr);
    }

    void roles() {
        const bahd_config_t& v = cur_;
        w_.field("in_auth", v.inauth);
        w_.field("out_auth", v.outauth);
        w_.field("master", v.ismaster);
        w_.field("slave", v.isslave);
        w_.if_set("sso_msg", v.ssomsg);
        if (const rs_info_t* e = f_.subvs_entry()) {
            w_.field("weight", e->weight);
            w_.field("limit", e->limit);
            w_.field("rate_limit", e->ratelimit);
        }
    }

    void top_and_limits() {
        const bahd_config_t& v = cur_;
        const bahd_config_t& top = f_.top();
        w_.field("is_transparent", calc_transparent(v, f_.ms, f_.typ, run_.l7_transparent_off()));
        w_.field("slave_encrypt", f_.slave_encrypt());
        w_.field("top_port", calc_port(top));
        w_.field("top_prot", std::string_view(top.proto));
        w_.field("top_vip", std::string_view(top.vip));
        w_.field("top_n_extra_ports", top.nextraports());
        w_.field("add_via", v.add_via);
        w_.field("qos", v.qos);
        w_.field("top_qos", top.qos);
        w_.field("tls_type", v.tlstype);
        w_.field("need_hname", v.needhname);
        w_.field("need_cac", v.needcac);
        w_.field("http2", v.http2_support);
        w_.field("pass_cipher", v.pass_cipher);
        w_.field("pass_sni", v.pass_sni);
        w_.field("chk_interval", v.chk_interval);
        w_.field("chk_timeout", v.chk_timeout);
        w_.field("chk_retry_count", v.chk_retrycount);
        w_.field("bandwidth", v.bandwidth);
        w_.field("cps_limit", v.cpslimit);
        w_.field("rps_limit", v.rpslimit);
        w_.field("conn_limit", v.connlimit);
        w_.field("refresh_persist", v.refresh_persist);
        if (v.ismaster == 0) w_.field("extended_health", v.extendedhealth);
        w_.field("n_rs_needed", v.nrsneeded);
    }

    void ciphers() {
        w_.if_set("ciphers", cur_.ciphers);
        record_custom_cipherset(run_.cipher_sets, cur_);
        w_.if_set("cipher_set", shown_cipherset(cur_));
        w_.field("has_rs_follow", f_.has_rs_follow());
        w_.field("n_rs", cur_.n_rs());
    }

    // A master's entries name sub-VSs: by id, with the sub-VS's name (null
    // when there is no such sub-VS).
    void entry_identity(const rs_info_t& e) {
        if (!cur_.ismaster) {
            w_.field("rip", std::string_view(e.rip));
            w_.field("port", e.port);
            return;
        }
        w_.field("sub_vs_id", e.port);
        w_.key("sub_vs_name");
        if (const bahd_config_t* sub = find_vip_id(c_.m, e.port))
            w_.text(sub->name);
        else
            w_.null();
    }

    void real_server(int i, const rs_info_t& e) {
        w_.begin_object();
        w_.field("index", i);
        entry_identity(e);
        w_.field("for_method", std::string_view(e.for_method_str()));
        w_.field("weight", e.weight);
        w_.field("enabled", e.enabled);
        w_.field("snat_port", e.snat_port);
        w_.field("id", e.id);
        w_.field("limit", e.limit);
        w_.field("rate_limit", e.ratelimit);
        w_.field("critical", e.critical);
        w_.field("rs_follow", e.rsfollow);
        w_.field("dns", std::string_view(e.dns));
        w_.field("n_rules", e.r.rules());
        w_.key("rules").begin_array();
        for (const Rule_t* r : entry_rules(cur_, e)) rule_ref(*r);
        w_.end_array();
        w_.end_object();
    }

    void real_servers() {
        int needhealth = cur_.n_rs() == 0 ? 1 : 0;
        w_.key("real_servers").begin_array();
        for (int i = 0; i < cur_.n_rs(); ++i) {
            const rs_info_t& e = cur_.rsinfo[i];
            if (e.rip.empty()) continue;
            if (entry_needs_health(c_.m, cur_, e, ends_)) needhealth = 1;
            real_server(i, e);
        }
        w_.end_array();
        w_.field("need_health", needhealth);
    }

    JsonWriter& w_;
    Ctx& c_;
    const bahd_config_t& cur_;
    DumpRun& run_;
    FollowEnds& ends_;
    const DumpFacts f_;
};

}  // namespace

void json_vs(JsonWriter& w, Ctx& c, const bahd_config_t& cur, DumpRun& run) {
    JsonDump(w, c, cur, run).run();
}

}  // namespace lbsnap
