// The report functions, one block per report family (cli/reports/*.cpp).
#pragma once

#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "classify.h"
#include "reports/report_context.h"
#include "model.h"
#include "reports/text_index.h"

namespace lbsnap {

// ---- VS dump (dump.cpp) ----
// Where real-server follow chains end, kept over one dump command: chains
// may be long and shared by many real servers, so each id is walked once.
class FollowEnds {
public:
    // The VS of the last real server reached from real-server id `id`, or
    // null when there is none with that id.
    const bahd_config_t* end_of(const Model& m, int id);

private:
    std::unordered_map<int, const bahd_config_t*> end_;
};

// What one dump command reads once and every VS of it reuses: the settings
// store and the marker directories do not change during a run.
class DumpRun {
public:
    explicit DumpRun(FollowEnds& ends) : ends(ends) {}

    FollowEnds& ends;
    // The setting L7_TRANSPARENT is "no" (read on first use).
    int l7_transparent_off();
    // False when VS `id` surely has no add-on controller marker.
    bool may_have_controller(int id);

private:
    std::optional<int> l7_off_;
    bool listed_ = false;
    std::optional<std::unordered_set<std::string>> ctrl_dirs_;
};

void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run);
// One VS on its own.
void print_vs(Ctx& c, const bahd_config_t& cur, FollowEnds& ends);

// What the dump derives from a VS besides its character, shared by the text
// and JSON forms of the dump.
struct DumpFacts {
    DumpFacts(const Model& m, const bahd_config_t& cur);

    const bahd_config_t& cur;
    const bahd_config_t* ms;  // the master of a sub-VS, or null
    int typ;                  // vip_character
    int subvs_idx;            // the master's entry for this sub-VS; ms->n_rs() when none

    // The character as the dump reports it.
    int is_http() const { return (typ & kCharHttp) ? 1 : 0; }
    int is_7layer() const { return (typ & kCharProxy) ? 7 : 4; }
    int layer() const { return (typ & kCharLayer7) ? 7 : 4; }
    int has_v6() const { return (typ & kCharIpv6) ? 1 : 0; }

    // PORT: a sub-VS of a master on the wildcard port shows that port.
    int port() const { return (ms && ms->port == kWildcardPort) ? ms->port : cur.port; }
    // The VS whose address the outside sees: the master, or the VS itself.
    const bahd_config_t& top() const { return ms ? *ms : cur; }
    // The master's entry that stands for this sub-VS, or null.
    const rs_info_t* subvs_entry() const {
        return (cur.isslave && ms && subvs_idx < ms->n_rs()) ? &ms->rsinfo[subvs_idx] : nullptr;
    }
    int slave_encrypt() const { return (ms && !ms->sslaccel.empty() && ms->reencrypt) ? 1 : 0; }
    int has_rs_follow() const {
        return (cur.extendedhealth && cur.ismaster == 0 && (typ & kCharLayer7)) ? 1 : 0;
    }
    // The LABEL text.
    std::string label() const;
};

// The cipher set the dump shows: CIPHERSET:, else for an SSL VS "Default",
// or "Custom_<id>" when it lists ciphers; nullopt for none.
std::optional<std::string> shown_cipherset(const bahd_config_t& cur);
// The dump's one write: the custom cipher set of an SSL VS goes into the
// settings store.
void record_custom_cipherset(const bahd_config_t& cur);
// 1 if real-server entry e makes its VS need a health check (NEEDHEALTH).
int entry_needs_health(const Model& m, const bahd_config_t& cur, const rs_info_t& e,
                       FollowEnds& ends);
// The rules of the VS's list r that the entry's own list holds, in r's order.
std::vector<const Rule_t*> entry_rules(const bahd_config_t& cur, const rs_info_t& e);
// The add-on controller text of VS id without one leading "+"; nullopt when
// no add-on controls the VS.
std::optional<std::string> controller_text(int id);

// ---- listings (listings.cpp) ----
void list_vs(Ctx& c, const bahd_config_t& cur, int wantsslonly);
// 1 for the VSs that -L lists: TCP, SSL-accelerated, not reverse.
bool is_ssl_endpoint(const bahd_config_t& cur);
void list_dflts(Ctx& c, const bahd_config_t& cur, int wantv6);
void print_checks(Ctx& c);

// ---- rule output (rule_output.cpp) ----
// The first rule named exactly `name` (the default rule included), or null.
Rule_t* find_rule(const Model& m, const char* name);
// The match word and host flag of a rule's match type.
struct MatchWord {
    const char* word;
    int host;
};
MatchWord match_word(int match_type);
// 0 when the -t filter (opt.tflag) leaves the rule's type out.
bool rule_passes_filter(const Options& opt, const Rule_t& rule);
// The rule that -R names (c.opt.tst_rule_id), or null after "Invalid rule
// id '%s'\n" on err for an unknown name or the default rule.
const Rule_t* tested_rule(Ctx& c);
// The VSs using a rule through any of their five lists, in list order.
std::vector<const bahd_config_t*> rule_users(const Model& m, const Rule_t* rule);
// The same for every rule used at all.
using RuleUsers = std::unordered_map<const Rule_t*, std::vector<const bahd_config_t*>>;
RuleUsers rule_users_all(const Model& m);
// The summary line of one rule, unless c.opt.tflag filters its type out.
void print_rule(Ctx& c, const Rule_t& rule);
// A blank and the escaped text; " -" for an empty text.
void mangle_minus(std::FILE* out, const char* text);
// The VSs using the rule named by c.opt.tst_rule_id.
void print_rule_in_vs(Ctx& c);
// Each rule with the VSs using it.
void print_rule_in_vs_all(Ctx& c);

// ---- template (template.cpp) ----
// The whole template of a VS that is not a sub-VS.
void print_template(Ctx& c, const bahd_config_t& vs);

// ---- follow selectors (follow.cpp) ----
// Persistence mode number of a VS: index in l7_persist_types, -1 for an
// unknown word; without a word 1 if it has a persistence time-out, else 0.
int map_persist(const bahd_config_t& vs);
// 1 for the persistence modes that include the client address.
int has_src_addr(int mode);
void print_follows(Ctx& c, int followid);
// 1 if letting `me` follow `candidate` would close a follow cycle.
int detect_loop(const Model& m, const rs_info_t& me, const rs_info_t& candidate);

// detect_loop for every candidate of one edited entry, in time linear in the
// entries visited overall: where each follow chain leads is worked out once
// and remembered, instead of walking it again for every candidate.
class LoopTest {
public:
    LoopTest(const Model& m, const rs_info_t& me) : m_(m), me_(me) {}
    bool refused(const rs_info_t& candidate);

private:
    struct Fate {
        bool reaches_me;  // the chain meets `me` before it repeats an entry
        bool on_cycle;    // the entry lies on a cycle of follows
    };
    Fate fate(const rs_info_t& e);
    // A chain goes on at the first entry of an id: such entries are named by
    // their place in the model's index of entries by id.
    Fate fate_at(std::size_t place);
    std::size_t first_place(int id) const;

    const Model& m_;
    const rs_info_t& me_;
    // What is known of the entry at each place: a byte per entry, where a
    // map of entries costs a heap node each.
    std::vector<std::uint8_t> known_;
};
void print_rsfollows(Ctx& c, int rsid);
void print_hasfollows(Ctx& c, int rsid);

// ---- real-server report (realservers.cpp) ----

// One entry of the real-server name table. The texts point into the model
// (or, for proto, at a constant ""); the table never owns them.
struct rsdups_t {
    const char* name = nullptr;
    const char* proto = nullptr;
    const char* dnsname = nullptr;
    int dupcnt = 0;
};

// The distinct real-server address texts of one command, in insertion order
// until sorted. The entries grow in blocks, never copied to a larger array,
// and a flat index keeps "first matching entry" lookups O(1).
class RsNameTable {
public:
    // The host name of an address, or nullopt when it has none. Called from
    // several threads at once.
    using ReverseLookup = std::function<std::optional<std::string>(const lm_sockaddr&)>;

    RsNameTable();

    void add_oners(const char* rsname, const char* proto, const char* dnsname);
    int has_dup(const char* rsname, const char* proto) const;
    void add_rslist(const bahd_config_t& cur, int chkenable, const char* proto);
    // By address (IPv6 before IPv4, then numerically), then by protocol
    // text; texts that are no plain address go last, by text. Stable.
    void sort_rsnames();
    void print_realservers(Ctx& c, int wantrealname);

    int size() const { return static_cast<int>(rsnames_.size()); }
    const std::deque<rsdups_t>& entries() const { return rsnames_; }
    // Replaces the resolver's reverse lookup (tests run without a resolver).
    void set_reverse_lookup(ReverseLookup lookup) { reverse_ = std::move(lookup); }

private:
    std::size_t find(const char* name, const char* proto) const;
    std::string_view name_at(std::size_t i) const { return rsnames_[i].name; }

    std::deque<rsdups_t> rsnames_;
    // Entries by name, in table order; rebuilt after sorting, on first use.
    mutable TextIndex by_name_;
    mutable bool stale_ = false;
    ReverseLookup reverse_;
};

// ---- SNAT rules (snat.cpp) ----

void gen_snat(Ctx& c, const RsNameTable& names, const bahd_config_t& cur);
void print_snat_iptables(Ctx& c, const RsNameTable& names, const bahd_config_t& cur,
                         const bahd_config_t& rscur);

// ---- certificate reports (certs.cpp) ----

// Calls f for each name of a blank- or tab-separated certificate list; runs
// of separators count once. The model's text is left as it is.
template <typename F>
void for_each_name(std::string_view list, F f) {
    constexpr std::string_view seps = " \t";
    std::size_t pos = list.find_first_not_of(seps);
    while (pos != std::string_view::npos) {
        std::size_t end = list.find_first_of(seps, pos);
        f(list.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos) break;
        pos = list.find_first_not_of(seps, end);
    }
}

int isself(const Ctx& c, const char* certfile);

void oldcertname(Ctx& c, const bahd_config_t& cur, int isfips);
void print_certs(Ctx& c, const bahd_config_t& cur, int clientcert);
void print_reenc(Ctx& c, const bahd_config_t& cur, const char* certfile);
void get_addlist(Ctx& c, const bahd_config_t& cur, const char* cert);
void get_selfsigned(Ctx& c, const bahd_config_t& cur);

// One certificate name and the VSs using it, in list order.
struct CertUsers {
    const char* certname = nullptr;
    int nbahds = 0;
    std::vector<const bahd_config_t*> bahds;
};

// The grouping of VSs by certificate name for one command.
class CertList {
public:
    void certname(const bahd_config_t& cur, int clientcert);
    void print_certname(Ctx& c, const char* certfile) const;

private:
    void add(const bahd_config_t& cur, const char* key, bool derived);

    std::vector<CertUsers> cert_users_;
    std::unordered_map<std::string_view, std::size_t> by_name_;
    TextArena derived_names_;
};

// The count and the two lists that -Q, -q and -I report.
struct CertCounts {
    int NADDRS = 0;
    std::optional<std::string> dellist;
    std::optional<std::string> servlist;

    void add_clist(const bahd_config_t& cur);
};

void get_certlists(Ctx& c, CertCounts& counts, const bahd_config_t& cur, const char* cert,
                   int reenc);
void get_3rdcertlists(CertCounts& counts, const bahd_config_t& cur, const char* cert);

// ---- name resolution and server lists (resolve.cpp) ----

// The first address the resolver gives for a name, or nullopt. Called from
// several threads at once.
using ForwardLookup = std::function<std::optional<lm_addr>(const char* name)>;
// The system resolver's.
std::optional<lm_addr> resolver_forward_lookup(const char* name);

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

void print_rs_tab_entry(Ctx& c, const rs_disp_entry& rs);
void print_newrs_tab_entry(Ctx& c, const rs_disp_entry& rs);
// The label of a -Y line: the DNS name, else the address and its mapped
// name, else the address.
std::string newrs_label(const rs_disp_entry& rs);
// Sorts the -Y table in the order its optional argument selects.
void sort_realserverlist(rs_disp_tab& tab, const char* sortorder);
void gen_add_rs_list(Ctx& c, const bahd_config_t& arg);
void print_realserverlist(Ctx& c, rs_disp_tab& tab, const char* sortorder);

// ---- WAF list and usage statistics (stats.cpp) ----

void print_wafvs(Ctx& c, int type);
// Append the client-side (inauth) or server-side (outauth) mode name for
// value to names, once; an out-of-range value is logged instead.
void set_inauth_data(Ctx& c, std::string& clientAuth, int value);
void set_outauth_data(Ctx& c, std::string& serverAuth, int value);
struct callhome_stats {
    int vs_created = 0;
    int rs_available = 0;
    int wafvs_cnt = 0;
    int owaspvs_cnt = 0;
    int espvs_cnt = 0;
    int sdn_inuse = 0;
};

// One entry of waf_info or owasp_info: the VS, or for a sub-VS its master
// and the sub-VS itself; names may be empty.
struct WafEntry {
    int vsid = 0;
    std::string vsn;
    std::string vsip;
    std::optional<int> subvsid;  // set for a sub-VS
    std::string subvsn;
    std::string wrules;
};

// Everything one -E run gathers. The WAF and OWASP lists keep every entry
// and entries are not cut at any length: the line reports the whole
// configuration rather than its first 256 VSs.
struct CallhomeData {
    callhome_stats stats;
    std::vector<WafEntry> waf_info;
    std::vector<WafEntry> owasp_info;
    std::string clientAuth;  // names, each followed by ";"
    std::string serverAuth;
    int ocsp_flag = 0;
    RsNameTable rsnames;
};

// The walk of command 30 over every VS.
CallhomeData collect_callhomedata(Ctx& c);
// Command 30: the usage-statistics line (no trailing newline).
void gen_callhomedata(Ctx& c);
int get_vs_min_interval(const Model& m, const bahd_config_t& vdata);
// Command 33: the largest get_vs_min_interval over VSs without their own
// check interval.
void print_max_check_time(Ctx& c);

// ---- configuration check (check.cpp) ----

// Adds what the loaded model shows (duplicate numbers, follows and sub-VS
// references that lead nowhere, follow loops, missing certificate files) to
// what the reader found, then prints every finding in line order as
// "FILE:LINE: error|warning: text" and a summary line. Returns the exit
// status: 1 when an error was found, else 0.
int print_check(Ctx& c, Diagnostics& d, const std::string& file);

}  // namespace lbsnap
