// Name resolution and server lists.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

#include "lib/addrs.h"
#include "reports/report_context.h"
#include "reports/text_index.h"

struct addrinfo;

namespace lbsnap {

// The first address the resolver gives for a name, or nullopt. Called from
// several threads at once.
using ForwardLookup = std::function<std::optional<lm_addr>(const char* name)>;
// The system resolver's.
std::optional<lm_addr> resolver_forward_lookup(const char* name);
// The address of one resolver answer; none for a family or an address length
// the tool does not handle, which then counts as no answer.
std::optional<lm_addr> answer_address(const addrinfo& ai);

// Command 26 with a name (print its address), command 27 with null (change
// script for real servers whose DNS name now resolves elsewhere).
void resolv_realnames(Ctx& c, const char* name,
                      const ForwardLookup& resolve = resolver_forward_lookup);

// One distinct real server of a display table.
struct rs_disp_entry {
    FixedText<64> rip;
    FixedText<256> dns;
    int ntotal = 0;
    int nok = 0;
};

// A display table: the entries in insertion order, with indexes giving the
// first entry of each DNS name and of each address text. The entries grow in
// blocks, never copied to a larger array.
class rs_disp_tab {
public:
    std::deque<rs_disp_entry> data;

    // Index of the first entry that rs matches (same non-empty dns, or same
    // rip), or -1.
    long find(const rs_info_t& rs) const;
    void append(const rs_info_t& rs);
    // Call after reordering data directly (sorting): frees the indexes,
    // which the next find rebuilds.
    void reindex();

private:
    std::string_view dns_at(std::size_t i) const { return data[i].dns; }
    std::string_view rip_at(std::size_t i) const { return data[i].rip; }

    // The texts live as long as the model; the indexes hold positions.
    mutable TextIndex by_dns_;
    mutable TextIndex by_rip_;
    mutable bool stale_ = false;
};

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
