// The real-server name table and the -s / -S report.
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <functional>

#include "addrs.h"
#include "cfglib.h"
#include "reports.h"

namespace lbsnap {

namespace {

// The sort key of one entry, its address converted once.
struct NameKey {
    lm_addr addr;
    bool converted;
    const rsdups_t* entry;
};

NameKey make_key(const rsdups_t& e) {
    NameKey k{};
    k.entry = &e;
    k.converted = lm_cvtaddr(&k.addr, e.name) == 1;
    return k;
}

// Texts that are not plain addresses (unparsable, or carrying a port) have no
// address order; they go after every address, by name text.
int keycmp(const NameKey& a, const NameKey& b) {
    if (a.converted != b.converted) return a.converted ? -1 : 1;
    int d = a.converted ? lm_addrcmp(a.addr, b.addr) : std::strcmp(a.entry->name, b.entry->name);
    if (d) return d;
    return std::strcmp(a.entry->proto, b.entry->proto);
}

std::optional<std::string> resolver_reverse_lookup(const lm_sockaddr& sa) {
    char host[1025];
    // The IPv6 length serves both families: the platform only checks that
    // the buffer is large enough.
    if (getnameinfo(&sa.sa, sizeof(sockaddr_in6), host, sizeof host, nullptr, 0, NI_NAMEREQD) != 0)
        return std::nullopt;
    return std::string(host);
}

bool is_empty(const char* s) { return !s || !*s; }

}  // namespace

int rs_namecmp(const rsdups_t& a, const rsdups_t& b) { return keycmp(make_key(a), make_key(b)); }

std::size_t RsNameTable::KeyHash::operator()(const Key& k) const {
    std::hash<std::string_view> h;
    return h(k.name) * 31 + h(k.proto);
}

RsNameTable::RsNameTable() : reverse_(resolver_reverse_lookup) {}

void RsNameTable::add_oners(const char* rsname, const char* proto, const char* dnsname) {
    if (is_empty(rsname)) return;
    // A null protocol matches an entry of any protocol: the first one with
    // that name.
    if (!proto) {
        if (auto it = by_name_.find(rsname); it != by_name_.end()) {
            rsnames_[it->second].dupcnt++;
            return;
        }
    } else if (auto it = by_pair_.find(Key{rsname, proto}); it != by_pair_.end()) {
        rsnames_[it->second].dupcnt++;
        return;
    }
    if (size() == max_rsnames_) {
        max_rsnames_ = max_rsnames_ ? 2 * max_rsnames_ : 16;
        rsnames_.reserve(max_rsnames_);
    }
    rsdups_t e{rsname, proto ? proto : "", dnsname, 0};
    rsnames_.push_back(e);
    by_pair_.emplace(Key{e.name, e.proto}, rsnames_.size() - 1);
    by_name_.emplace(e.name, rsnames_.size() - 1);
}

int RsNameTable::has_dup(const char* rsname, const char* proto) const {
    if (is_empty(rsname)) return 0;
    // No protocol is the empty one, as entries added without one hold.
    auto it = by_pair_.find(Key{rsname, proto ? proto : ""});
    return it == by_pair_.end() ? 0 : rsnames_[it->second].dupcnt;
}

void RsNameTable::add_rslist(const bahd_config_t& cur, int chkenable, const char* proto) {
    if (cur.ismaster) return;  // its entries are sub-VS references
    for (const rs_info_t& rs : cur.rsinfo) {
        if (rs.rip.empty()) continue;
        if (rs.enabled || chkenable) add_oners(rs.rip.c_str(), proto, rs.dns.c_str());
    }
}

void RsNameTable::sort_rsnames() {
    if (rsnames_.size() < 2) return;
    std::vector<NameKey> keys;
    keys.reserve(rsnames_.size());
    for (const rsdups_t& e : rsnames_) keys.push_back(make_key(e));
    // Stable: entries that compare equal keep their insertion order.
    std::stable_sort(keys.begin(), keys.end(),
                     [](const NameKey& a, const NameKey& b) { return keycmp(a, b) < 0; });
    std::vector<rsdups_t> sorted;
    sorted.reserve(max_rsnames_);
    for (const NameKey& k : keys) sorted.push_back(*k.entry);
    rsnames_ = std::move(sorted);
    reindex();
}

// After sorting, "first" means first in the sorted table.
void RsNameTable::reindex() {
    by_pair_.clear();
    by_name_.clear();
    for (std::size_t i = 0; i < rsnames_.size(); ++i) {
        by_pair_.emplace(Key{rsnames_[i].name, rsnames_[i].proto}, i);
        by_name_.emplace(rsnames_[i].name, i);
    }
}

void RsNameTable::print_realservers(Ctx& c, int wantrealname) {
    const int dnsnames = READIVAL("DNSNAMES_ENABLE", 0);
    sort_rsnames();
    for (const rsdups_t& e : rsnames_) {
        lm_sockaddr sa{};
        if (!wantrealname || lm_str2addr(&sa, e.name) != 1) {
            std::fprintf(c.out, "%s\n", e.name);
        } else if (dnsnames && !is_empty(e.dnsname)) {
            std::fprintf(c.out, "%s (%s)\n", e.name, e.dnsname);
        } else if (auto host = reverse_(sa)) {
            std::fprintf(c.out, "%s (%s)\n", e.name, host->c_str());
        } else {
            std::fprintf(c.out, "%s\n", e.name);
        }
    }
}

}  // namespace lbsnap
