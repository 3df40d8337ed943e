// The lines of a VS section: its keys, and the real-server part in the
// option syntax of the IPVS administration tool.
#include <strings.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/normal_address.h"
#include "lib/config_int.h"
#include "store/diagnostics.h"
#include "store/key_table.h"
#include "store/reader.h"
#include "store/rules.h"

namespace lbsnap {
namespace {

constexpr int max_rs_tokens = 100;
constexpr int max_localbinds = 256;

struct VsLine {
    const Model& m;
    bahd_config_t& vs;
    char* value;  // in the line the reader split out; values are kept in place
};

using VsHandler = void (*)(const VsLine&);

template <auto F>
void vs_int(const VsLine& l) { l.vs.*F = config_int(l.value); }
template <auto F>
void vs_text(const VsLine& l) {
    note_cut(l.m.diag, l.value, l.vs.*F);
    (l.vs.*F).take(l.value);
}
template <auto F>
void vs_string(const VsLine& l) { (l.vs.*F).set_view(l.value); }
template <auto F, int content>
void vs_rules(const VsLine& l) { expand_rules(l.m, l.value, l.vs.*F, content); }

void vs_persist(const VsLine& l) {
    auto& p = l.vs.persist;
    p.take(l.value);
    if (strcasecmp(p.c_str(), "none") == 0)
        p.set_view("");
    else if (strcasecmp(p.c_str(), "srcaddr") == 0)
        p.set_view("src");
}

void vs_name(const VsLine& l) {
    if (strcasecmp(l.value, "null") != 0) l.vs.name.take(l.value);
}

void vs_range(const VsLine& l) {
    // Computed wide: a clamped port plus a clamped count must not overflow;
    // such ranges are out of port range and rejected by the list parser.
    long long first = l.vs.port + 1LL;
    long long last = static_cast<long long>(l.vs.port) + config_int(l.value);
    char text[48];
    std::snprintf(text, sizeof text, "%lld-%lld", first, last);
    if (!add_extraports(l.vs, text) && l.m.diag) l.m.diag->extraports_invalid(text, l.vs.extraports.size());
}

void vs_followvsid(const VsLine& l) {
    l.vs.followvsid = config_int(l.value);
    if (l.vs.followvsid != 0) l.vs.follow = 0;
}

void vs_master(const VsLine& l) {
    l.vs.ismaster = config_int(l.value);
    if (l.vs.ismaster != 0) l.vs.extendedhealth = 1;
}

void vs_extendedhealth(const VsLine& l) {
    if (l.vs.ismaster == 0) l.vs.extendedhealth = config_int(l.value);
}

void vs_checkcodes(const VsLine& l) {
    l.vs.checkcodes.clear();
    if (lm_check2codes(l.value, MAX_checkcodes, l.vs.checkcodes) != 0 && l.m.diag) l.m.diag->checkcodes_invalid(l.value);
}

using B = bahd_config_t;

const KeyTable<VsHandler>& vs_keys() {
    static const KeyTable<VsHandler> t{
        {"VID:", vs_int<&B::id>},
        {"CHECKER_TYPE:", vs_text<&B::checker_type>},
        {"ADAPTIVE_METHOD:", vs_text<&B::adaptive_method>},
        {"VIP:", vs_text<&B::vip>},
        {"ALTVIP:", vs_text<&B::vip2>},
        {"PERSIST:", vs_persist},
        {"NAME:", vs_name},
        {"COOKIE:", vs_text<&B::cookie_id>},
        {"QUERYTAG:", vs_text<&B::query_tag>},
        {"PROTO:", vs_text<&B::proto>},
        {"PORT:", vs_int<&B::port>},
        {"ENABLE:", vs_int<&B::enabled>},
        {"REVERSE:", vs_int<&B::reverse>},
        {"REENCRYPT:", vs_int<&B::reencrypt>},
        {"INTERCEPT:", vs_int<&B::intercept>},
        {"INTERCEPTOPTS:", vs_int<&B::interceptopts>},
        {"MAXINCIDENTS:", vs_int<&B::maxincidents>},
        {"INTERCEPTRULES:", vs_string<&B::interceptrules>},
        {"INTERCEPTRULESDIS:", vs_string<&B::interceptrulesdis>},
        {"INTERCEPTPOSTCTYPES:", vs_string<&B::interceptpostctypes>},
        {"IOPTS:", vs_int<&B::iopts>},
        {"IPARANOIA:", vs_int<&B::iparanoia>},
        {"ITESTPARANOIA:", vs_int<&B::itestparanoia>},
        {"ITHRESHOLD:", vs_int<&B::ithreshold>},
        {"IEXCLUDES:", vs_string<&B::iexcludes>},
        {"IRULES:", vs_string<&B::irules>},
        {"ICUSTOM:", vs_string<&B::icustom>},
        {"ICOUNTRIES:", vs_string<&B::icountries>},
        {"IBLOCKIP:", vs_int<&B::iblockip>},
        {"IAUDITPARTS:", vs_string<&B::iauditparts>},
        {"IDISABLED:", vs_string<&B::idisabledrules>},
        {"IPCRELIMIT:", vs_int<&B::ipcrelimit>},
        {"IPOSTCTYPES:", vs_string<&B::ipostctypes>},
        {"RANGE:", vs_range},
        {"EXTRAPORTS:", [](const VsLine& l) {
             if (!add_extraports(l.vs, l.value) && l.m.diag)
                 l.m.diag->extraports_invalid(l.value, l.vs.extraports.size());
         }},
        {"FOLLOW:", vs_int<&B::follow>},
        {"FOLLOWVSID:", vs_followvsid},
        {"TLIMIT:", vs_int<&B::tlimit>},
        {"TRANSPARENT:", vs_int<&B::istransparent>},
        {"SUBNETORIG:", vs_int<&B::subnetorig>},
        {"SERVERINIT:", vs_int<&B::isserveriniting>},
        {"STARTTLS:", vs_int<&B::starttls>},
        {"IDLETIME:", vs_int<&B::idletimeout>},
        {"CACHE:", vs_int<&B::cache>},
        {"ADDVIA:", vs_int<&B::add_via>},
        {"QOS:", vs_int<&B::qos>},
        {"CPERCENT:", vs_int<&B::cache_percent>},
        {"COMPRESS:", vs_int<&B::compress>},
        {"VERIFY:", vs_int<&B::urlverify>},
        {"USEFORSNAT:", vs_int<&B::useforsnat>},
        {"FORCEL7:", vs_int<&B::forcel7>},
        {"MULTICONNS:", vs_int<&B::multiconns>},
        {"SSLACCEL:", vs_text<&B::sslaccel>},
        {"ERRCODE:", vs_int<&B::errcode>},
        {"ERRURL:", vs_text<&B::errurl>},
        {"CHECKURL:", vs_text<&B::check_url>},
        {"CHECKPAT:", vs_text<&B::check_pattern>},
        {"CHECKHOST:", vs_text<&B::check_host>},
        {"CHECKPOSTDATA:", vs_text<&B::check_postdata>},
        {"CHECKHEADERS:", vs_text<&B::check_headers>},
        {"CHECKVERSION:", vs_int<&B::check_version>},
        {"CHECKMINLEN:", vs_int<&B::check_minlen>},
        {"RULES:", vs_rules<&B::r, 1>},
        {"PREPROCESS:", vs_rules<&B::preprocess, 1>},
        {"HOSTALLOW:", vs_string<&B::hostallow>},
        {"DIRALLOW:", vs_string<&B::dirallow>},
        {"EXCLUDEDIR:", vs_string<&B::excludedir>},
        {"SMTPALLOW:", vs_string<&B::smtpallow>},
        {"DOMAIN:", vs_string<&B::domain>},
        {"ALTDOMAINS:", vs_string<&B::altdomains>},
        {"OUTCONF:", vs_string<&B::outconf>},
        {"SSODIR:", vs_string<&B::ssodir>},
        {"LOGOFF:", vs_string<&B::logoff>},
        {"SSOMSG:", vs_string<&B::ssomsg>},
        {"ECPLINK:", vs_string<&B::ecplink>},
        {"ECPMSG:", vs_string<&B::ecpmsg>},
        {"ECPEXPW:", vs_int<&B::ecpexpw>},
        {"ECPEXPWDAYS:", vs_int<&B::ecpexpwdays>},
        {"CAPTCHA:", vs_int<&B::captcha>},
        {"CAPTCHAPUBKEY:", vs_string<&B::captcha_pubkey>},
        {"CAPTCHAURL:", vs_string<&B::captcha_url>},
        {"CAPTCHAPRIVKEY:", vs_string<&B::captcha_privkey>},
        {"CAPTCHAVERIFY:", vs_string<&B::captcha_verify>},
        {"ESPLOG:", vs_int<&B::esplog>},
        {"ESPPUBPRIV:", vs_int<&B::espdopubpriv>},
        {"ESPDISPASS:", vs_int<&B::espdodispass>},
        {"ESPPERMCOOKIE:", vs_int<&B::esppermcookie>},
        {"REQUESTS:", vs_rules<&B::requests, 0>},
        {"RESPONSES:", vs_rules<&B::responses, 0>},
        {"MATCHBODY:", vs_rules<&B::matchbody, 0>},
        {"STDBYVIP:", vs_text<&B::stdb_vip>},
        {"DFLTGW:", vs_text<&B::dfltgw>},
        {"DFLTGW2:", vs_text<&B::dfltgw2>},
        {"MTYPE:", vs_text<&B::mtype>},
        {"STDBYPORT:", vs_int<&B::stdb_port>},
        {"REWRITE:", vs_int<&B::rewrite>},
        {"USEGET:", vs_int<&B::useget>},
        {"XTRHDRKEY:", vs_text<&B::add_hdr_key>},
        {"XTRHDRVAL:", vs_text<&B::add_hdr_val>},
        {"COPYHDRKEY:", vs_text<&B::copy_hdr_key>},
        {"COPYHDRVAL:", vs_text<&B::copy_hdr_val>},
        {"LOCALBIND:", [](const VsLine& l) { add_localbinds(l.vs, l.value); }},
        {"CLIENTCERT:", vs_int<&B::client_cert>},
        {"CHKPORT:", vs_int<&B::chk_port>},
        {"CHKCODES:", vs_checkcodes},
        {"CERTFILE:", vs_text<&B::certfile>},
        {"CLIENTCFILE:", vs_text<&B::clientcertfile>},
        {"ERRORPAGE:", vs_int<&B::errorpage>},
        {"MASTER:", vs_master},
        {"SLAVE:", vs_int<&B::isslave>},
        {"ESP:", vs_int<&B::enable_esp>},
        {"INAUTH:", vs_int<&B::inauth>},
        {"OUTAUTH:", vs_int<&B::outauth>},
        {"TLSTYPE:", vs_int<&B::tlstype>},
        {"NEEDHNAME:", vs_int<&B::needhname>},
        {"NEEDCAC:", vs_int<&B::needcac>},
        {"HTTP2:", vs_int<&B::http2_support>},
        {"EXTENDEDHEALTH:", vs_extendedhealth},
        {"NRSNEEDED:", vs_int<&B::nrsneeded>},
        {"CIPHERS:", vs_string<&B::ciphers>},
        {"CIPHERSET:", vs_string<&B::cipher_set>},
        {"ESPGROUPS:", vs_string<&B::espgroups>},
        {"ESPGRSIDS:", vs_string<&B::espgrsids>},
        {"ESPNESTED:", vs_int<&B::doespnested>},
        {"ESPMULTIDOMAIN:", vs_int<&B::doespmultidomain>},
        {"SECHDRS:", vs_int<&B::sechdrs>},
        {"VERIFYBEARER:", vs_int<&B::verifybearer>},
        {"BEARERCERT:", vs_string<&B::bearercert>},
        {"BEARERTEXT:", vs_string<&B::bearertext>},
        {"ESPSTEERING:", vs_string<&B::espsteering>},
        {"REVERSESNI:", vs_string<&B::reversesni>},
        {"LDAPENDPOINT:", vs_text<&B::ldapendpoint>},
        {"SERVERFBAPATH:", vs_string<&B::serverfbapath>},
        {"SERVERFBA:", vs_string<&B::serverfba>},
        {"SERVERFBAUNAMEONLY:", vs_int<&B::serverfbaunameonly>},
        {"TOKENSERVER:", vs_string<&B::tokenserver>},
        {"ADDAUTHHDR:", vs_string<&B::addauthhdr>},
        {"VERIFYCERTS:", vs_string<&B::verify_certs>},
        {"PASSCIPHER:", vs_int<&B::pass_cipher>},
        {"PASSSNI:", vs_int<&B::pass_sni>},
        {"CHKINTERVAL:", vs_int<&B::chk_interval>},
        {"CHKTIMEOUT:", vs_int<&B::chk_timeout>},
        {"CHKRETRYCOUNT:", vs_int<&B::chk_retrycount>},
        {"BANDWIDTH:", vs_int<&B::bandwidth>},
        {"CPSLIMIT:", vs_int<&B::cpslimit>},
        {"RPSLIMIT:", vs_int<&B::rpslimit>},
        {"CONNLIMIT:", vs_int<&B::connlimit>},
        {"REFRESHPERSIST:", vs_int<&B::refresh_persist>},
    };
    return t;
}

// The next blank-separated token at p, split off in place (its blank
// becomes its NUL), or null at the end; p moves past it. A run of blanks
// separates once; tabs are part of tokens.
char* next_blank_token(char*& p) {
    while (*p == ' ') ++p;
    if (!*p) return nullptr;
    char* start = p;
    while (*p && *p != ' ') ++p;
    if (*p) *p++ = '\0';
    return start;
}

// The entry's address as validate_ip normalises it. The text mostly is in
// that form already at the start of the token, before its port: then the
// field points into the line, else into the reader's arena. An invalid
// address is told on err, if given.
bool set_rip(Model& m, rs_info_t& e, lm_addr& addr, char* v, std::FILE* err) {
    AddrText buf;
    int port = 0;
    auto ip = normal_address(v, &port, buf, &addr);
    if (!ip) {
        if (err) std::fprintf(err, "Invalid IP spec: '%s'\n", v);
        return false;
    }
    e.port = port;
    if (ip->data() == v) {
        e.rip.take(v);  // a sub-VS reference, as written
        return true;
    }
    std::size_t n = ip->size();
    if (std::strncmp(v, ip->data(), n) == 0 && (v[n] == ':' || v[n] == '+' || v[n] == '\0')) {
        v[n] = '\0';
        e.rip.set_view(v);
    } else {
        e.rip.set_view(m.arena.keep(*ip));
    }
    return true;
}

// Real-server options. Integers are read as atoi would (clamped like every
// other configuration integer).
enum class RsValue { none, needed };

struct RsOption {
    RsValue value;
    void (*apply)(const Model&, bahd_config_t&, rs_info_t&, char*);
};

// The option letters, indexed by the letter itself.
class RsOptionTable {
public:
    RsOptionTable(std::initializer_list<std::pair<char, RsOption>> rows) {
        for (const auto& [letter, o] : rows) by_letter_[static_cast<unsigned char>(letter)] = o;
    }
    const RsOption* find(char letter) const {
        const RsOption& o = by_letter_[static_cast<unsigned char>(letter)];
        return o.apply ? &o : nullptr;
    }

private:
    RsOption by_letter_[UCHAR_MAX + 1] = {};
};

template <auto F>
void rs_int(const Model&, bahd_config_t&, rs_info_t& e, char* v) { e.*F = config_int(v); }

template <char Letter>
void rs_method(const Model&, bahd_config_t&, rs_info_t& e, char*) {
    e.for_method = Letter;
}

// The options are recognised by their second character alone.
const RsOption* rs_option(char letter) {
    using R = rs_info_t;
    using E = const Model&;
    using VS = bahd_config_t&;
    static const RsOptionTable options{
        {'w', {RsValue::needed, rs_int<&R::weight>}},
        {'l', {RsValue::needed, rs_int<&R::limit>}},
        {'R', {RsValue::needed, rs_int<&R::ratelimit>}},
        {'c', {RsValue::needed, rs_int<&R::critical>}},
        {'f', {RsValue::needed, rs_int<&R::rsfollow>}},
        {'S', {RsValue::needed, rs_int<&R::snat_port>}},
        {'I', {RsValue::needed, rs_int<&R::id>}},
        {'d', {RsValue::needed, [](E m, VS, R& e, char* v) {
                   note_cut(m.diag, v, e.dns, "-d");
                   e.dns.take(v);
               }}},
        {'y', {RsValue::needed, [](E m, VS, R& e, char* v) { expand_rules(m, v, e.r, 1); }}},
        {'g', {RsValue::none, rs_method<'g'>}},
        {'i', {RsValue::none, rs_method<'i'>}},
        {'m', {RsValue::none, rs_method<'m'>}},
        {'s', {RsValue::needed, [](E m, VS vs, R&, char* v) {
                   note_cut(m.diag, v, vs.schedule, "-s");
                   vs.schedule.take(v);
               }}},
        {'p', {RsValue::needed, [](E, VS vs, R&, char* v) { vs.timeout = config_int(v); }}},
        {'M', {RsValue::needed, [](E, VS, R&, char*) {}}},
    };
    return options.find(letter);
}

}  // namespace

bool add_vs_line(Model& m, char* line, bahd_config_t& vs, int& state, RsPending& pending,
                 std::FILE* err) {
    if (state != 0) {
        if (find_key("<END>", line)) {
            state = 0;
        } else {
            if (!add_ipvs_info(m, line, vs, pending, err)) return false;
        }
        return true;
    }
    if (find_key("<IPVSADM>", line)) {
        state = 1;
        return true;
    }
    char* value = nullptr;
    if (auto* h = vs_keys().find(line, &value)) (*h)(VsLine{m, vs, value});
    else if (m.diag) m.diag->unknown_key("a VS section");
    return true;
}

namespace {

// The options of one real-server line, all written into the one pending
// entry; each "-r" counts one more used entry, so a second "-r" on a line
// leaves an empty entry behind the line's own. The number of entries the
// line adds, or nullopt when an invalid address stops the load.
std::optional<int> apply_rs_options(Model& m, bahd_config_t& vs, RsPending& pending,
                                    char* const* tok, std::size_t ntok, int enabled,
                                    std::FILE* err) {
    // The sink is looked at only where the line is not taken as written.
    Diagnostics* const& diag = m.diag;
    rs_info_t& e = pending.entry;
    int added = 0;
    for (std::size_t i = 0; i < ntok; ++i) {
        const char* t = tok[i];
        if (t[0] != '-' || t[1] == '\0') continue;
        bool has_value = i + 1 < ntok;
        const bool is_rip = t[1] == 'r';
        const RsOption* o = is_rip ? nullptr : rs_option(t[1]);
        if (!is_rip && !o) {
            if (diag) [[unlikely]] diag->rs_option_unknown(t);
            continue;
        }
        const bool needs_value = is_rip || o->value == RsValue::needed;
        if (needs_value && !has_value) {
            if (diag) [[unlikely]] diag->rs_option_without_value(t);
            continue;
        }
        if (!is_rip) {
            o->apply(m, vs, e, needs_value ? tok[++i] : nullptr);
            continue;
        }
        // A check reports the address and reads on; the reports stop.
        if (char* v = tok[++i]; !set_rip(m, e, pending.addr, v, diag ? nullptr : err)) {
            if (!diag) [[likely]] return std::nullopt;
            diag->rs_address_invalid(v);
            continue;
        }
        e.enabled = enabled;
        if (vs.n_rs() + added < MAX_rs_data) ++added;
    }
    return added;
}

// The pending entry joins the VS, with `added - 1` empty entries behind it.
void commit_pending(bahd_config_t& vs, RsPending& pending, int added) {
    vs.rsinfo.push_back(std::move(pending.entry));
    vs.rsinfo.resize(vs.rsinfo.size() + added - 1);
    pending.addrs.push_back(pending.addr);
    pending.addrs.resize(vs.rsinfo.size());
    pending.entry = rs_info_t{};
    pending.addr = lm_addr{};
}

}  // namespace

bool add_ipvs_info(Model& m, char* line, bahd_config_t& vs, RsPending& pending, std::FILE* err) {
    // Excess tokens beyond the hundredth are ignored.
    char* tok[max_rs_tokens];
    std::size_t ntok = 0;
    for (char* p = line; ntok < max_rs_tokens && (tok[ntok] = next_blank_token(p));) ++ntok;
    if (ntok == 0) return true;
    int enabled;
    if (tok[0][0] == '!')
        enabled = 0;
    else if (tok[0][0] == '-')
        enabled = 1;
    else {
        if (m.diag) [[unlikely]] m.diag->rs_line_ignored();
        return true;
    }
    // With the table full, further lines are ignored whole.
    if (vs.n_rs() >= MAX_rs_data) {
        if (m.diag) [[unlikely]] m.diag->rs_table_full();
        return true;
    }
    const std::optional<int> added = apply_rs_options(m, vs, pending, tok, ntok, enabled, err);
    if (!added) return false;
    if (*added > 0) commit_pending(vs, pending, *added);
    return true;
}

void add_localbinds(bahd_config_t& vs, char* text) {
    std::vector<lm_addr> binds;
    char* p = text;
    while (binds.size() < max_localbinds) {  // the excess is ignored
        const char* t = next_blank_token(p);
        if (!t) break;
        lm_addr a{};
        if (lm_cvtaddr(&a, t)) binds.push_back(a);
    }
    if (!binds.empty()) vs.localbinds = std::move(binds);
}

bool add_extraports(bahd_config_t& vs, const char* text) {
    vs.extraports.clear();
    return lm_extraports(text, 0, MAX_extraports, vs.extraports) != 0;
}

}  // namespace lbsnap
