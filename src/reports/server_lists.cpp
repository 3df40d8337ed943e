// The server lists: -A and -Y.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "lib/addrs.h"
#include "lib/format_text.h"
#include "lib/out_printf.h"
#include "query/lookup.h"
#include "reports/server_lists.h"

namespace lbsnap {

namespace {

// 2: every occurrence enabled, 1: some, 0: none.
int status_class(const rs_disp_entry& e) {
    if (e.ntotal == e.nok) return 2;
    return e.nok != 0 ? 1 : 0;
}

// The position of the first entry that rs matches (the same non-empty DNS
// name, or the same address text), or npos.
std::size_t first_match(const rs_disp_tab& tab, const rs_info_t& rs) {
    const std::size_t by_dns = rs.dns.empty() ? rs_disp_tab::npos : tab.find<RsDispKeys::dns>(rs.dns);
    return std::min(by_dns, tab.find<RsDispKeys::rip>(rs.rip));
}

// Entries with an empty rip are folded too: the server lists count every
// used entry, gaps included (they fold together under the empty address).
void fold_vs(const bahd_config_t& vs, const VsServerKeys* cur, rs_disp_tab& tab,
             const rs_disp_tab* exclude) {
    for (const rs_info_t& rs : vs.rsinfo) add_one_rs_list(rs, cur, tab, exclude);
}

}  // namespace

VsServerKeys::VsServerKeys(const bahd_config_t& vs) {
    for (const rs_info_t& rs : vs.rsinfo) {
        if (!rs.dns.empty()) dns_.insert(rs.dns.c_str());
        rip_.insert(rs.rip.c_str());
    }
}

bool VsServerKeys::matches(const rs_info_t& rs) const {
    return (!rs.dns.empty() && dns_.count(rs.dns.c_str())) || rip_.count(rs.rip.c_str());
}

void add_one_rs_list(const rs_info_t& rs, const VsServerKeys* cur, rs_disp_tab& tab,
                     const rs_disp_tab* exclude) {
    if (cur && cur->matches(rs)) return;
    if (exclude && first_match(*exclude, rs) != rs_disp_tab::npos) return;
    const std::size_t at = first_match(tab, rs);
    if (at == rs_disp_tab::npos) {
        tab.append(rs_disp_entry{rs.rip, rs.dns, 1, rs.enabled ? 1 : 0});
        return;
    }
    tab.update(at, [&rs](rs_disp_entry& e) {
        e.ntotal += 1;
        if (rs.enabled) e.nok += 1;
    });
}

void add_new_rslist(const bahd_config_t& cur, rs_disp_tab& tab) {
    fold_vs(cur, nullptr, tab, nullptr);
}

void sort_rs_tab(rs_disp_tab& tab, unsigned sorttype) {
    if (sorttype > 3) sorttype = 0;
    enum Kind : std::uint8_t { kByName, kV6, kV4, kNoAddress, kKinds };
    auto add_key = [sorttype](const rs_disp_entry& e, EntryOrder& order) {
        const int status = sorttype >= 2 ? status_class(e) : 0;
        const auto group = [status](Kind k) { return static_cast<std::uint8_t>(status * kKinds + k); };
        lm_addr a;
        if (!e.dns.empty())
            order.add(group(kByName));
        else if (lm_cvtaddr(&a, e.rip.c_str()))
            order.add(group(a.af == AF_INET6 ? kV6 : kV4), a);
        else
            order.add(group(kNoAddress));
    };
    tab.sort(
        add_key,
        [&tab](std::uint8_t group, std::size_t a, std::size_t b) {
            if (group % kKinds != kByName) return 0;
            return std::strcmp(tab[a].dns.c_str(), tab[b].dns.c_str());
        },
        sorttype % 2 == 1);
}

void print_rs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs) {
    const bool has_dns = !rs.dns.empty();
    out_printf(c.out, "<option value=\"%s\">", has_dns ? rs.dns.c_str() : rs.rip.c_str());
    if (!has_dns) {
        if (const char* name = hosts.name_of(rs.rip.c_str(), nullptr))
            out_printf(c.out, "%s %s</option>", rs.rip.c_str(), name);
    }
    out_printf(c.out, "\n");
}

std::string newrs_label(const HostMap& hosts, const rs_disp_entry& rs) {
    if (!rs.dns.empty()) return rs.dns.str();
    if (const char* name = hosts.name_of(rs.rip.c_str(), nullptr)) return format_text("%s %s", rs.rip.c_str(), name);
    return rs.rip.str();
}

void print_newrs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs) {
    const std::string label = newrs_label(hosts, rs);
    out_printf(c.out, "%s %d %d %s\n", rs.rip.c_str(), rs.ntotal, rs.nok, label.c_str());
}

void gen_add_rs_list(Ctx& c, const bahd_config_t& arg) {
    rs_disp_tab siblings, others;
    const VsServerKeys cur(arg);
    if (arg.isslave) {
        if (const bahd_config_t* master = find_vip_id(c.m, arg.isslave)) {
            for (const rs_info_t& entry : master->rsinfo) {
                const bahd_config_t* sub = find_vip_id(c.m, entry.port);
                if (sub && sub != &arg) fold_vs(*sub, &cur, siblings, nullptr);
            }
        }
    }
    for (const auto& vs : c.m.bahd) {
        if (!vs->ismaster && vs.get() != &arg) fold_vs(*vs, &cur, others, &siblings);
    }
    sort_rs_tab(siblings, 0);
    sort_rs_tab(others, 0);
    const HostMap hosts = HostMap::load();
    for (const rs_disp_entry& e : siblings.entries()) print_rs_tab_entry(c, hosts, e);
    for (const rs_disp_entry& e : others.entries()) print_rs_tab_entry(c, hosts, e);
}

void sort_realserverlist(rs_disp_tab& tab, const char* sortorder) {
    const unsigned sorttype = sortorder ? static_cast<unsigned>(std::atoi(sortorder)) & 0xffu : 0u;
    sort_rs_tab(tab, sorttype);
}

void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder) {
    sort_realserverlist(tab, sortorder);
    const HostMap hosts = HostMap::load();
    for (const rs_disp_entry& e : tab.entries()) print_newrs_tab_entry(c, hosts, e);
}

}  // namespace lbsnap
