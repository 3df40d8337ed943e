// Argument strings of the iptables source-NAT rules (-N).
#include <sys/socket.h>

#include "lib/addrs.h"
#include "lib/out_printf.h"
#include "query/lookup.h"
#include "reports/realservers.h"
#include "reports/snat.h"

namespace lbsnap {

namespace {


bool served_family(const Ctx& c, const char* addr) {
    return lm_family(addr) == (c.opt.ipv6flag ? AF_INET6 : AF_INET);
}

}  // namespace

void print_snat_iptables(Ctx& c, const RsNameTable& names, const bahd_config_t& cur,
                         const bahd_config_t& rscur) {
    for (const rs_info_t& rs : rscur.rsinfo) {
        if (rs.rip.empty() || !rs.enabled) continue;
        if (!served_family(c, rs.rip.c_str())) continue;
        // The same source under one protocol needs the port to tell its VSs
        // apart, unless the VS takes every port and the server has no own.
        if (names.has_dup(rs.rip.c_str(), cur.proto.c_str()) > 0 &&
            (rs.snat_port || cur.port != kWildcardPort)) {
            out_printf(c.out, "-p %s --src %s --to-source %s --dport %d\n", cur.proto.c_str(),
                         rs.rip.c_str(), cur.vip.c_str(), rs.snat_port ? rs.snat_port : cur.port);
        } else {
            out_printf(c.out, "-p %s --src %s --to-source %s\n", cur.proto.c_str(),
                         rs.rip.c_str(), cur.vip.c_str());
        }
    }
}

void gen_snat(Ctx& c, const RsNameTable& names, const bahd_config_t& cur) {
    if (!cur.useforsnat) return;
    if (!served_family(c, cur.vip.c_str())) return;
    if (cur.isslave) return;  // served through its master
    if (!cur.ismaster) {
        print_snat_iptables(c, names, cur, cur);
        return;
    }
    for (const rs_info_t& ref : cur.rsinfo) {
        if (const bahd_config_t* sub = find_vip_id(c.m, ref.port))
            print_snat_iptables(c, names, cur, *sub);
    }
}

}  // namespace lbsnap
