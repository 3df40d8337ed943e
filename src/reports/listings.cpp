// The short listings: VS end points, default gateways per VS address and the
// global check parameters.
#include <cstdio>

#include "lib/addrs.h"
#include "lib/out_printf.h"
#include "reports/listings.h"

namespace lbsnap {

namespace {

// One line per VS address of the gateway's family: the gateway serves only
// addresses of its own family.
void gateway_lines(Ctx& c, const bahd_config_t& cur, const FixedText<64>& gw, lm_family_t want) {
    if (gw.empty() || lm_family(gw.c_str()) != want) return;
    if (lm_family(cur.vip.c_str()) == want)
        out_printf(c.out, "%s %s\n", cur.vip.c_str(), gw.c_str());
    if (!cur.vip2.empty() && lm_family(cur.vip2.c_str()) == want)
        out_printf(c.out, "%s %s\n", cur.vip2.c_str(), gw.c_str());
}

}  // namespace

bool is_ssl_endpoint(const bahd_config_t& cur) {
    return cur.proto == tcp_string && !cur.sslaccel.empty() && cur.reverse == 0;
}

void list_vs(Ctx& c, const bahd_config_t& cur, bool wantsslonly) {
    if (!wantsslonly) {
        out_printf(c.out, "%s/%s+%d\n", cur.proto.c_str(), cur.vip.c_str(), cur.port);
        return;
    }
    if (is_ssl_endpoint(cur))
        out_printf(c.out, "%s,%d\n", cur.vip.c_str(), cur.port);
}

void list_dflts(Ctx& c, const bahd_config_t& cur, bool wantv6) {
    lm_family_t want = wantv6 ? AF_INET6 : AF_INET;
    gateway_lines(c, cur, cur.dfltgw, want);
    gateway_lines(c, cur, cur.dfltgw2, want);
}

void print_checks(Ctx& c) {
    const Model& m = c.m;
    out_printf(c.out, "CINTERVAL: %d\n", m.chk_args.chk_interval);
    out_printf(c.out, "TIMEOUT: %d\n", m.chk_args.chk_timeout);
    out_printf(c.out, "RETRY: %d\n", m.chk_args.chk_retrycount);
    out_printf(c.out, "URL: %s\n", m.adapt_args.url.c_str());
    out_printf(c.out, "PORT: %d\n", m.adapt_args.http_port);
    out_printf(c.out, "AINTERVAL: %d\n", m.adapt_args.interval);
    out_printf(c.out, "CMINP: %d\n", m.adapt_args.ctrl_minp);
    out_printf(c.out, "SDN_AINTERVAL: %d\n", m.sdn_adapt_args.interval);
    out_printf(c.out, "SDN_NAVG: %d\n", m.sdn_adapt_args.navg);
    out_printf(c.out, "SDN_CMINP: %d\n", m.sdn_adapt_args.ctrl_minp);
}

}  // namespace lbsnap
