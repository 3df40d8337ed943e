// Real-server names: resolving them (-d, -D) and the server lists built from
// every VS's real servers (-A, -Y).
#include <netdb.h>
#include <sys/socket.h>
#include <syslog.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "addrs.h"
#include "format_text.h"
#include "lookup.h"
#include "lookup_pool.h"
#include "reports.h"

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

// A display entry with its address converted once for sorting. An address
// text that does not convert compares as family 0: after every IPv4
// address, equal to other such texts (the stable sort keeps their order).
struct SortKey {
    const rs_disp_entry* e;
    lm_addr addr;
};

SortKey sort_key(const rs_disp_entry& e) {
    SortKey k{&e, lm_addr{}};
    if (!lm_cvtaddr(&k.addr, e.rip.c_str())) k.addr = lm_addr{};
    return k;
}

int rs_cmp_key(const SortKey& a, const SortKey& b) {
    const bool adns = !a.e->dns.empty(), bdns = !b.e->dns.empty();
    if (!adns && !bdns) return lm_addrcmp(a.addr, b.addr);
    if (!adns) return 1;
    if (!bdns) return -1;
    return std::strcmp(a.e->dns.c_str(), b.e->dns.c_str());
}

// 2: every occurrence enabled, 1: some, 0: none.
int status_class(const rs_disp_entry& e) {
    if (e.ntotal == e.nok) return 2;
    return e.nok != 0 ? 1 : 0;
}

int st_cmp_key(const SortKey& a, const SortKey& b) {
    const int sa = status_class(*a.e), sb = status_class(*b.e);
    if (sa != sb) return sa < sb ? -1 : 1;
    return rs_cmp_key(a, b);
}

int rs_cmp_key_rev(const SortKey& a, const SortKey& b) { return -rs_cmp_key(a, b); }
int st_cmp_key_rev(const SortKey& a, const SortKey& b) { return -st_cmp_key(a, b); }

using KeyCmp = int (*)(const SortKey&, const SortKey&);
constexpr KeyCmp sort_funcs[4] = {rs_cmp_key, rs_cmp_key_rev, st_cmp_key, st_cmp_key_rev};

// Host-map name of an address text, or null.
const char* map_name(const FixedText<64>& rip) { return local_ip2name(rip.c_str(), nullptr); }

// Entries with an empty rip are folded too: the server lists count every
// used entry, gaps included (they fold together under the empty address).
void fold_vs(const bahd_config_t& vs, const VsServerKeys* cur, rs_disp_tab& tab,
             const rs_disp_tab* exclude) {
    for (const rs_info_t& rs : vs.rsinfo) add_one_rs_list(rs, cur, tab, exclude);
}

}  // namespace

std::optional<lm_addr> resolver_forward_lookup(const char* name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(name, nullptr, &hints, &res) != 0 || res == nullptr) return std::nullopt;
    lm_sockaddr sa{};
    std::memcpy(&sa, res->ai_addr, std::min<std::size_t>(res->ai_addrlen, sizeof sa));
    freeaddrinfo(res);
    lm_addr a;
    lm_unmapaddr(&a, sa);
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
    long first = -1;
    if (!rs.dns.empty()) {
        if (auto it = by_dns_.find(rs.dns.c_str()); it != by_dns_.end()) first = it->second;
    }
    if (auto it = by_rip_.find(rs.rip.c_str()); it != by_rip_.end()) {
        if (first < 0 || it->second < first) first = it->second;
    }
    return first;
}

void rs_disp_tab::append(const rs_info_t& rs) {
    // The vector's own growth stands in for the 16-then-doubling policy.
    const long at = static_cast<long>(data.size());
    data.push_back(rs_disp_entry{rs.rip, rs.dns, 1, rs.enabled ? 1 : 0});
    if (!rs.dns.empty()) by_dns_.emplace(rs.dns.c_str(), at);
    by_rip_.emplace(rs.rip.c_str(), at);
}

void rs_disp_tab::drop_index() {
    by_dns_ = {};
    by_rip_ = {};
}

void rs_disp_tab::reindex() {
    drop_index();
    by_dns_.reserve(data.size());
    by_rip_.reserve(data.size());
    for (long i = 0; i < static_cast<long>(data.size()); ++i) {
        if (!data[i].dns.empty()) by_dns_.emplace(data[i].dns.c_str(), i);
        by_rip_.emplace(data[i].rip.c_str(), i);
    }
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
    const KeyCmp cmp = sort_funcs[sorttype > 3 ? 0 : sorttype];
    // The indexes are rebuilt after the sort anyway: freed first, they do
    // not add to the sort's peak beside the table and its sorted copy.
    tab.drop_index();
    std::vector<SortKey> keys;
    keys.reserve(tab.data.size());
    for (const rs_disp_entry& e : tab.data) keys.push_back(sort_key(e));
    std::stable_sort(keys.begin(), keys.end(),
                     [cmp](const SortKey& a, const SortKey& b) { return cmp(a, b) < 0; });
    std::vector<rs_disp_entry> sorted;
    sorted.reserve(keys.size());
    for (const SortKey& k : keys) sorted.push_back(*k.e);
    tab.data = std::move(sorted);
    keys = {};
    tab.reindex();
}

void print_rs_tab_entry(Ctx& c, const rs_disp_entry& rs) {
    const bool has_dns = !rs.dns.empty();
    std::fprintf(c.out, "<option value=\"%s\">", has_dns ? rs.dns.c_str() : rs.rip.c_str());
    if (!has_dns) {
        if (const char* name = map_name(rs.rip))
            std::fprintf(c.out, "%s %s</option>", rs.rip.c_str(), name);
    }
    std::fprintf(c.out, "\n");
}

std::string newrs_label(const rs_disp_entry& rs) {
    if (!rs.dns.empty()) return rs.dns.str();
    if (const char* name = map_name(rs.rip)) return format_text("%s %s", rs.rip.c_str(), name);
    return rs.rip.str();
}

void print_newrs_tab_entry(Ctx& c, const rs_disp_entry& rs) {
    const std::string label = newrs_label(rs);
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
    for (const rs_disp_entry& e : siblings.data) print_rs_tab_entry(c, e);
    for (const rs_disp_entry& e : others.data) print_rs_tab_entry(c, e);
}

void sort_realserverlist(rs_disp_tab& tab, const char* sortorder) {
    const unsigned sorttype = sortorder ? static_cast<unsigned>(std::atoi(sortorder)) & 0xffu : 0u;
    if (tab.data.size() > 1) sort_rs_tab(tab, sorttype);
}

void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder) {
    sort_realserverlist(tab, sortorder);
    for (const rs_disp_entry& e : tab.data) print_newrs_tab_entry(c, e);
}

}  // namespace lbsnap
