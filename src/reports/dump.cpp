// The VS dump: every setting of a VS, its derived character and its real
// servers as key-and-value lines. Other programs read it line by line, so
// each line's key, format and condition are fixed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "lib/cfglib.h"
#include "lib/format_text.h"
#include "lib/mangle.h"
#include "lib/out_printf.h"
#include "query/classify.h"
#include "query/derived.h"
#include "query/lookup.h"
#include "reports/dump.h"
#include "store/rule_list.h"

namespace lbsnap {

namespace {

class Dump {
public:
    Dump(Ctx& c, const bahd_config_t& cur, DumpRun& run)
        : c_(c), m_(c.m), cur_(cur), out_(c.out), run_(run), ends_(run.ends), f_(c.m, cur) {}

    void run() {
        identity();
        intercept();
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
        out_printf(out_, "NEEDHEALTH: %d\n", needhealth_);
        controller();
    }

private:
    // Free text that may end up in a web page: raw with -a, else escaped.
    void text_line(const char* key, const char* value) {
        std::fputs(key, out_);
        if (c_.opt.aflag)
            std::fputs(value, out_);
        else
            mangle(value, out_);
        std::fputs("\n", out_);
    }

    void rule_names(const char* key, const Rule_list& rl) {
        if (rl.rules() == 0) return;
        std::fputs(key, out_);
        for (const Rule_t* r : rl.rule_list) out_printf(out_, " %s", r->rule_name.c_str());
        std::fputs("\n", out_);
    }

    void identity() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "VID: %d\n", v.id);
        if (!v.vip.empty()) out_printf(out_, "VIP: %s\n", v.vip.c_str());
        if (!v.vip2.empty()) out_printf(out_, "ALTVIP: %s\n", v.vip2.c_str());
        out_printf(out_, "PORT: %d\n", f_.port());
        out_printf(out_, "ISHTTP: %d\n", f_.is_http());
        out_printf(out_, "IS7LAYER: %d\n", f_.is_7layer());
        out_printf(out_, "LAYER: %d\n", f_.layer());
        out_printf(out_, "HASV6: %d\n", f_.has_v6());
        out_printf(out_, "NEXTRAPORTS: %d\n", v.nextraports());
        if (v.nextraports()) {
            std::fputs("EXTRAPORTS: ", out_);
            lm_extraptofile(v.extraports, out_);
        }
        out_printf(out_, "NAME: %s\n", v.name.c_str());
        out_printf(out_, "ENABLED: %d\n", v.enabled);
        out_printf(out_, "REVERSE: %d\n", v.reverse);
        out_printf(out_, "REENCRYPT: %d\n", v.reencrypt);
    }

    void intercept() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "INTERCEPT: %d\n", v.intercept);
        out_printf(out_, "INTERCEPTOPTS: %d\n", v.interceptopts);
        out_printf(out_, "MAXINCIDENTS: %d\n", v.maxincidents);
        if (v.intercept) {
            if (v.interceptrules)
                out_printf(out_, "INTERCEPTRULES: %s\n", v.interceptrules->c_str());
            if (v.interceptrulesdis)
                out_printf(out_, "INTERCEPTRULESDIS: %s\n", v.interceptrulesdis->c_str());
            if (v.interceptpostctypes)
                out_printf(out_, "INTERCEPTPOSTCTYPES: %s\n", v.interceptpostctypes->c_str());
            if (v.ipostctypes) out_printf(out_, "IPOSTCTYPES: %s\n", v.ipostctypes->c_str());
        }
        out_printf(out_, "IOPTS: %d\n", v.iopts);
        out_printf(out_, "IPARANOIA: %d\n", v.iparanoia);
        out_printf(out_, "IBLOCKIP: %d\n", v.iblockip);
        out_printf(out_, "ITESTPARANOIA: %d\n", v.itestparanoia);
        out_printf(out_, "ITHRESHOLD: %d\n", v.ithreshold);
        if (v.irules) out_printf(out_, "IRULES: %s\n", v.irules->c_str());
        if (v.icustom) out_printf(out_, "ICUSTOM: %s\n", v.icustom->c_str());
        if (v.iexcludes) out_printf(out_, "IEXCLUDES: %s\n", v.iexcludes->c_str());
        if (v.icountries) out_printf(out_, "ICOUNTRIES: %s\n", v.icountries->c_str());
        if (v.iauditparts) out_printf(out_, "IAUDITPARTS: %s\n", v.iauditparts->c_str());
        if (v.idisabledrules) out_printf(out_, "IDISABLED: %s\n", v.idisabledrules->c_str());
        out_printf(out_, "IPCRELIMIT: %d\n", v.ipcrelimit);
    }

    void switches() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "TLIMIT: %d\n", v.tlimit);
        out_printf(out_, "TRANSPARENT: %d\n", v.istransparent);
        out_printf(out_, "SUBNETORIG: %d\n", v.subnetorig);
        out_printf(out_, "SERVERINIT: %d\n", v.isserveriniting);
        out_printf(out_, "STARTTLS: %d\n", v.starttls);
        out_printf(out_, "IDLETIME: %d\n", v.idletimeout);
        out_printf(out_, "CACHE: %d\n", v.cache);
        if (v.cache_percent) out_printf(out_, "CPERCENT: %d\n", v.cache_percent);
        out_printf(out_, "COMPRESS: %d\n", v.compress);
        out_printf(out_, "VERIFY: %d\n", v.urlverify);
        out_printf(out_, "USEFORSNAT: %d\n", v.useforsnat);
        out_printf(out_, "FORCEL7: %d\n", v.forcel7);
        out_printf(out_, "MULTICONNS: %d\n", v.multiconns);
        out_printf(out_, "CLIENTCERT: %d\n", v.client_cert);
        out_printf(out_, "SECHDRS: %d\n", v.sechdrs);
        out_printf(out_, "VERIFYBEARER: %d\n", v.verifybearer);
        if (v.bearercert) out_printf(out_, "BEARERCERT: %s\n", v.bearercert->c_str());
        if (v.bearertext) out_printf(out_, "BEARERTEXT: %s\n", v.bearertext->c_str());
        out_printf(out_, "ERRCODE: %d\n", v.errcode);
        if (v.errcode) out_printf(out_, "ERRORPAGE: %d\n", v.errorpage);
        if (!v.errurl.empty()) text_line("ERRURL: ", v.errurl.c_str());
    }

    void certificates_and_checks() {
        const bahd_config_t& v = cur_;
        if (const ShownCertfile cert(v); !cert.empty())
            out_printf(out_, "CERTFILE: %s\n", cert.c_str());
        if (!v.clientcertfile.empty())
            out_printf(out_, "CLIENTCFILE: %s\n", v.clientcertfile.c_str());
        if (v.verify_certs) out_printf(out_, "VERIFYCERTS: %s\n", v.verify_certs->c_str());
        if (!v.check_url.empty()) out_printf(out_, "CHECKURL: %s\n", v.check_url.c_str());
        if (!v.check_pattern.empty()) text_line("CHECKPAT: ", v.check_pattern.c_str());
        if (!v.check_host.empty()) out_printf(out_, "CHECKHOST: %s\n", v.check_host.c_str());
        if (!v.check_postdata.empty())
            out_printf(out_, "CHECKPOSTDATA: %s\n", v.check_postdata.c_str());
        if (!v.check_headers.empty())
            out_printf(out_, "CHECKHEADERS: %s\n", v.check_headers.c_str());
        out_printf(out_, "CHECKVERSION: %d\n", v.check_version);
        out_printf(out_, "CHECKMINLEN: %d\n", v.check_minlen);
        out_printf(out_, "USEGET: %d\n", v.useget);
        if (v.checker_type == "ldap" && !v.ldapendpoint.empty())
            out_printf(out_, "LDAPENDPOINT: %s\n", v.ldapendpoint.c_str());
    }

    void gateways_and_follow() {
        const bahd_config_t& v = cur_;
        if (!v.stdb_vip.empty()) out_printf(out_, "STDBYVIP: %s\n", v.stdb_vip.c_str());
        if (v.stdb_port) out_printf(out_, "STDBYPORT: %d\n", v.stdb_port);
        out_printf(out_, "REWRITE: %d\n", v.rewrite);
        if (!v.dfltgw.empty()) out_printf(out_, "DFLTGW: %s\n", v.dfltgw.c_str());
        if (!v.dfltgw2.empty()) out_printf(out_, "DFLTGW2: %s\n", v.dfltgw2.c_str());
        if (!v.mtype.empty()) out_printf(out_, "MTYPE: %s\n", v.mtype.c_str());
        const int followvsid = shown_followvsid(m_, v);
        out_printf(out_, "FOLLOWVSID: %d\n", followvsid);
        if (v.isslave == 0 && followvsid)
            if (const bahd_config_t* f = find_vip_id(m_, followvsid))
                out_printf(out_, "FOLLOWVS: %s\n", vs_ip_val(*f).c_str());
        out_printf(out_, "PROT: %s\n", v.proto.c_str());
        out_printf(out_, "LABEL: %s\n", f_.label().c_str());
    }

    void scheduling_and_headers() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "SCHED: %s\n", v.schedule.c_str());
        if (!v.checker_type.empty()) out_printf(out_, "CHECKER: %s\n", v.checker_type.c_str());
        if (!v.adaptive_method.empty())
            out_printf(out_, "ADAPT: %s\n", v.adaptive_method.c_str());
        if (!v.persist.empty()) out_printf(out_, "PERSIST: %s\n", v.persist.c_str());
        out_printf(out_, "PTIMEOUT: %d\n", v.timeout);
        if (!v.cookie_id.empty()) out_printf(out_, "COOKIE: %s\n", v.cookie_id.c_str());
        if (!v.query_tag.empty()) out_printf(out_, "QUERYTAG: %s\n", v.query_tag.c_str());
        if (!v.sslaccel.empty()) out_printf(out_, "SSLACCEL: %s\n", v.sslaccel.c_str());
        if (v.reversesni) out_printf(out_, "REVERSESNI: %s\n", v.reversesni->c_str());
        if (!v.add_hdr_key.empty()) out_printf(out_, "XTRHDRKEY: %s\n", v.add_hdr_key.c_str());
        if (!v.add_hdr_val.empty()) out_printf(out_, "XTRHDRVAL: %s\n", v.add_hdr_val.c_str());
        if (!v.copy_hdr_key.empty())
            out_printf(out_, "COPYHDRKEY: %s\n", v.copy_hdr_key.c_str());
        if (!v.copy_hdr_key.empty() && !v.copy_hdr_val.empty())
            out_printf(out_, "COPYHDRVAL: %s\n", v.copy_hdr_val.c_str());
        out_printf(out_, "CHKPORT: %d\n", v.chk_port);
        if (!v.localbinds.empty()) {
            std::fputs("LOCALBIND:", out_);
            for (const lm_addr& a : v.localbinds) out_printf(out_, " %s", lm_print_addr2(a).c_str());
            std::fputs("\n", out_);
        }
        if (v.ncheckcodes()) {
            std::fputs("CHKCODES:", out_);
            for (int code : v.checkcodes) out_printf(out_, " %d", code);
            std::fputs("\n", out_);
        }
    }

    void rule_lists() {
        // The count line and the names line of each list, in the order of
        // vs_rule_lists.
        static constexpr std::pair<const char*, const char*> lines[kVsRuleLists] = {
            {"NRULES: %d\n", "RULES:"},
            {"NREQUESTS: %d\n", "REQUESTS:"},
            {"NRESPONSES: %d\n", "RESPONSES:"},
            {"NMATCHBODY: %d\n", "MATCHBODY:"},
            {"NPREPROCESS: %d\n", "PREPROCESS:"},
        };
        const VsRuleLists lists = vs_rule_lists(cur_);
        for (std::size_t i = 0; i < kVsRuleLists; ++i) {
            out_printf(out_, lines[i].first, lists[i]->rules());
            rule_names(lines[i].second, *lists[i]);
        }
    }

    void esp() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "ENABLE_ESP: %d\n", v.enable_esp);
        if (!v.enable_esp) return;
        out_printf(out_, "ESPLOG: %d\n", v.esplog);
        out_printf(out_, "ESPPUBPRIV: %d\n", v.espdopubpriv);
        out_printf(out_, "ESPDISPASS: %d\n", v.espdodispass);
        out_printf(out_, "ESPPERMCOOKIE: %d\n", v.esppermcookie);
        if (v.espgroups) out_printf(out_, "ESPGROUPS: %s\n", v.espgroups->c_str());
        if (v.espgrsids) out_printf(out_, "ESPGRSIDS: %s\n", v.espgrsids->c_str());
        out_printf(out_, "ESPNESTED: %d\n", v.doespnested);
        out_printf(out_, "ESPMULTIDOMAIN: %d\n", v.doespmultidomain);
        if (v.espsteering) out_printf(out_, "ESPSTEERING: %s\n", v.espsteering->c_str());
        if (v.smtpallow) out_printf(out_, "SMTPALLOW: %s\n", v.smtpallow->c_str());
        if (v.domain && v.inauth) out_printf(out_, "DOMAIN: %s\n", v.domain->c_str());
        if (v.altdomains && v.inauth)
            out_printf(out_, "ALTDOMAINS: %s\n", v.altdomains->c_str());
        if (v.outconf && v.outauth == kOutauthKcd)
            out_printf(out_, "OUTCONF: %s\n", v.outconf->c_str());
        if (v.ssodir) out_printf(out_, "SSODIR: %s\n", v.ssodir->c_str());
        if (v.logoff) out_printf(out_, "LOGOFF: %s\n", v.logoff->c_str());
        if (v.ecplink) out_printf(out_, "ECPLINK: %s\n", v.ecplink->c_str());
        if (v.ecpmsg) out_printf(out_, "ECPMSG: %s\n", v.ecpmsg->c_str());
        out_printf(out_, "ECPEXPW: %d\n", v.ecpexpw);
        out_printf(out_, "ECPEXPWDAYS: %d\n", v.ecpexpwdays);
        out_printf(out_, "CAPTCHA: %d\n", v.captcha);
        if (v.captcha_pubkey)
            out_printf(out_, "CAPTCHAPUBKEY: %s\n", v.captcha_pubkey->c_str());
        if (v.captcha_url) out_printf(out_, "CAPTCHAURL: %s\n", v.captcha_url->c_str());
        if (v.captcha_privkey)
            out_printf(out_, "CAPTCHAPRIVKEY: %s\n", v.captcha_privkey->c_str());
        if (v.captcha_verify)
            out_printf(out_, "CAPTCHAVERIFY: %s\n", v.captcha_verify->c_str());
        if (v.hostallow) out_printf(out_, "HOSTALLOW: %s\n", v.hostallow->c_str());
        if (v.dirallow) out_printf(out_, "DIRALLOW: %s\n", v.dirallow->c_str());
        if (v.excludedir) out_printf(out_, "EXCLUDEDIR: %s\n", v.excludedir->c_str());
        if (v.serverfbapath)
            out_printf(out_, "SERVERFBAPATH: %s\n", v.serverfbapath->c_str());
        if (v.serverfba) out_printf(out_, "SERVERFBA: %s\n", v.serverfba->c_str());
        out_printf(out_, "SERVERFBAUNAMEONLY: %d\n", v.serverfbaunameonly);
        if (v.tokenserver) out_printf(out_, "TOKENSERVER: %s\n", v.tokenserver->c_str());
        if (v.addauthhdr) out_printf(out_, "ADDAUTHHDR: %s\n", v.addauthhdr->c_str());
    }

    void roles() {
        const bahd_config_t& v = cur_;
        out_printf(out_, "INAUTH: %d\n", v.inauth);
        out_printf(out_, "OUTAUTH: %d\n", v.outauth);
        out_printf(out_, "MASTER: %d\n", v.ismaster);
        out_printf(out_, "SLAVE: %d\n", v.isslave);
        if (v.ssomsg) text_line("SSOMSG: ", v.ssomsg->c_str());
        if (const rs_info_t* e = f_.subvs_entry()) {
            out_printf(out_, "WEIGHT: %d\n", e->weight);
            out_printf(out_, "LIMIT: %d\n", e->limit);
            out_printf(out_, "RATELIMIT: %d\n", e->ratelimit);
        }
    }

    void top_and_limits() {
        const bahd_config_t& v = cur_;
        const bahd_config_t& top = f_.top();
        out_printf(out_, "IS_TRANSPARENT: %d\n",
                   calc_transparent(v, f_.ms, f_.typ, run_.l7_transparent_off()));
        out_printf(out_, "SLAVE_ENCRYPT: %d\n", f_.slave_encrypt());
        out_printf(out_, "TOPPORT: %d\n", calc_port(top));
        out_printf(out_, "TOPPROT: %s\n", top.proto.c_str());
        out_printf(out_, "TOPVIP: %s\n", top.vip.c_str());
        out_printf(out_, "TOPNEXTRAPORTS: %d\n", top.nextraports());
        out_printf(out_, "ADDVIA: %d\n", v.add_via);
        out_printf(out_, "QOS: %d\n", v.qos);
        out_printf(out_, "TOPQOS: %d\n", top.qos);
        out_printf(out_, "TLSTYPE: %d\n", v.tlstype);
        out_printf(out_, "NEEDHNAME: %d\n", v.needhname);
        out_printf(out_, "NEEDCAC: %d\n", v.needcac);
        out_printf(out_, "HTTP2: %d\n", v.http2_support);
        out_printf(out_, "PASSCIPHER: %d\n", v.pass_cipher);
        out_printf(out_, "PASSSNI: %d\n", v.pass_sni);
        out_printf(out_, "CHKINTERVAL: %d\n", v.chk_interval);
        out_printf(out_, "CHKTIMEOUT: %d\n", v.chk_timeout);
        out_printf(out_, "CHKRETRYCOUNT: %d\n", v.chk_retrycount);
        out_printf(out_, "BANDWIDTH: %d\n", v.bandwidth);
        out_printf(out_, "CPSLIMIT: %d\n", v.cpslimit);
        out_printf(out_, "RPSLIMIT: %d\n", v.rpslimit);
        out_printf(out_, "CONNLIMIT: %d\n", v.connlimit);
        out_printf(out_, "REFRESHPERSIST: %d\n", v.refresh_persist);
        if (v.ismaster == 0) out_printf(out_, "EXTENDEDHEALTH: %d\n", v.extendedhealth);
        out_printf(out_, "NRSNEEDED: %d\n", v.nrsneeded);
    }

    void ciphers() {
        if (cur_.ciphers) out_printf(out_, "CIPHERS: %s\n", cur_.ciphers->c_str());
        record_custom_cipherset(run_.cipher_sets, cur_);
        if (const auto set = shown_cipherset(cur_))
            out_printf(out_, "CIPHERSET: %s\n", set->c_str());
        out_printf(out_, "HASRSFOLLOW: %d\n", f_.has_rs_follow());
        out_printf(out_, "NRS: %d\n", cur_.n_rs());
    }

    std::string subvs_name(const rs_info_t& e) const {
        const bahd_config_t* sub = find_vip_id(m_, e.port);
        if (!sub || sub->name.empty()) return "-";
        return c_.opt.aflag ? sub->name.str() : mangle_str(sub->name.c_str());
    }

    std::string display_name(const rs_info_t& e) {
        if (entry_needs_health(m_, cur_, e, ends_)) needhealth_ = 1;
        if (cur_.ismaster) return subvs_name(e);
        if (e.dns.empty()) return e.rip.str();
        return e.dns.str() + "&nbsp;(" + e.rip.str() + ")";
    }

    void rs_rules(int i, const rs_info_t& e) {
        if (e.r.rules() == 0) return;
        out_printf(out_, "RSR%d: %s %d %d ", i, e.rip.c_str(), e.port, e.r.rules());
        for (const Rule_t* rule : entry_rules(cur_, e))
            out_printf(out_, "%s ", rule->rule_name.c_str());
        std::fputs("\n", out_);
    }

    void real_servers() {
        if (cur_.n_rs() == 0) needhealth_ = 1;
        for (int i = 0; i < cur_.n_rs(); ++i) {
            const rs_info_t& e = cur_.rsinfo[i];
            if (e.rip.empty()) continue;
            std::string name = display_name(e);
            out_printf(out_, "RS%d: %s %d %s %d %d %d %d %d %d %d %d %s\n", i, name.c_str(),
                       e.port, e.for_method_str(), e.weight, e.enabled, e.snat_port, e.id,
                       e.limit, e.ratelimit, e.critical, e.rsfollow, e.dns.c_str());
            rs_rules(i, e);
        }
    }

    void controller() {
        if (!run_.may_have_controller(cur_.id)) return;
        if (const auto text = controller_text(cur_.id))
            out_printf(out_, "CONTROLLER: %s\n", text->c_str());
    }

    Ctx& c_;
    const Model& m_;
    const bahd_config_t& cur_;
    std::FILE* out_;
    DumpRun& run_;
    FollowEnds& ends_;
    const DumpFacts f_;
    int needhealth_ = 0;
};

// The number of a sub-VS is its master's entry index plus 1; without an
// entry it counts as one past the master's last entry.
int subvs_number_index(const bahd_config_t& ms, const bahd_config_t& cur) {
    const int i = subvs_index(ms, cur.id);
    return i < 0 ? ms.n_rs() : i;
}

}  // namespace

DumpFacts::DumpFacts(const Model& m, const bahd_config_t& v)
    : cur(v), ms(v.isslave ? find_vip_id(m, v.isslave) : nullptr), typ(vip_character(v)),
      subvs_idx(ms ? subvs_number_index(*ms, v) : 0) {}

// A sub-VS whose master is missing gets the plain label: there is no master
// to number it against.
std::string DumpFacts::label() const {
    if (cur.isslave && ms)
        return format_text("subVS %d (Id:%d) of %s", subvs_idx + 1, cur.id,
                           vs_ip_val(*ms).c_str());
    return format_text("%s (Id:%d)", vs_ip_val(cur).c_str(), cur.id);
}

namespace {

// An SSL VS that names no cipher set but lists ciphers has a custom set of
// its own.
bool has_custom_cipherset(const bahd_config_t& cur) {
    return !cur.sslaccel.empty() && !cur.cipher_set && cur.ciphers;
}

std::string custom_cipherset_name(const bahd_config_t& cur) {
    return "Custom_" + std::to_string(cur.id);
}

}  // namespace

std::optional<std::string> shown_cipherset(const bahd_config_t& cur) {
    if (cur.cipher_set) return cur.cipher_set->str();
    if (cur.sslaccel.empty()) return std::nullopt;
    if (!cur.ciphers) return "Default";
    return custom_cipherset_name(cur);
}

// Made on every run, each VS's just before its CIPHERSET: line; a failure
// to record the set does not change what is printed (the recorder logs it).
void record_custom_cipherset(CipherSetRecorder& sets, const bahd_config_t& cur) {
    if (has_custom_cipherset(cur))
        sets.update(custom_cipherset_name(cur).c_str(), cur.ciphers->c_str());
}

// A master's entries are sub-VSs, whose health the master checks.
int entry_needs_health(const Model& m, const bahd_config_t& cur, const rs_info_t& e,
                       FollowEnds& ends) {
    if (cur.ismaster) return 1;
    return (e.rsfollow == 0 || ends.end_of(m, e.rsfollow) == &cur) ? 1 : 0;
}

std::vector<const Rule_t*> entry_rules(const bahd_config_t& cur, const rs_info_t& e) {
    std::vector<const Rule_t*> named;
    for (const Rule_t* rule : cur.r.rule_list)
        if (rule_is_in(e.r, rule)) named.push_back(rule);
    return named;
}

std::optional<std::string> controller_text(int id) {
    // The controller list is cut to the room of the dump's buffer for it.
    constexpr int kControllerTextSize = 256;
    std::string tmpname;
    chk_ext_ctrl(id, tmpname, kControllerTextSize);
    if (tmpname.empty()) return std::nullopt;
    if (tmpname.front() == '+') tmpname.erase(0, 1);
    return tmpname;
}

// A chain that comes back to an id it has already visited ends at the VS of
// the last real server found before the repeat. Every id of a walk gets its
// own end: before a cycle the walk's end, on a cycle the VS of the id's
// predecessor on it (where a walk from that id would stop).
const bahd_config_t* FollowEnds::end_of(const Model& m, int id) {
    std::vector<int> path;
    std::vector<const bahd_config_t*> holders;
    std::unordered_map<int, std::size_t> pos;
    const bahd_config_t* known = nullptr;
    std::size_t cycle = SIZE_MAX;
    while (id != 0) {
        if (auto it = end_.find(id); it != end_.end()) {
            known = it->second;
            break;
        }
        if (auto it = pos.find(id); it != pos.end()) {
            cycle = it->second;
            break;
        }
        bahd_config_t* holder = nullptr;
        const rs_info_t* rs = find_rs_follow(m, id, &holder);
        if (!rs) break;
        pos.emplace(id, path.size());
        path.push_back(id);
        holders.push_back(holder);
        id = rs->rsfollow;
    }
    const bahd_config_t* last = known ? known : holders.empty() ? nullptr : holders.back();
    for (std::size_t i = 0; i < path.size(); ++i)
        end_.emplace(path[i], i > cycle ? holders[i - 1] : last);
    return last;
}

int DumpRun::l7_transparent_off() {
    if (!l7_off_) l7_off_ = lbsnap::l7_transparent_off();
    return *l7_off_;
}

bool DumpRun::may_have_controller(int id) {
    if (!listed_) {
        ctrl_dirs_ = ext_ctrl_dirs();
        listed_ = true;
    }
    return !ctrl_dirs_ || ctrl_dirs_->count(std::to_string(id)) != 0;
}

void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run) { Dump(c, cur, run).run(); }

}  // namespace lbsnap
