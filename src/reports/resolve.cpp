// Real-server names: resolving them (-d, -D) and the server lists built from
// every VS's real servers (-A, -Y).
#include <netdb.h>
#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "lib/addrs.h"
#include "lib/format_text.h"
#include "lib/lookup_pool.h"
#include "query/lookup.h"
#include "reports/entry_order.h"
#include "reports/resolve.h"

namespace lbsnap {

namespace {

// One real server of -D with a DNS name and a plain current address, and
// the answer slot of its name.
struct NameCheck {
    const bahd_config_t* vs;
    const rs_info_t* rs;
    lm_addr current;
    std::size_t answer;
};

// The real servers -D checks, in list order, with their names queued once
// each. Others are passed over silently.
std::vector<NameCheck> collect_checks(const Model& m, DistinctLookups<std::string_view, const char*>& names) {
    std::vector<NameCheck> checks;
    for (const auto& vs : m.bahd) {
        if (vs->ismaster) continue;
        for (const rs_info_t& rs : vs->rsinfo) {
            NameCheck k{vs.get(), &rs, lm_addr{}, 0};
            if (rs.dns.empty() || !lm_cvtaddr(&k.current, rs.rip.c_str())) continue;
            k.answer = names.add(rs.dns, rs.dns.c_str());
            checks.push_back(k);
        }
    }
    return checks;
}

// Compares one real server's current address with what its name resolves
// to now; returns true when it printed a change.
bool report_check(Ctx& c, const NameCheck& k, const std::optional<lm_addr>& now,
                  bool header_done) {
    const rs_info_t& rs = *k.rs;
    if (!now) {
        c.log(LOG_INFO, format_text("Resolve of %s failed\n", rs.dns.c_str()));
        return false;
    }
    if (lm_addrcmp(*now, k.current) == 0) {
        c.log(LOG_DEBUG,
              format_text("Resolved to the same address %s %s\n", rs.rip.c_str(), rs.dns.c_str()));
        return false;
    }
    const std::string addr = lm_print_addr2(*now);
    if (!header_done) std::fprintf(c.out, "vip %d\n", k.vs->id);
    std::fprintf(c.out, "server #%d\n", rs.id);
    std::fprintf(c.out, "addr %s\n", addr.c_str());
    std::fprintf(c.out, "exit\n");
    c.log(LOG_INFO, format_text("changing RS#%d (%s) from %s to %s\n", rs.id, rs.dns.c_str(),
                                rs.rip.c_str(), addr.c_str()));
    return true;
}

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

std::optional<lm_addr> answer_address(const addrinfo& ai) {
    if (!ai.ai_addr) return std::nullopt;
    const sa_family_t family = ai.ai_addr->sa_family;
    lm_sockaddr sa{};
    const std::size_t need = family == AF_INET    ? sizeof sa.sin
                             : family == AF_INET6 ? sizeof sa.sin6
                                                  : 0;
    if (need == 0 || ai.ai_addrlen < need) return std::nullopt;
    std::memcpy(&sa, ai.ai_addr, need);
    lm_addr a;
    lm_unmapaddr(&a, sa);
    return a;
}

std::optional<lm_addr> resolver_forward_lookup(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) return std::nullopt;
    const std::optional<lm_addr> a = answer_address(*res);
    freeaddrinfo(res);
    return a;
}

void resolv_realnames(Ctx& c, const char* name, const ForwardLookup& resolve) {
    if (name) {
        if (const std::optional<lm_addr> a = resolve(name))
            std::fprintf(c.out, "%s\n", lm_print_addr2(*a).c_str());
        return;
    }
    // Every name is resolved before the first line: the lookups run side by
    // side, each distinct name once, and the script and the log lines then
    // come out in list order as if each had been asked in turn.
    DistinctLookups<std::string_view, const char*> names;
    const std::vector<NameCheck> checks = collect_checks(c.m, names);
    const auto answers = names.run<std::optional<lm_addr>>(resolve);
    bool header_done = false;
    for (std::size_t i = 0; i < checks.size(); ++i) {
        if (report_check(c, checks[i], answers[checks[i].answer], header_done)) header_done = true;
        const bool vs_ends = i + 1 == checks.size() || checks[i + 1].vs != checks[i].vs;
        if (!vs_ends) continue;
        if (header_done) std::fprintf(c.out, "exit\n");
        header_done = false;
    }
}

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
