// The server lists: -A and -Y.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "lib/addrs.h"
#include "lib/format_text.h"
#include "query/lookup.h"
#include "reports/entry_order.h"
#include "reports/server_lists.h"

namespace lbsnap {

namespace {

// 2: every occurrence enabled, 1: some, 0: none.
int status_class(const rs_disp_entry& e) {
    if (e.ntotal == e.nok) return 2;
    return e.nok != 0 ? 1 : 0;
}

// Entries with an empty rip are folded too: the server lists count every
// used entry, gaps included (they fold together under the empty address).
void fold_vs(const bahd_config_t& vs, const VsServerKeys* cur, rs_disp_tab& tab,
             const rs_disp_tab* exclude) {
    for (const rs_info_t& rs : vs.rsinfo) add_one_rs_list(rs, cur, tab, exclude);
}

}  // namespace

long rs_disp_tab::find(const rs_info_t& rs) const {
    auto dns_of = [this](std::size_t i) { return dns_at(i); };
    auto rip_of = [this](std::size_t i) { return rip_at(i); };
    if (stale_) {
        for (std::size_t i = 0; i < data.size(); ++i) {
            if (!data[i].dns.empty()) by_dns_.add(i, dns_of);
            by_rip_.add(i, rip_of);
        }
        stale_ = false;
    }
    auto any = [](std::size_t) { return true; };
    const std::size_t by_dns = rs.dns.empty() ? TextIndex::npos : by_dns_.find(rs.dns, dns_of, any);
    const std::size_t first = std::min(by_dns, by_rip_.find(rs.rip, rip_of, any));
    return first == TextIndex::npos ? -1 : static_cast<long>(first);
}

void rs_disp_tab::append(const rs_info_t& rs) {
    data.push_back(rs_disp_entry{rs.rip, rs.dns, 1, rs.enabled ? 1 : 0});
    const std::size_t at = data.size() - 1;
    if (!rs.dns.empty()) by_dns_.add(at, [this](std::size_t i) { return dns_at(i); });
    by_rip_.add(at, [this](std::size_t i) { return rip_at(i); });
}

void rs_disp_tab::reindex() {
    by_dns_.clear();
    by_rip_.clear();
    stale_ = true;
}

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
    if (exclude && exclude->find(rs) >= 0) return;
    const long at = tab.find(rs);
    if (at < 0) {
        tab.append(rs);
        return;
    }
    rs_disp_entry& e = tab.data[at];
    e.ntotal += 1;
    if (rs.enabled) e.nok += 1;
}

void add_new_rslist(const bahd_config_t& cur, rs_disp_tab& tab) {
    fold_vs(cur, nullptr, tab, nullptr);
}

void sort_rs_tab(rs_disp_tab& tab, unsigned sorttype) {
    if (sorttype > 3) sorttype = 0;
    // The indexes are rebuilt when next asked: freed first, they do not add
    // to the sort's peak.
    tab.reindex();
    enum Kind : std::uint8_t { kByName, kV6, kV4, kNoAddress, kKinds };
    EntryOrder order(tab.data.size());
    for (const rs_disp_entry& e : tab.data) {
        const int status = sorttype >= 2 ? status_class(e) : 0;
        const auto group = [status](Kind k) { return static_cast<std::uint8_t>(status * kKinds + k); };
        lm_addr a;
        if (!e.dns.empty())
            order.add(group(kByName));
        else if (lm_cvtaddr(&a, e.rip.c_str()))
            order.add(group(a.af == AF_INET6 ? kV6 : kV4), a);
        else
            order.add(group(kNoAddress));
    }
    order.sort(
        tab.data,
        [&tab](std::uint8_t group, std::size_t a, std::size_t b) {
            if (group % kKinds != kByName) return 0;
            return std::strcmp(tab.data[a].dns.c_str(), tab.data[b].dns.c_str());
        },
        sorttype % 2 == 1);
}

void print_rs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs) {
    const bool has_dns = !rs.dns.empty();
    std::fprintf(c.out, "<option value=\"%s\">", has_dns ? rs.dns.c_str() : rs.rip.c_str());
    if (!has_dns) {
        if (const char* name = hosts.name_of(rs.rip.c_str(), nullptr))
            std::fprintf(c.out, "%s %s</option>", rs.rip.c_str(), name);
    }
    std::fprintf(c.out, "\n");
}

std::string newrs_label(const HostMap& hosts, const rs_disp_entry& rs) {
    if (!rs.dns.empty()) return rs.dns.str();
    if (const char* name = hosts.name_of(rs.rip.c_str(), nullptr)) return format_text("%s %s", rs.rip.c_str(), name);
    return rs.rip.str();
}

void print_newrs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs) {
    const std::string label = newrs_label(hosts, rs);
    std::fprintf(c.out, "%s %d %d %s\n", rs.rip.c_str(), rs.ntotal, rs.nok, label.c_str());
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
    for (rs_disp_tab* tab : {&siblings, &others}) {
        if (tab->data.size() > 1) sort_rs_tab(*tab, 0);
    }
    const HostMap hosts = HostMap::load();
    for (const rs_disp_entry& e : siblings.data) print_rs_tab_entry(c, hosts, e);
    for (const rs_disp_entry& e : others.data) print_rs_tab_entry(c, hosts, e);
}

void sort_realserverlist(rs_disp_tab& tab, const char* sortorder) {
    const unsigned sorttype = sortorder ? static_cast<unsigned>(std::atoi(sortorder)) & 0xffu : 0u;
    if (tab.data.size() > 1) sort_rs_tab(tab, sorttype);
}

void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder) {
    sort_realserverlist(tab, sortorder);
    const HostMap hosts = HostMap::load();
    for (const rs_disp_entry& e : tab.data) print_newrs_tab_entry(c, hosts, e);
}

}  // namespace lbsnap
