// Derived facts about a VS that the configuration file does not store.
#include "classify.h"

#include <cstring>
#include <string>

#include "addrs.h"
#include "cfglib.h"

namespace lbsnap {

namespace {

// Persistence modes that never need HTTP processing. "src" is handled apart
// because it counts as non-HTTP only for the HTTP test.
const char* const nonhttp[] = {"rdp", "rdp-src", "rdp-sb", "rdp-sb-src", "sip", "ssl", nullptr};

bool is_tcp(const bahd_config_t& cur) { return cur.proto == tcp_string; }

bool any_rules(const bahd_config_t& cur) {
    return cur.r.rules() != 0 || cur.preprocess.rules() != 0 || cur.requests.rules() != 0 ||
           cur.responses.rules() != 0 || cur.matchbody.rules() != 0;
}

bool needs_http(const bahd_config_t& cur) {
    if (cur.errcode || cur.cache || cur.compress || cur.urlverify) return true;
    if (any_rules(cur)) return true;
    if (!cur.add_hdr_key.empty() && !cur.add_hdr_val.empty()) return true;
    if (!cur.copy_hdr_key.empty() && !cur.copy_hdr_val.empty()) return true;
    if (!cur.persist.empty() && non_http(cur.persist.c_str(), 1) == 0) return true;
    if (cur.enable_esp && (cur.hostallow || cur.dirallow || cur.excludedir)) return true;
    if (cur.enable_esp && (cur.inauth || cur.outauth)) return true;
    return cur.add_via || cur.intercept || cur.http2_support;
}

bool needs_proxy(const bahd_config_t& cur) {
    return cur.nextraports() != 0 || !cur.vip2.empty() || !cur.sslaccel.empty() ||
           non_http(cur.persist.c_str(), 0) == 1 || cur.bandwidth || cur.rpslimit ||
           cur.cpslimit || cur.connlimit || cur.ismaster || cur.isslave ||
           cur.extendedhealth || !cur.localbinds.empty() || mixedfamily(cur) == 1;
}

// An address that does not convert is shown as stored: the reader only
// admits VSs whose addresses convert, so this is a fallback, not a format.
std::string printed_addr(const FixedText<64>& text) {
    lm_addr a{};
    if (!lm_cvtaddr(&a, text.c_str())) return text.str();
    return lm_print_addr(a);
}

}  // namespace

int non_http(const char* per, int src) {
    for (const char* const* w = nonhttp; *w; ++w)
        if (std::strcmp(per, *w) == 0) return 1;
    return (src && std::strcmp(per, "src") == 0) ? 1 : 0;
}

int hasv6(const bahd_config_t& cur) {
    if (lm_family(cur.vip.c_str()) == AF_INET6) return 8;
    if (!cur.vip2.empty() && lm_family(cur.vip2.c_str()) == AF_INET6) return 8;
    for (const rs_info_t& rs : cur.rsinfo)
        if (!rs.rip.empty() && lm_family(rs.rip.c_str()) == AF_INET6) return 8;
    return 0;
}

int mixedfamily(const bahd_config_t& cur) {
    lm_family_t fam = lm_family(cur.vip.c_str());
    for (const rs_info_t& rs : cur.rsinfo)
        if (!rs.rip.empty() && lm_family(rs.rip.c_str()) != fam) return 1;
    return 0;
}

int vip_character(const bahd_config_t& cur) {
    int type = 0;
    if (!is_tcp(cur)) {
        if (cur.forcel7 || cur.extendedhealth) type = 4;
        if (!cur.vip2.empty()) type |= 6;
        return type | hasv6(cur);
    }
    if (needs_http(cur)) type = 1;
    if (type || needs_proxy(cur)) type |= 2;
    if (type || cur.forcel7) type |= 4;
    return type | hasv6(cur);
}

namespace {

// The answer of calc_transparent where the VS alone decides it, else -1
// (the setting L7_TRANSPARENT decides).
int transparent_by_vs(const bahd_config_t& cur, const bahd_config_t* ms, int typ) {
    if (!(typ & 4)) return 0;
    if (ms) {
        if (!ms->sslaccel.empty() && ms->reencrypt) return 1;
    } else {
        if (!cur.sslaccel.empty() && cur.reencrypt) return 1;
        if (cur.ismaster) return 0;
    }
    if (!cur.localbinds.empty()) return 1;
    return -1;
}

}  // namespace

int l7_transparent_off() {
    std::string val;
    CFGARGLEN = 100;
    READVAL(val, "L7_TRANSPARENT", "no");
    return val == "no" ? 1 : 0;
}

int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ) {
    int by_vs = transparent_by_vs(cur, ms, typ);
    if (by_vs >= 0) return by_vs;
    return l7_transparent_off() ? 2 : 0;
}

int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ, int l7_off) {
    int by_vs = transparent_by_vs(cur, ms, typ);
    if (by_vs >= 0) return by_vs;
    return l7_off ? 2 : 0;
}

int calc_port(const bahd_config_t& cur) {
    if (!cur.sslaccel.empty() && cur.reencrypt == 0 && cur.port == 443) return 80;
    return cur.port;
}

std::string pp_vip(const bahd_config_t& cur, int vip2) {
    std::string out = printed_addr(cur.vip);
    out += ':';
    out += cur.port == 2 ? std::string("*") : std::to_string(cur.port);
    if (vip2 && !cur.vip2.empty()) {
        out += '+';
        out += printed_addr(cur.vip2);
    }
    return out;
}

std::string vs_ip_val(const bahd_config_t& cur) {
    lm_addr a{};
    if (!lm_cvtaddr(&a, cur.vip.c_str())) return "<invalid>";
    return cur.proto.str() + "/" + pp_vip(cur, 0);
}

}  // namespace lbsnap
