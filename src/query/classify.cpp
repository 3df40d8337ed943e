// Derived facts about a VS that the configuration file does not store.
#include "query/classify.h"

#include <cstring>
#include <string>

#include "lib/addrs.h"
#include "lib/settings.h"
#include "store/rule_list.h"

namespace lbsnap {

namespace {

// Persistence modes that never need HTTP processing. "src" is handled apart
// because it counts as non-HTTP only for the HTTP test.
// The value capacity the transparency setting is read with.
constexpr std::size_t kL7TransparentLen = 100;

const char* const nonhttp[] = {"rdp", "rdp-src", "rdp-sb", "rdp-sb-src", "sip", "ssl", nullptr};

bool is_tcp(const bahd_config_t& cur) { return cur.proto == tcp_string; }

bool needs_http(const bahd_config_t& cur) {
    if (cur.errcode || cur.cache || cur.compress || cur.urlverify) return true;
    if (uses_rules(cur)) return true;
    if (!cur.add_hdr_key.empty() && !cur.add_hdr_val.empty()) return true;
    if (!cur.copy_hdr_key.empty() && !cur.copy_hdr_val.empty()) return true;
    if (!cur.persist.empty() && non_http(cur.persist.c_str(), 1) == 0) return true;
    if (cur.enable_esp && (cur.esp->hostallow || cur.esp->dirallow || cur.esp->excludedir)) return true;
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
    if (lm_is_v6(cur.vip.c_str())) return kCharIpv6;
    if (!cur.vip2.empty() && lm_is_v6(cur.vip2.c_str())) return kCharIpv6;
    for (const rs_info_t& rs : cur.rsinfo)
        if (!rs.rip.empty() && lm_is_v6(rs.rip.c_str())) return kCharIpv6;
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
        if (cur.forcel7 || cur.extendedhealth) type = kCharLayer7;
        if (!cur.vip2.empty()) type |= kCharProxy | kCharLayer7;
        return type | hasv6(cur);
    }
    if (needs_http(cur)) type = kCharHttp;
    if (type || needs_proxy(cur)) type |= kCharProxy;
    if (type || cur.forcel7) type |= kCharLayer7;
    return type | hasv6(cur);
}

namespace {

// The answer of calc_transparent where the VS alone decides it, else -1
// (the setting L7_TRANSPARENT decides).
int transparent_by_vs(const bahd_config_t& cur, const bahd_config_t* ms, int typ) {
    if (!(typ & kCharLayer7)) return 0;
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
    return read_val("L7_TRANSPARENT", "no", kL7TransparentLen) == "no" ? 1 : 0;
}

int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ, int l7_off) {
    int by_vs = transparent_by_vs(cur, ms, typ);
    if (by_vs >= 0) return by_vs;
    return l7_off ? 2 : 0;
}

int calc_port(const bahd_config_t& cur) {
    // SSL offloaded from the HTTPS port: the service behind it is plain HTTP.
    constexpr int kHttpsPort = 443, kHttpPort = 80;
    if (!cur.sslaccel.empty() && cur.reencrypt == 0 && cur.port == kHttpsPort) return kHttpPort;
    return cur.port;
}

int subvs_index(const bahd_config_t& master, int subvs_id) {
    for (int i = 0; i < master.n_rs(); ++i)
        if (master.rsinfo[i].port == subvs_id) return i;
    return -1;
}

std::string pp_vip(const bahd_config_t& cur, bool vip2) {
    std::string out = printed_addr(cur.vip);
    out += ':';
    out += cur.port == kWildcardPort ? std::string("*") : std::to_string(cur.port);
    if (vip2 && !cur.vip2.empty()) {
        out += '+';
        out += printed_addr(cur.vip2);
    }
    return out;
}

std::string vs_ip_val(const bahd_config_t& cur) {
    lm_addr a{};
    if (!lm_cvtaddr(&a, cur.vip.c_str())) return "<invalid>";
    return cur.proto.str() + "/" + pp_vip(cur, false);
}

}  // namespace lbsnap
