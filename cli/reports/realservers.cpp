// The real-server name table and the -s / -S report.
#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <utility>

#include "addrs.h"
#include "cfglib.h"
#include "lookup_pool.h"
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

// Family and address bytes, without the port: the texts of one address (bare
// or bracketed IPv6, the 32-digit form, with a port or without) share one
// reverse lookup, whose answer does not depend on the port.
std::string address_key(const lm_sockaddr& sa) {
    const bool v4 = sa.sa.sa_family == AF_INET;
    const void* bytes = v4 ? static_cast<const void*>(&sa.sin.sin_addr)
                           : static_cast<const void*>(&sa.sin6.sin6_addr);
    const std::size_t n = v4 ? sizeof sa.sin.sin_addr : sizeof sa.sin6.sin6_addr;
    return std::string(1, v4 ? '4' : '6') + std::string(static_cast<const char*>(bytes), n);
}

// Puts items[from[i]] at place i for every i, one cycle of the permutation
// at a time; from is used up.
template <class T>
void permute_in_place(std::vector<T>& items, std::vector<std::size_t>& from) {
    for (std::size_t start = 0; start < from.size(); ++start) {
        if (from[start] == start) continue;
        T held = items[start];
        std::size_t to = start;
        for (std::size_t src = from[to]; src != start; src = from[to]) {
            items[to] = items[src];
            from[to] = to;
            to = src;
        }
        items[to] = held;
        from[to] = to;
    }
}

}  // namespace

int rs_namecmp(const rsdups_t& a, const rsdups_t& b) { return keycmp(make_key(a), make_key(b)); }

RsNameTable::RsNameTable() : reverse_(resolver_reverse_lookup) {}

// The first entry with that name and, unless proto is null, that protocol;
// npos if none. *last receives the last entry of the name's chain (npos when
// the name is new).
std::size_t RsNameTable::find(std::string_view name, const char* proto, std::size_t* last) const {
    if (stale_) reindex();
    *last = std::string_view::npos;
    auto it = first_by_name_.find(name);
    if (it == first_by_name_.end()) return std::string_view::npos;
    for (std::size_t i = it->second; i != std::string_view::npos; i = next_same_name_[i]) {
        if (!proto || std::strcmp(rsnames_[i].proto, proto) == 0) return i;
        *last = i;
    }
    return std::string_view::npos;
}

void RsNameTable::link(std::size_t i, std::size_t last) {
    next_same_name_.push_back(std::string_view::npos);
    if (last == std::string_view::npos)
        first_by_name_.emplace(rsnames_[i].name, i);
    else
        next_same_name_[last] = i;
}

void RsNameTable::reindex() const {
    first_by_name_.clear();
    next_same_name_.assign(rsnames_.size(), std::string_view::npos);
    std::unordered_map<std::string_view, std::size_t> last_by_name;
    for (std::size_t i = 0; i < rsnames_.size(); ++i) {
        auto [it, added] = last_by_name.try_emplace(rsnames_[i].name, i);
        if (added)
            first_by_name_.emplace(rsnames_[i].name, i);
        else
            next_same_name_[std::exchange(it->second, i)] = i;
    }
    stale_ = false;
}

void RsNameTable::add_oners(const char* rsname, const char* proto, const char* dnsname) {
    if (is_empty(rsname)) return;
    // A null protocol matches an entry of any protocol: the first one with
    // that name.
    std::size_t last;
    if (std::size_t i = find(rsname, proto, &last); i != std::string_view::npos) {
        rsnames_[i].dupcnt++;
        return;
    }
    // Running out of memory here ends the process (std::bad_alloc), like
    // every other allocation of the tool.
    rsnames_.push_back(rsdups_t{rsname, proto ? proto : "", dnsname, 0});
    link(rsnames_.size() - 1, last);
}

int RsNameTable::has_dup(const char* rsname, const char* proto) const {
    if (is_empty(rsname)) return 0;
    // No protocol is the empty one, as entries added without one hold.
    std::size_t last;
    std::size_t i = find(rsname, proto ? proto : "", &last);
    return i == std::string_view::npos ? 0 : rsnames_[i].dupcnt;
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
    // The name index is rebuilt on its next use anyway: let it go before
    // the sort needs room of its own.
    first_by_name_ = {};
    next_same_name_ = {};
    std::vector<NameKey> keys;
    keys.reserve(rsnames_.size());
    for (const rsdups_t& e : rsnames_) keys.push_back(make_key(e));
    // Entries that compare equal keep their insertion order, which is the
    // order of their places in rsnames_; sorting in place needs no buffer.
    std::sort(keys.begin(), keys.end(), [](const NameKey& a, const NameKey& b) {
        if (int d = keycmp(a, b)) return d < 0;
        return a.entry < b.entry;
    });
    // The entries move into their sorted places within the table itself:
    // a second table of the doubled capacity would be the peak of the run.
    std::vector<std::size_t> from(keys.size());
    for (std::size_t i = 0; i < keys.size(); ++i)
        from[i] = static_cast<std::size_t>(keys[i].entry - rsnames_.data());
    keys = {};
    permute_in_place(rsnames_, from);
    // After sorting, "first" means first in the sorted table.
    stale_ = true;
}

void RsNameTable::print_realservers(Ctx& c, int wantrealname) {
    const int dnsnames = read_ival("DNSNAMES_ENABLE", 0);
    sort_rsnames();
    // Every line's name is settled before the first line is printed: the
    // reverse lookups of all entries run side by side, each distinct address
    // once, and the lines then follow the table order.
    constexpr std::size_t no_lookup = std::string_view::npos;
    struct Shown {
        const char* known = nullptr;  // the configured name
        std::size_t lookup = no_lookup;
    };
    std::vector<Shown> shown(rsnames_.size());
    DistinctLookups<std::string, lm_sockaddr> lookups;
    for (std::size_t i = 0; wantrealname && i < rsnames_.size(); ++i) {
        const rsdups_t& e = rsnames_[i];
        lm_sockaddr sa{};
        if (lm_str2addr(&sa, e.name) != 1) continue;
        if (dnsnames && !is_empty(e.dnsname))
            shown[i].known = e.dnsname;
        else
            shown[i].lookup = lookups.add(address_key(sa), sa);
    }
    const auto hosts = lookups.run<std::optional<std::string>>(reverse_);
    for (std::size_t i = 0; i < rsnames_.size(); ++i) {
        const Shown& s = shown[i];
        const char* host = s.known;
        if (s.lookup != no_lookup && hosts[s.lookup]) host = hosts[s.lookup]->c_str();
        if (host)
            std::fprintf(c.out, "%s (%s)\n", rsnames_[i].name, host);
        else
            std::fprintf(c.out, "%s\n", rsnames_[i].name);
    }
}

}  // namespace lbsnap
