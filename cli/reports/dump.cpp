// The VS dump: every setting of a VS, its derived character and its real
// servers as key-and-value lines. Other programs read it line by line, so
// each line's key, format and condition are fixed.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "addrs.h"
#include "cfglib.h"
#include "classify.h"
#include "lookup.h"
#include "mangle.h"
#include "reports.h"
#include "rules.h"

namespace lbsnap {

namespace {

class Dump {
public:
    Dump(Ctx& c, bahd_config_t& cur, FollowEnds& ends)
        : c_(c), m_(c.m), cur_(cur), out_(c.out), ends_(ends), f_(c.m, cur) {}

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
        std::fprintf(out_, "NEEDHEALTH: %d\n", needhealth_);
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
        for (const Rule_t* r : rl.rule_list) std::fprintf(out_, " %s", r->rule_name.c_str());
        std::fputs("\n", out_);
    }

    void identity() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "VID: %d\n", v.id);
        if (!v.vip.empty()) std::fprintf(out_, "VIP: %s\n", v.vip.c_str());
        if (!v.vip2.empty()) std::fprintf(out_, "ALTVIP: %s\n", v.vip2.c_str());
        std::fprintf(out_, "PORT: %d\n", f_.port());
        std::fprintf(out_, "ISHTTP: %d\n", f_.is_http());
        std::fprintf(out_, "IS7LAYER: %d\n", f_.is_7layer());
        std::fprintf(out_, "LAYER: %d\n", f_.layer());
        std::fprintf(out_, "HASV6: %d\n", f_.has_v6());
        std::fprintf(out_, "NEXTRAPORTS: %d\n", v.nextraports());
        if (v.nextraports()) {
            std::fputs("EXTRAPORTS: ", out_);
            lm_extraptofile(v.extraports, out_);
        }
        std::fprintf(out_, "NAME: %s\n", v.name.c_str());
        std::fprintf(out_, "ENABLED: %d\n", v.enabled);
        std::fprintf(out_, "REVERSE: %d\n", v.reverse);
        std::fprintf(out_, "REENCRYPT: %d\n", v.reencrypt);
    }

    void intercept() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "INTERCEPT: %d\n", v.intercept);
        std::fprintf(out_, "INTERCEPTOPTS: %d\n", v.interceptopts);
        std::fprintf(out_, "MAXINCIDENTS: %d\n", v.maxincidents);
        if (v.intercept) {
            if (v.interceptrules)
                std::fprintf(out_, "INTERCEPTRULES: %s\n", v.interceptrules->c_str());
            if (v.interceptrulesdis)
                std::fprintf(out_, "INTERCEPTRULESDIS: %s\n", v.interceptrulesdis->c_str());
            if (v.interceptpostctypes)
                std::fprintf(out_, "INTERCEPTPOSTCTYPES: %s\n", v.interceptpostctypes->c_str());
            if (v.ipostctypes) std::fprintf(out_, "IPOSTCTYPES: %s\n", v.ipostctypes->c_str());
        }
        std::fprintf(out_, "IOPTS: %d\n", v.iopts);
        std::fprintf(out_, "IPARANOIA: %d\n", v.iparanoia);
        std::fprintf(out_, "IBLOCKIP: %d\n", v.iblockip);
        std::fprintf(out_, "ITESTPARANOIA: %d\n", v.itestparanoia);
        std::fprintf(out_, "ITHRESHOLD: %d\n", v.ithreshold);
        if (v.irules) std::fprintf(out_, "IRULES: %s\n", v.irules->c_str());
        if (v.icustom) std::fprintf(out_, "ICUSTOM: %s\n", v.icustom->c_str());
        if (v.iexcludes) std::fprintf(out_, "IEXCLUDES: %s\n", v.iexcludes->c_str());
        if (v.icountries) std::fprintf(out_, "ICOUNTRIES: %s\n", v.icountries->c_str());
        if (v.iauditparts) std::fprintf(out_, "IAUDITPARTS: %s\n", v.iauditparts->c_str());
        if (v.idisabledrules) std::fprintf(out_, "IDISABLED: %s\n", v.idisabledrules->c_str());
        std::fprintf(out_, "IPCRELIMIT: %d\n", v.ipcrelimit);
    }

    void switches() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "TLIMIT: %d\n", v.tlimit);
        std::fprintf(out_, "TRANSPARENT: %d\n", v.istransparent);
        std::fprintf(out_, "SUBNETORIG: %d\n", v.subnetorig);
        std::fprintf(out_, "SERVERINIT: %d\n", v.isserveriniting);
        std::fprintf(out_, "STARTTLS: %d\n", v.starttls);
        std::fprintf(out_, "IDLETIME: %d\n", v.idletimeout);
        std::fprintf(out_, "CACHE: %d\n", v.cache);
        if (v.cache_percent) std::fprintf(out_, "CPERCENT: %d\n", v.cache_percent);
        std::fprintf(out_, "COMPRESS: %d\n", v.compress);
        std::fprintf(out_, "VERIFY: %d\n", v.urlverify);
        std::fprintf(out_, "USEFORSNAT: %d\n", v.useforsnat);
        std::fprintf(out_, "FORCEL7: %d\n", v.forcel7);
        std::fprintf(out_, "MULTICONNS: %d\n", v.multiconns);
        std::fprintf(out_, "CLIENTCERT: %d\n", v.client_cert);
        std::fprintf(out_, "SECHDRS: %d\n", v.sechdrs);
        std::fprintf(out_, "VERIFYBEARER: %d\n", v.verifybearer);
        if (v.bearercert) std::fprintf(out_, "BEARERCERT: %s\n", v.bearercert->c_str());
        if (v.bearertext) std::fprintf(out_, "BEARERTEXT: %s\n", v.bearertext->c_str());
        std::fprintf(out_, "ERRCODE: %d\n", v.errcode);
        if (v.errcode) std::fprintf(out_, "ERRORPAGE: %d\n", v.errorpage);
        if (!v.errurl.empty()) text_line("ERRURL: ", v.errurl.c_str());
    }

    void certificates_and_checks() {
        if (!cur_.sslaccel.empty()) default_certname(cur_);
        const bahd_config_t& v = cur_;
        if (!v.certfile.empty()) std::fprintf(out_, "CERTFILE: %s\n", v.certfile.c_str());
        if (!v.clientcertfile.empty())
            std::fprintf(out_, "CLIENTCFILE: %s\n", v.clientcertfile.c_str());
        if (v.verify_certs) std::fprintf(out_, "VERIFYCERTS: %s\n", v.verify_certs->c_str());
        if (!v.check_url.empty()) std::fprintf(out_, "CHECKURL: %s\n", v.check_url.c_str());
        if (!v.check_pattern.empty()) text_line("CHECKPAT: ", v.check_pattern.c_str());
        if (!v.check_host.empty()) std::fprintf(out_, "CHECKHOST: %s\n", v.check_host.c_str());
        if (!v.check_postdata.empty())
            std::fprintf(out_, "CHECKPOSTDATA: %s\n", v.check_postdata.c_str());
        if (!v.check_headers.empty())
            std::fprintf(out_, "CHECKHEADERS: %s\n", v.check_headers.c_str());
        std::fprintf(out_, "CHECKVERSION: %d\n", v.check_version);
        std::fprintf(out_, "CHECKMINLEN: %d\n", v.check_minlen);
        std::fprintf(out_, "USEGET: %d\n", v.useget);
        if (v.checker_type == "ldap" && !v.ldapendpoint.empty())
            std::fprintf(out_, "LDAPENDPOINT: %s\n", v.ldapendpoint.c_str());
    }

    void gateways_and_follow() {
        const bahd_config_t& v = cur_;
        if (!v.stdb_vip.empty()) std::fprintf(out_, "STDBYVIP: %s\n", v.stdb_vip.c_str());
        if (v.stdb_port) std::fprintf(out_, "STDBYPORT: %d\n", v.stdb_port);
        std::fprintf(out_, "REWRITE: %d\n", v.rewrite);
        if (!v.dfltgw.empty()) std::fprintf(out_, "DFLTGW: %s\n", v.dfltgw.c_str());
        if (!v.dfltgw2.empty()) std::fprintf(out_, "DFLTGW2: %s\n", v.dfltgw2.c_str());
        if (!v.mtype.empty()) std::fprintf(out_, "MTYPE: %s\n", v.mtype.c_str());
        resolve_follow(c_, cur_);
        std::fprintf(out_, "FOLLOWVSID: %d\n", v.followvsid);
        if (v.isslave == 0 && v.followvsid)
            if (const bahd_config_t* f = find_vip_id(m_, v.followvsid))
                std::fprintf(out_, "FOLLOWVS: %s\n", vs_ip_val(*f).c_str());
        std::fprintf(out_, "PROT: %s\n", v.proto.c_str());
        std::fprintf(out_, "LABEL: %s\n", f_.label().c_str());
    }

    void scheduling_and_headers() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "SCHED: %s\n", v.schedule.c_str());
        if (!v.checker_type.empty()) std::fprintf(out_, "CHECKER: %s\n", v.checker_type.c_str());
        if (!v.adaptive_method.empty())
            std::fprintf(out_, "ADAPT: %s\n", v.adaptive_method.c_str());
        if (!v.persist.empty()) std::fprintf(out_, "PERSIST: %s\n", v.persist.c_str());
        std::fprintf(out_, "PTIMEOUT: %d\n", v.timeout);
        if (!v.cookie_id.empty()) std::fprintf(out_, "COOKIE: %s\n", v.cookie_id.c_str());
        if (!v.query_tag.empty()) std::fprintf(out_, "QUERYTAG: %s\n", v.query_tag.c_str());
        if (!v.sslaccel.empty()) std::fprintf(out_, "SSLACCEL: %s\n", v.sslaccel.c_str());
        if (v.reversesni) std::fprintf(out_, "REVERSESNI: %s\n", v.reversesni->c_str());
        if (!v.add_hdr_key.empty()) std::fprintf(out_, "XTRHDRKEY: %s\n", v.add_hdr_key.c_str());
        if (!v.add_hdr_val.empty()) std::fprintf(out_, "XTRHDRVAL: %s\n", v.add_hdr_val.c_str());
        if (!v.copy_hdr_key.empty())
            std::fprintf(out_, "COPYHDRKEY: %s\n", v.copy_hdr_key.c_str());
        if (!v.copy_hdr_key.empty() && !v.copy_hdr_val.empty())
            std::fprintf(out_, "COPYHDRVAL: %s\n", v.copy_hdr_val.c_str());
        std::fprintf(out_, "CHKPORT: %d\n", v.chk_port);
        if (!v.localbinds.empty()) {
            std::fputs("LOCALBIND:", out_);
            for (const lm_addr& a : v.localbinds) std::fprintf(out_, " %s", lm_print_addr2(a).c_str());
            std::fputs("\n", out_);
        }
        if (v.ncheckcodes()) {
            std::fputs("CHKCODES:", out_);
            for (int code : v.checkcodes) std::fprintf(out_, " %d", code);
            std::fputs("\n", out_);
        }
    }

    void rule_lists() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "NRULES: %d\n", v.r.rules());
        rule_names("RULES:", v.r);
        std::fprintf(out_, "NREQUESTS: %d\n", v.requests.rules());
        rule_names("REQUESTS:", v.requests);
        std::fprintf(out_, "NRESPONSES: %d\n", v.responses.rules());
        rule_names("RESPONSES:", v.responses);
        std::fprintf(out_, "NMATCHBODY: %d\n", v.matchbody.rules());
        rule_names("MATCHBODY:", v.matchbody);
        std::fprintf(out_, "NPREPROCESS: %d\n", v.preprocess.rules());
        rule_names("PREPROCESS:", v.preprocess);
    }

    void esp() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "ENABLE_ESP: %d\n", v.enable_esp);
        if (!v.enable_esp) return;
        std::fprintf(out_, "ESPLOG: %d\n", v.esplog);
        std::fprintf(out_, "ESPPUBPRIV: %d\n", v.espdopubpriv);
        std::fprintf(out_, "ESPDISPASS: %d\n", v.espdodispass);
        std::fprintf(out_, "ESPPERMCOOKIE: %d\n", v.esppermcookie);
        if (v.espgroups) std::fprintf(out_, "ESPGROUPS: %s\n", v.espgroups->c_str());
        if (v.espgrsids) std::fprintf(out_, "ESPGRSIDS: %s\n", v.espgrsids->c_str());
        std::fprintf(out_, "ESPNESTED: %d\n", v.doespnested);
        std::fprintf(out_, "ESPMULTIDOMAIN: %d\n", v.doespmultidomain);
        if (v.espsteering) std::fprintf(out_, "ESPSTEERING: %s\n", v.espsteering->c_str());
        if (v.smtpallow) std::fprintf(out_, "SMTPALLOW: %s\n", v.smtpallow->c_str());
        if (v.domain && v.inauth) std::fprintf(out_, "DOMAIN: %s\n", v.domain->c_str());
        if (v.altdomains && v.inauth)
            std::fprintf(out_, "ALTDOMAINS: %s\n", v.altdomains->c_str());
        if (v.outconf && v.outauth == 3) std::fprintf(out_, "OUTCONF: %s\n", v.outconf->c_str());
        if (v.ssodir) std::fprintf(out_, "SSODIR: %s\n", v.ssodir->c_str());
        if (v.logoff) std::fprintf(out_, "LOGOFF: %s\n", v.logoff->c_str());
        if (v.ecplink) std::fprintf(out_, "ECPLINK: %s\n", v.ecplink->c_str());
        if (v.ecpmsg) std::fprintf(out_, "ECPMSG: %s\n", v.ecpmsg->c_str());
        std::fprintf(out_, "ECPEXPW: %d\n", v.ecpexpw);
        std::fprintf(out_, "ECPEXPWDAYS: %d\n", v.ecpexpwdays);
        std::fprintf(out_, "CAPTCHA: %d\n", v.captcha);
        if (v.captcha_pubkey)
            std::fprintf(out_, "CAPTCHAPUBKEY: %s\n", v.captcha_pubkey->c_str());
        if (v.captcha_url) std::fprintf(out_, "CAPTCHAURL: %s\n", v.captcha_url->c_str());
        if (v.captcha_privkey)
            std::fprintf(out_, "CAPTCHAPRIVKEY: %s\n", v.captcha_privkey->c_str());
        if (v.captcha_verify)
            std::fprintf(out_, "CAPTCHAVERIFY: %s\n", v.captcha_verify->c_str());
        if (v.hostallow) std::fprintf(out_, "HOSTALLOW: %s\n", v.hostallow->c_str());
        if (v.dirallow) std::fprintf(out_, "DIRALLOW: %s\n", v.dirallow->c_str());
        if (v.excludedir) std::fprintf(out_, "EXCLUDEDIR: %s\n", v.excludedir->c_str());
        if (v.serverfbapath)
            std::fprintf(out_, "SERVERFBAPATH: %s\n", v.serverfbapath->c_str());
        if (v.serverfba) std::fprintf(out_, "SERVERFBA: %s\n", v.serverfba->c_str());
        std::fprintf(out_, "SERVERFBAUNAMEONLY: %d\n", v.serverfbaunameonly);
        if (v.tokenserver) std::fprintf(out_, "TOKENSERVER: %s\n", v.tokenserver->c_str());
        if (v.addauthhdr) std::fprintf(out_, "ADDAUTHHDR: %s\n", v.addauthhdr->c_str());
    }

    void roles() {
        const bahd_config_t& v = cur_;
        std::fprintf(out_, "INAUTH: %d\n", v.inauth);
        std::fprintf(out_, "OUTAUTH: %d\n", v.outauth);
        std::fprintf(out_, "MASTER: %d\n", v.ismaster);
        std::fprintf(out_, "SLAVE: %d\n", v.isslave);
        if (v.ssomsg) text_line("SSOMSG: ", v.ssomsg->c_str());
        if (const rs_info_t* e = f_.subvs_entry()) {
            std::fprintf(out_, "WEIGHT: %d\n", e->weight);
            std::fprintf(out_, "LIMIT: %d\n", e->limit);
            std::fprintf(out_, "RATELIMIT: %d\n", e->ratelimit);
        }
    }

    void top_and_limits() {
        const bahd_config_t& v = cur_;
        const bahd_config_t& top = f_.top();
        std::fprintf(out_, "IS_TRANSPARENT: %d\n", calc_transparent(v, f_.ms, f_.typ));
        std::fprintf(out_, "SLAVE_ENCRYPT: %d\n", f_.slave_encrypt());
        std::fprintf(out_, "TOPPORT: %d\n", calc_port(top));
        std::fprintf(out_, "TOPPROT: %s\n", top.proto.c_str());
        std::fprintf(out_, "TOPVIP: %s\n", top.vip.c_str());
        std::fprintf(out_, "TOPNEXTRAPORTS: %d\n", top.nextraports());
        std::fprintf(out_, "ADDVIA: %d\n", v.add_via);
        std::fprintf(out_, "QOS: %d\n", v.qos);
        std::fprintf(out_, "TOPQOS: %d\n", top.qos);
        std::fprintf(out_, "TLSTYPE: %d\n", v.tlstype);
        std::fprintf(out_, "NEEDHNAME: %d\n", v.needhname);
        std::fprintf(out_, "NEEDCAC: %d\n", v.needcac);
        std::fprintf(out_, "HTTP2: %d\n", v.http2_support);
        std::fprintf(out_, "PASSCIPHER: %d\n", v.pass_cipher);
        std::fprintf(out_, "PASSSNI: %d\n", v.pass_sni);
        std::fprintf(out_, "CHKINTERVAL: %d\n", v.chk_interval);
        std::fprintf(out_, "CHKTIMEOUT: %d\n", v.chk_timeout);
        std::fprintf(out_, "CHKRETRYCOUNT: %d\n", v.chk_retrycount);
        std::fprintf(out_, "BANDWIDTH: %d\n", v.bandwidth);
        std::fprintf(out_, "CPSLIMIT: %d\n", v.cpslimit);
        std::fprintf(out_, "RPSLIMIT: %d\n", v.rpslimit);
        std::fprintf(out_, "CONNLIMIT: %d\n", v.connlimit);
        std::fprintf(out_, "REFRESHPERSIST: %d\n", v.refresh_persist);
        if (v.ismaster == 0) std::fprintf(out_, "EXTENDEDHEALTH: %d\n", v.extendedhealth);
        std::fprintf(out_, "NRSNEEDED: %d\n", v.nrsneeded);
    }

    void ciphers() {
        if (cur_.ciphers) std::fprintf(out_, "CIPHERS: %s\n", cur_.ciphers->c_str());
        resolve_cipherset(cur_);
        if (cur_.cipher_set) std::fprintf(out_, "CIPHERSET: %s\n", cur_.cipher_set->c_str());
        std::fprintf(out_, "HASRSFOLLOW: %d\n", f_.has_rs_follow());
        std::fprintf(out_, "NRS: %d\n", cur_.n_rs());
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
        std::fprintf(out_, "RSR%d: %s %d %d ", i, e.rip.c_str(), e.port, e.r.rules());
        for (const Rule_t* rule : entry_rules(cur_, e))
            std::fprintf(out_, "%s ", rule->rule_name.c_str());
        std::fputs("\n", out_);
    }

    void real_servers() {
        if (cur_.n_rs() == 0) needhealth_ = 1;
        for (int i = 0; i < cur_.n_rs(); ++i) {
            const rs_info_t& e = cur_.rsinfo[i];
            if (e.rip.empty()) continue;
            std::string name = display_name(e);
            std::fprintf(out_, "RS%d: %s %d %s %d %d %d %d %d %d %d %d %s\n", i, name.c_str(),
                         e.port, e.for_method_str.c_str(), e.weight, e.enabled, e.snat_port, e.id,
                         e.limit, e.ratelimit, e.critical, e.rsfollow, e.dns.c_str());
            rs_rules(i, e);
        }
    }

    void controller() {
        if (const auto text = controller_text(cur_.id))
            std::fprintf(out_, "CONTROLLER: %s\n", text->c_str());
    }

    Ctx& c_;
    const Model& m_;
    bahd_config_t& cur_;
    std::FILE* out_;
    FollowEnds& ends_;
    const DumpFacts f_;
    int needhealth_ = 0;
};

// The entry of the master that stands for a sub-VS: the first whose port
// holds the sub-VS's id. Its index plus 1 is the sub-VS number.
int subvs_index(const bahd_config_t& ms, const bahd_config_t& cur) {
    int i = 0;
    for (; i < ms.n_rs(); ++i)
        if (ms.rsinfo[i].port == cur.id) break;
    return i;
}

}  // namespace

DumpFacts::DumpFacts(const Model& m, const bahd_config_t& v)
    : cur(v), ms(v.isslave ? find_vip_id(m, v.isslave) : nullptr), typ(vip_character(v)),
      subvs_idx(ms ? subvs_index(*ms, v) : 0) {}

// A sub-VS whose master is missing gets the plain label: there is no master
// to number it against.
std::string DumpFacts::label() const {
    if (cur.isslave && ms)
        return format_text("subVS %d (Id:%d) of %s", subvs_idx + 1, cur.id,
                           vs_ip_val(*ms).c_str());
    return format_text("%s (Id:%d)", vs_ip_val(cur).c_str(), cur.id);
}

void resolve_follow(Ctx& c, bahd_config_t& cur) {
    if (!cur.follow) return;
    // With a current VS the search is silent, so err is never written.
    if (const bahd_config_t* f =
            find_vip_cur(c.m, &cur, cur.vip.c_str(), cur.proto.c_str(), cur.follow, c.err))
        cur.followvsid = f->id;
}

// An SSL VS without a named cipher set gets "Default", or its own custom set
// when it lists ciphers; the custom set is recorded on every run, and a
// failure to record it does not change what is printed.
void resolve_cipherset(bahd_config_t& cur) {
    if (cur.sslaccel.empty() || cur.cipher_set) return;
    if (!cur.ciphers) {
        cur.cipher_set = "Default";
        return;
    }
    cur.cipher_set = "Custom_" + std::to_string(cur.id);
    update_cipherset(cur.cipher_set->c_str(), cur.ciphers->c_str());
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
    std::string tmpname;
    chk_ext_ctrl(id, tmpname, 256);
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

void print_vs(Ctx& c, bahd_config_t& cur, FollowEnds& ends) { Dump(c, cur, ends).run(); }

}  // namespace lbsnap
