// The report functions, one block per report family (cli/reports/*.cpp).
#pragma once

#include <cstdio>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "context.h"
#include "model.h"

namespace lbsnap {

// ---- VS dump (dump.cpp) ----
void print_vs(Ctx& c, bahd_config_t& cur);

// ---- listings (listings.cpp) ----
void list_vs(Ctx& c, const bahd_config_t& cur, int wantsslonly);
void list_dflts(Ctx& c, const bahd_config_t& cur, int wantv6);
void print_checks(Ctx& c);

// ---- rule output (rule_output.cpp) ----

// ---- template (template.cpp) ----

// ---- follow selectors (follow.cpp) ----

// ---- real-server report (realservers.cpp) ----

// ---- SNAT rules (snat.cpp) ----

// ---- certificate reports (certs.cpp) ----

// ---- name resolution and server lists (resolve.cpp) ----

// printf-style formatting into a string (log texts, labels).
std::string format_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

// Command 26 with a name (print its address), command 27 with null (change
// script for real servers whose DNS name now resolves elsewhere).
void resolv_realnames(Ctx& c, const char* name);

// One distinct real server of a display table.
struct rs_disp_entry {
    FixedText<64> rip;
    FixedText<256> dns;
    int ntotal = 0;
    int nok = 0;
};

// A display table: the entries in insertion order, with indexes giving the
// first entry of each DNS name and of each address text.
class rs_disp_tab {
public:
    std::vector<rs_disp_entry> data;

    // Index of the first entry that rs matches (same non-empty dns, or same
    // rip), or -1.
    long find(const rs_info_t& rs) const;
    void append(const rs_info_t& rs);
    // Call after reordering data directly (sorting), so find stays right.
    void reindex();

private:
    std::unordered_map<std::string, long> by_dns_;
    std::unordered_map<std::string, long> by_rip_;
};

// The real servers of one VS, for the "already used by this VS" test.
class VsServerKeys {
public:
    explicit VsServerKeys(const bahd_config_t& vs);
    bool matches(const rs_info_t& rs) const;

private:
    std::unordered_set<std::string> dns_;
    std::unordered_set<std::string> rip_;
};

void add_one_rs_list(const rs_info_t& rs, const VsServerKeys* cur, rs_disp_tab& tab,
                     const rs_disp_tab* exclude);
void add_new_rslist(const bahd_config_t& cur, rs_disp_tab& tab);

int rs_cmp_tab(const rs_disp_entry& a, const rs_disp_entry& b);
int rs_cmp_tab_rev(const rs_disp_entry& a, const rs_disp_entry& b);
int st_cmp_tab(const rs_disp_entry& a, const rs_disp_entry& b);
int st_cmp_tab_rev(const rs_disp_entry& a, const rs_disp_entry& b);
// Sort type 0..3 as the comparators above; above 3 sorts as 0.
void sort_rs_tab(rs_disp_tab& tab, unsigned sorttype);

void print_rs_tab_entry(Ctx& c, const rs_disp_entry& rs);
void print_newrs_tab_entry(Ctx& c, const rs_disp_entry& rs);
void gen_add_rs_list(Ctx& c, const bahd_config_t& arg);
void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder);

// ---- WAF list and usage statistics (stats.cpp) ----

void print_wafvs(Ctx& c, int type);
// Append the client-side (inauth) or server-side (outauth) mode name for
// value to names, once; an out-of-range value is logged instead.
void set_inauth_data(Ctx& c, std::string& clientAuth, int value);
void set_outauth_data(Ctx& c, std::string& serverAuth, int value);
// Command 30: the usage-statistics line (no trailing newline).
void gen_callhomedata(Ctx& c);
int get_vs_min_interval(const Model& m, const bahd_config_t& vdata);
// Command 33: the largest get_vs_min_interval over VSs without their own
// check interval.
void print_max_check_time(Ctx& c);

}  // namespace lbsnap
