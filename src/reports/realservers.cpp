// The real-server name table and the -s / -S report.
#include <sys/socket.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <utility>

#include "lib/addrs.h"
#include "lib/lookup_pool.h"
#include "lib/lookup_progress.h"
#include "lib/out_printf.h"
#include "lib/resolver.h"
#include "lib/settings.h"
#include "reports/lookup_wait.h"
#include "reports/realservers.h"

namespace lbsnap {

namespace {

bool is_empty(const char* s) { return !s || !*s; }

constexpr std::size_t kMaxHostName = 253;
constexpr std::size_t kMaxLabel = 63;

bool is_letter_or_digit(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9');
}

bool is_label(std::string_view label) {
    if (label.empty() || label.size() > kMaxLabel || label.front() == '-' || label.back() == '-')
        return false;
    return std::all_of(label.begin(), label.end(),
                       [](char ch) { return is_letter_or_digit(ch) || ch == '-'; });
}

// The reverse answer goes into a line that scripts and web pages read: only
// a host name as RFC 1123 has it (letters, digits and inner hyphens, in
// dot-separated labels) is taken; anything else counts as no name.
bool is_host_name(std::string_view name) {
    if (name.size() > kMaxHostName) return false;
    for (std::size_t start = 0;;) {
        const std::size_t dot = name.find('.', start);
        if (!is_label(name.substr(start, dot == std::string_view::npos ? dot : dot - start))) return false;
        if (dot == std::string_view::npos) return true;
        start = dot + 1;
    }
}

// Family and address bytes, without the port: the texts of one address (bare
// or bracketed IPv6, the 32-digit form, with a port or without) share one
// reverse lookup, whose answer does not depend on the port.
std::string address_key(const lm_sockaddr& sa) {
    const bool v4 = sa.sa.sa_family == AF_INET;
    const void* bytes = v4 ? static_cast<const void*>(&sa.sin.sin_addr)
                           : static_cast<const void*>(&sa.sin6.sin6_addr);
    const std::size_t n = v4 ? sizeof sa.sin.sin_addr : sizeof sa.sin6.sin6_addr;
    std::string key(1, v4 ? '4' : '6');  // appended: see lm_print_addr on -Wrestrict
    key.append(static_cast<const char*>(bytes), n);
    return key;
}

}  // namespace

RsNameTable::RsNameTable() : reverse_(resolver_reverse_lookup) {}

// The first entry with that name and, unless proto is null, that protocol;
// npos if none.
std::size_t RsNameTable::find(const char* name, const char* proto) const {
    return rsnames_.find<RsNameKeys::name>(name, [proto](const rsdups_t& e) {
        return !proto || std::strcmp(e.proto, proto) == 0;
    });
}

void RsNameTable::add_oners(const char* rsname, const char* proto, const char* dnsname) {
    if (is_empty(rsname)) return;
    // A null protocol matches an entry of any protocol: the first one with
    // that name.
    if (std::size_t i = find(rsname, proto); i != rsnames_.npos) {
        rsnames_.update(i, [](rsdups_t& e) { e.dupcnt++; });
        return;
    }
    // Running out of memory here ends the process (std::bad_alloc), like
    // every other allocation of the tool.
    rsnames_.append(rsdups_t{rsname, proto ? proto : "", dnsname, 0});
}

int RsNameTable::has_dup(const char* rsname, const char* proto) const {
    if (is_empty(rsname)) return 0;
    // No protocol is the empty one, as entries added without one hold.
    std::size_t i = find(rsname, proto ? proto : "");
    return i == rsnames_.npos ? 0 : rsnames_[i].dupcnt;
}

void RsNameTable::add_rslist(const bahd_config_t& cur, bool chkenable, const char* proto) {
    if (cur.ismaster) return;  // its entries are sub-VS references
    for (const rs_info_t& rs : cur.rsinfo) {
        if (rs.rip.empty()) continue;
        if (rs.enabled || chkenable) add_oners(rs.rip.c_str(), proto, rs.dns.c_str());
    }
}

void RsNameTable::sort_rsnames() {
    enum Group : std::uint8_t { kV6, kV4, kText };
    rsnames_.sort(
        [](const rsdups_t& e, EntryOrder& order) {
            lm_addr a;
            if (lm_cvtaddr(&a, e.name) == 1)
                order.add(a.af == AF_INET6 ? kV6 : kV4, a);
            else
                order.add(kText);
        },
        [this](std::uint8_t group, std::size_t a, std::size_t b) {
            const rsdups_t &x = rsnames_[a], &y = rsnames_[b];
            if (int d = group == kText ? std::strcmp(x.name, y.name) : 0) return d;
            return std::strcmp(x.proto, y.proto);
        },
        false);
}

void RsNameTable::print_realservers(Ctx& c, bool wantrealname) {
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
    std::vector<Shown> shown(wantrealname ? rsnames_.size() : 0);
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
    std::vector<std::optional<std::string>> hosts;
    {
        ProgressLine progress(c.err);
        hosts = lookups.run<std::optional<std::string>>(reverse_, report_lookup_wait(c.opt, &progress));
    }  // the line is gone before the first line of the report
    for (std::size_t i = 0; i < rsnames_.size(); ++i) {
        const Shown s = wantrealname ? shown[i] : Shown{};
        const char* host = s.known;
        if (s.lookup != no_lookup && hosts[s.lookup] && is_host_name(*hosts[s.lookup]))
            host = hosts[s.lookup]->c_str();
        if (host)
            out_printf(c.out, "%s (%s)\n", rsnames_[i].name, host);
        else
            out_printf(c.out, "%s\n", rsnames_[i].name);
    }
}

}  // namespace lbsnap
