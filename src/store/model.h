// The in-memory image of the daemon configuration file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "store/text.h"

namespace lbsnap {

class Diagnostics;

inline constexpr int MAX_rs_data = 1024;
inline constexpr int MAX_rules = 1024;
inline constexpr int MAX_extraports = 511;
inline constexpr int MAX_checkcodes = 64;
inline constexpr char tcp_string[4] = "tcp";
inline constexpr char udp_string[4] = "udp";

// Rule types (Rule_t::rule_type): the index into l7_rule_types.
enum RuleType : std::int8_t {
    kRuleContent,
    kRuleAddHeader,
    kRuleDelHeader,
    kRuleReplaceHeader,
    kRuleReplaceUri,
    kRuleReplaceBody,
    kRuleTypeCount
};

// Match types of a content rule (Rule_t::match_type): the index into
// l7_match_types.
enum MatchType : std::int8_t {
    kMatchRegex,
    kMatchPrefix,
    kMatchPostfix,
    kMatchRegexHost,
    kMatchPrefixHost,
    kMatchPostfixHost,
    kMatchTypeCount
};

struct Rule_t {
    int id = 0;
    int line = 0;  // where its section began in the file
    FixedText<256> rule_name;
    FixedText<256> pattern;
    FixedText<256> header;
    FixedText<256> replacement;
    std::int8_t rule_type = 0;
    std::int8_t match_type = 0;
    std::int8_t negation = 0;
    std::int8_t nocase = 0;
    std::int8_t inc_query = 0;
    std::int8_t forcevers = 0;
    std::int8_t must_fail = 0;
    std::int8_t only_on_flag = 0;
    std::int8_t only_on_noflag = 0;
    std::int8_t set_flag_onmatch = 0;
};

// A bounded list of rule references: no repeats, at most MAX_rules entries,
// the default rule (if present) last.
struct Rule_list {
    std::vector<Rule_t*> rule_list;
    int rules() const { return static_cast<int>(rule_list.size()); }
    bool empty() const { return rule_list.empty(); }
};

// WAF modes of a VS (bahd_config_t::intercept): off, WAF with the rule sets
// of interceptrules, OWASP-style WAF with the rules of irules.
enum InterceptMode : int { kInterceptOff, kInterceptWaf, kInterceptOwasp };

// The server-side authentication mode (bahd_config_t::outauth) that reads
// its configuration from outconf: Kerberos constrained delegation.
inline constexpr int kOutauthKcd = 3;

struct rs_info_t {
    FixedText<64> rip;
    int port = 0;
    int id = 0;
    FixedText<256> dns;
    int weight = 0;
    int limit = 0;
    int ratelimit = 0;
    int critical = 0;
    int rsfollow = 0;
    int enabled = 0;
    int snat_port = 0;
    char for_method = 0;
    int line = 0;  // the file line that added it
    Rule_list r;

    // The forwarding method's word, from its letter: a field of its own
    // would cost every entry the room its line number takes.
    const char* for_method_str() const {
        switch (for_method) {
            case 'g': return "route";
            case 'i': return "tunnel";
            case 'm': return "nat";
            default: return "";
        }
    }
};

struct chk_args_t {
    int chk_interval;
    int chk_timeout;
    int chk_retrycount;
};

struct adapt_args_t {
    int interval;
    FixedText<1024> url;
    int ctrl_minp;
    int http_port;
};

struct sdn_adapt_args_t {
    int interval;
    int navg;
    int ctrl_minp;
};

inline const chk_args_t def_chk_args{9, 4, 2};
inline const adapt_args_t def_adapt_args = [] {
    adapt_args_t a{7, {}, 5, 80};
    a.url.set_view("/load");
    return a;
}();
inline const sdn_adapt_args_t def_sdn_adapt_args{5, 6, 5};

struct bahd_config_t {
    // Identity and VS-wide switches
    int id = 0;
    int enabled = 1;
    int follow = 0;
    int followvsid = 0;
    int reverse = 0;
    int reencrypt = 0;
    int tlimit = 0;
    int istransparent = 0;
    int isserveriniting = 0;
    int subnetorig = 0;
    int starttls = 0;
    int idletimeout = 0;
    int cache = 0;
    int cache_percent = 0;
    int compress = 0;
    int urlverify = 0;
    int useforsnat = 0;
    int forcel7 = 0;
    int multiconns = 0;

    // Address, protocol and naming
    FixedText<64> vip;
    FixedText<64> vip2;
    FixedText<16> proto;
    FixedText<128> name;
    FixedText<128> cookie_id;
    FixedText<128> query_tag;
    int port = 0;

    // Scheduling, persistence and health check
    FixedText<16> checker_type;
    FixedText<16> adaptive_method;
    FixedText<16> persist;
    FixedText<6> schedule;
    int timeout = 0;
    FixedText<64> sslaccel;
    int errcode = 0;
    int errorpage = 0;
    FixedText<512> errurl;
    FixedText<128> check_url;
    FixedText<255> check_pattern;
    FixedText<128> check_host;
    FixedText<2048> check_postdata;
    int check_version = 0;
    FixedText<256> check_headers;
    int check_minlen = 0;
    int useget = 0;

    // Standby, gateways and header handling
    int stdb_port = 0;
    FixedText<64> stdb_vip;
    FixedText<64> dfltgw;
    FixedText<64> dfltgw2;
    FixedText<6> mtype;
    int rewrite = 0;
    int client_cert = 0;
    int chk_port = 0;
    FixedText<256> add_hdr_key;
    FixedText<256> add_hdr_val;
    FixedText<256> copy_hdr_key;
    FixedText<256> copy_hdr_val;

    // Certificates
    FixedText<8176> certfile;
    FixedText<128> clientcertfile;

    // Real servers and rule lists. rsinfo holds the used entries (n_rs of
    // them, at most MAX_rs_data); the first free entry, which real-server
    // lines without "-r" fill ahead of the line that adds it, is the
    // reader's while the section is read (RsPart in reader.h).
    std::vector<rs_info_t> rsinfo;
    Rule_list r;
    Rule_list requests;
    Rule_list responses;
    Rule_list matchbody;

    // Local binds and extra ports (empty = none)
    std::vector<lm_addr> localbinds;
    std::vector<int> extraports;

    // Access lists, ESP and single sign-on
    OptText hostallow;
    OptText dirallow;
    OptText excludedir;
    OptText smtpallow;
    int esplog = 0;
    int espdopubpriv = 0;
    int espdodispass = 0;
    int esppermcookie = 0;
    OptText domain;
    OptText altdomains;
    OptText ssodir;
    OptText outconf;
    OptText logoff;
    OptText ssomsg;
    Rule_list preprocess;

    // Roles, authentication, TLS and ESP groups
    int enable_esp = 0;
    int ismaster = 0;
    int isslave = 0;
    int inauth = 0;
    int outauth = 0;
    int add_via = 0;
    int qos = 0;
    int tlstype = 0;
    int needhname = 0;
    OptText ciphers;
    OptText cipher_set;
    OptText espgroups;
    OptText espgrsids;
    int doespnested = 0;
    int doespmultidomain = 0;
    OptText espsteering;
    OptText reversesni;
    int needcac = 0;
    int http2_support = 0;
    int extendedhealth = 0;
    int nrsneeded = 0;

    // Security headers, bearer tokens, status codes, LDAP, password change,
    // CAPTCHA and server authentication
    int sechdrs = 0;
    int verifybearer = 0;
    OptText bearercert;
    OptText bearertext;
    std::vector<int> checkcodes;
    int pass_cipher = 0;
    int pass_sni = 0;
    FixedText<64> ldapendpoint;
    OptText ecplink;
    OptText ecpmsg;
    int ecpexpw = 0;
    int ecpexpwdays = 0;
    int captcha = 0;
    OptText captcha_pubkey;
    OptText captcha_url;
    OptText captcha_privkey;
    OptText captcha_verify;
    OptText serverfbapath;
    OptText serverfba;
    int serverfbaunameonly = 0;
    OptText tokenserver;
    OptText addauthhdr;
    OptText verify_certs;

    // WAF (intercept) settings
    int intercept = 0;
    int maxincidents = 0;
    int interceptopts = 0;
    OptText interceptrules;
    OptText interceptrulesdis;
    OptText interceptpostctypes;
    int iopts = 0;
    int iparanoia = 0;
    int itestparanoia = 0;
    int ithreshold = 0;
    OptText irules;
    OptText icustom;
    OptText iexcludes;
    OptText icountries;
    int ipcrelimit = 0;
    OptText iauditparts;
    OptText idisabledrules;
    OptText ipostctypes;
    int iblockip = 0;

    // Per-VS health-check overrides, limits
    int chk_interval = 0;
    int chk_timeout = 0;
    int chk_retrycount = 0;
    int bandwidth = 0;
    int refresh_persist = 0;
    int cpslimit = 0;
    int rpslimit = 0;
    int connlimit = 0;

    int line = 0;  // where its section began in the file

    int n_rs() const { return static_cast<int>(rsinfo.size()); }
    int nextraports() const { return static_cast<int>(extraports.size()); }
    int nlocalbinds() const { return static_cast<int>(localbinds.size()); }
    int ncheckcodes() const { return static_cast<int>(checkcodes.size()); }
};

// Lookup indexes over the VS list, built once after loading (build_indexes
// in indexes.cpp). Each keeps the first match in list order, so a lookup
// answers as a walk from the head of the list would.
struct VsIndexes {
    std::unordered_map<int, bahd_config_t*> by_id;
    std::unordered_map<std::string_view, bahd_config_t*> by_name;
    // The non-sub VSs that hold one address text (as vip or vip2), in list
    // order; a large group also by every port it serves (port and extra
    // ports), so a lookup with a port does not walk the whole group.
    struct AddrGroup {
        std::vector<bahd_config_t*> vss;
        // Only large groups have one: most addresses hold one VS or two.
        std::unique_ptr<std::unordered_map<int, std::vector<bahd_config_t*>>> by_port;
    };
    std::unordered_map<std::string_view, AddrGroup> by_addr;
    // The real-server entries of VSs that are not masters, by id; among
    // equal ids in list order, so the first is the one a walk finds.
    struct RsEntry {
        int id;
        std::uint32_t vs_index;  // in the VS list; with rs, the walk's order
        rs_info_t* rs;
    };
    std::vector<RsEntry> rs_by_id;
};

struct Model {
    // The configuration file, read once and split into lines in place:
    // the model's texts point into it, so it lives as long as the model.
    FileBuffer file_text;
    // The texts the reader builds rather than finds in the file.
    TextArena arena;

    // The VS list in list order: ordinary VSs by address and port, then
    // sub-VSs by id and port. Records are owned here and never move.
    std::vector<std::unique_ptr<bahd_config_t>> bahd;
    // The rule list: the default rule first, then the accepted rules in the
    // order their sections ended.
    std::vector<std::unique_ptr<Rule_t>> Rules;
    Rule_t* default_rule = nullptr;
    std::unordered_map<int, Rule_t*> rule_by_id;

    chk_args_t chk_args = def_chk_args;
    adapt_args_t adapt_args = def_adapt_args;
    sdn_adapt_args_t sdn_adapt_args = def_sdn_adapt_args;
    int got_adapt_args = 0;

    VsIndexes idx;

    // Where the reader reports what it ignores, cuts or drops, while it
    // loads for a configuration check; null otherwise.
    Diagnostics* diag = nullptr;
};

}  // namespace lbsnap
