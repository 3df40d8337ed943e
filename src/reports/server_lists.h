// The server lists built from every VS's real servers: the real servers
// that could be added to a VS (-A) and the use counts of every real server
// (-Y).
#pragma once

#include <string>
#include <string_view>
#include <unordered_set>

#include "lib/addrs.h"
#include "reports/report_context.h"
#include "reports/server_table.h"

namespace lbsnap {

// One distinct real server of a display table.
struct rs_disp_entry {
    FixedText<64> rip;
    FixedText<256> dns;
    int ntotal = 0;
    int nok = 0;
};

// A display table finds an entry by its DNS name (entries with one) and by
// its address text.
struct RsDispKeys {
    static constexpr std::size_t dns = 0, rip = 1, count = 2;
    template <std::size_t K>
    static std::string_view text(const rs_disp_entry& e) {
        return K == dns ? std::string_view(e.dns) : std::string_view(e.rip);
    }
    template <std::size_t K>
    static bool indexed(const rs_disp_entry& e) {
        return K == rip || !e.dns.empty();
    }
};

// A class rather than an alias, so that other headers can name it.
class rs_disp_tab : public ServerTable<rs_disp_entry, RsDispKeys> {};

// The real servers of one VS, for the "already used by this VS" test.
class VsServerKeys {
public:
    explicit VsServerKeys(const bahd_config_t& vs);
    bool matches(const rs_info_t& rs) const;

private:
    std::unordered_set<std::string_view> dns_;
    std::unordered_set<std::string_view> rip_;
};

void add_one_rs_list(const rs_info_t& rs, const VsServerKeys* cur, rs_disp_tab& tab,
                     const rs_disp_tab* exclude);
void add_new_rslist(const bahd_config_t& cur, rs_disp_tab& tab);

// Sort type 0: DNS names first, by name, then the others by address
// (IPv6, IPv4, then texts that are no address); 2: by enabled status first
// (none, some, all occurrences enabled), then as 0; 1 and 3: 0 and 2 turned
// round. Above 3 sorts as 0. Stable.
void sort_rs_tab(rs_disp_tab& tab, unsigned sorttype);

void print_rs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs);
void print_newrs_tab_entry(Ctx& c, const HostMap& hosts, const rs_disp_entry& rs);
// The label of a -Y line: the DNS name, else the address and its mapped
// name, else the address.
std::string newrs_label(const HostMap& hosts, const rs_disp_entry& rs);
// Sorts the -Y table in the order its optional argument selects.
void sort_realserverlist(rs_disp_tab& tab, const char* sortorder);
void gen_add_rs_list(Ctx& c, const bahd_config_t& arg);
void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder);

}  // namespace lbsnap
