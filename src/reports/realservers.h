// Real-server report.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "lib/resolver.h"
#include "reports/report_context.h"
#include "reports/server_table.h"

namespace lbsnap {

// One entry of the real-server name table. The texts point into the model
// (or, for proto, at a constant ""); the table never owns them.
struct rsdups_t {
    const char* name = nullptr;
    const char* proto = nullptr;
    const char* dnsname = nullptr;
    int dupcnt = 0;
};

// The name table finds an entry by its address text.
struct RsNameKeys {
    static constexpr std::size_t name = 0, count = 1;
    template <std::size_t>
    static std::string_view text(const rsdups_t& e) { return e.name; }
    template <std::size_t>
    static bool indexed(const rsdups_t&) { return true; }
};

// The distinct real-server address texts of one command, in insertion order
// until sorted.
class RsNameTable {
public:
    RsNameTable();

    void add_oners(const char* rsname, const char* proto, const char* dnsname);
    int has_dup(const char* rsname, const char* proto) const;
    void add_rslist(const bahd_config_t& cur, bool chkenable, const char* proto);
    // By address (IPv6 before IPv4, then numerically), then by protocol
    // text; texts that are no plain address go last, by text. Stable.
    void sort_rsnames();
    void print_realservers(Ctx& c, bool wantrealname);

    int size() const { return static_cast<int>(rsnames_.size()); }
    const std::deque<rsdups_t>& entries() const { return rsnames_.entries(); }
    // Replaces the resolver's reverse lookup (tests run without a resolver).
    void set_reverse_lookup(ReverseLookup lookup) { reverse_ = std::move(lookup); }

private:
    std::size_t find(const char* name, const char* proto) const;

    ServerTable<rsdups_t, RsNameKeys> rsnames_;
    ReverseLookup reverse_;
};

}  // namespace lbsnap
