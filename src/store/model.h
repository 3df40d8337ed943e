// The in-memory image of the daemon configuration file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "lib/built_once.h"
#include "store/text.h"

namespace lbsnap {

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

// The references of a rule list as the model keeps them: in the model's
// pool (RuleListPool), ended by a null. A record pays one pointer for a
// list, and an empty list nothing more; most lists of most records are
// empty, and a real server has one.
class RuleRefs {
public:
    using const_iterator = const Rule_t* const*;

    RuleRefs() = default;
    explicit RuleRefs(const Rule_t* const* first) : first_(first) {}

    const_iterator begin() const { return first_; }
    const_iterator end() const { return first_ + size(); }
    std::size_t size() const {
        std::size_t n = 0;
        if (first_)
            while (first_[n]) ++n;
        return n;
    }
    bool empty() const { return !first_ || !*first_; }
    const Rule_t* operator[](std::size_t i) const { return first_[i]; }
    const Rule_t* front() const { return first_[0]; }
    const Rule_t* back() const { return first_[size() - 1]; }

private:
    const Rule_t* const* first_ = nullptr;
};

// A bounded list of rule references: no repeats, at most MAX_rules entries,
// the default rule (if present) last.
struct Rule_list {
    RuleRefs rule_list;
    int rules() const { return static_cast<int>(rule_list.size()); }
    bool empty() const { return rule_list.empty(); }
};

// Where a model's rule lists keep their references, packed one list after
// the other for the life of the model.
class RuleListPool {
public:
    RuleRefs keep(const std::vector<const Rule_t*>& rules);

private:
    static constexpr std::size_t block_size = 1 << 12;  // references
    std::vector<std::unique_ptr<const Rule_t*[]>> blocks_;
    const Rule_t** free_ = nullptr;
    std::size_t left_ = 0;
};

// WAF modes of a VS (bahd_config_t::intercept): off, WAF with the rule sets
// of interceptrules, OWASP-style WAF with the rules of irules.
enum InterceptMode : int { kInterceptOff, kInterceptWaf, kInterceptOwasp };

// The server-side authentication mode (bahd_config_t::outauth) that reads
// its configuration from outconf: Kerberos constrained delegation.
inline constexpr int kOutauthKcd = 3;

// A hundred thousand of these make a large configuration: the fields are
// ordered so that none pads another.
struct rs_info_t {
    FixedText<64> rip;
    FixedText<256> dns;
    Rule_list r;
    int port = 0;
    int id = 0;
    int weight = 0;
    int limit = 0;
    int ratelimit = 0;
    int critical = 0;
    int rsfollow = 0;
    int snat_port = 0;
    int line = 0;  // the file line that added it
    char for_method = 0;
    std::int8_t enabled = 0;  // 0 for a line written "!-a", else 1

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

// One field per setting row; the rows say what sets and shows each, and in
// which group it is kept. VS_KEEP_IN_group(decl) keeps the declarations of
// one group.
#define VS_SETTING(field, type, init, key, read, line, gate, group) VS_KEEP_IN_##group(type field = init;)
#define VS_KEY(key, read)
#define VS_LINE(line)

// The settings of the web application firewall and of ESP (authentication,
// single sign-on, CAPTCHA): a tenth of the VSs or fewer write any of them,
// so a VS that writes none points at the defaults, and VSs that hold the
// same values share one copy (the reader settles that as a section ends).
#define VS_KEEP_IN_record(decl)
#define VS_KEEP_IN_waf(decl) decl
#define VS_KEEP_IN_esp(decl)
struct VsWafSettings {
#include "store/vs_settings.def"
    bool operator==(const VsWafSettings&) const = default;
};
#undef VS_KEEP_IN_waf
#undef VS_KEEP_IN_esp
#define VS_KEEP_IN_waf(decl)
#define VS_KEEP_IN_esp(decl) decl
struct VsEspSettings {
#include "store/vs_settings.def"
    bool operator==(const VsEspSettings&) const = default;
};
// What a VS that writes none of a group's keys holds.
template <class Group>
inline const Group kDefaultSettings{};

#undef VS_KEEP_IN_record
#undef VS_KEEP_IN_esp
#define VS_KEEP_IN_record(decl) decl
#define VS_KEEP_IN_esp(decl)
struct bahd_config_t {
#include "store/vs_settings.def"
    const VsWafSettings* waf = &kDefaultSettings<VsWafSettings>;
    const VsEspSettings* esp = &kDefaultSettings<VsEspSettings>;

    // The used real-server entries (n_rs of them, at most MAX_rs_data); the
    // first free entry, which real-server lines without "-r" fill ahead of
    // the line that adds it, is the reader's while the section is read
    // (RsPending in reader.h).
    std::vector<rs_info_t> rsinfo;

    int line = 0;  // where its section began in the file

    int n_rs() const { return static_cast<int>(rsinfo.size()); }
    int nextraports() const { return static_cast<int>(extraports.size()); }
    int nlocalbinds() const { return static_cast<int>(localbinds.size()); }
    int ncheckcodes() const { return static_cast<int>(checkcodes.size()); }
};
#undef VS_KEEP_IN_record
#undef VS_KEEP_IN_waf
#undef VS_KEEP_IN_esp
#undef VS_SETTING
#undef VS_KEY
#undef VS_LINE

// Lookup indexes over the VS list (indexes.cpp), built on first use. Each
// keeps the first match in list order, so a lookup answers as a walk from
// the head of the list would. The lookup by number is apart: most commands
// look one VS up by number and follow no real server.
struct VsIdIndex {
    std::unordered_map<int, const bahd_config_t*> by_id;
};
struct VsIndexes {
    // The real-server entries of VSs that are not masters, by id; among
    // equal ids in list order, so the first is the one a walk finds. Of
    // those without an id (0) only that first one is here.
    struct RsEntry {
        int id;
        std::uint32_t vs_index;  // in the VS list; with rs, the walk's order
        const rs_info_t* rs;
    };
    std::vector<RsEntry> rs_by_id;
    // The VS list's places in the order the VSs are written in the file.
    std::vector<std::uint32_t> in_file_order;
};

// The lookups by name and by address, each built apart on the first
// lookup of its kind: hashing every VS's texts is most of what indexes
// cost, the commands that follow numbers (the check, the follow selectors)
// ask neither, and the dump only asks by address.
struct VsNameIndex {
    std::unordered_map<std::string_view, const bahd_config_t*> by_name;
};
struct VsAddrIndex {
    // The non-sub VSs that hold one address text (as vip or vip2), in list
    // order; a large group also by every port it serves (port and extra
    // ports), so a lookup with a port does not walk the whole group.
    struct AddrGroup {
        std::vector<const bahd_config_t*> vss;
        // Only large groups have one: most addresses hold one VS or two.
        std::unique_ptr<std::unordered_map<int, std::vector<const bahd_config_t*>>> by_port;
    };
    std::unordered_map<std::string_view, AddrGroup> by_addr;
};

struct Model {
    // The texts of the records: copies of what the file says, so the file
    // itself is not kept.
    TextArena arena;
    RuleListPool rule_lists;
    // The groups of settings that VSs hold other than the defaults.
    std::deque<VsWafSettings> waf_settings;
    std::deque<VsEspSettings> esp_settings;
    // The parts of the file read on other threads: what their VSs, now in
    // bahd, keep of their texts, rule lists and groups.
    std::vector<std::unique_ptr<Model>> parts;

    // The VS list in list order: ordinary VSs by address and port, then
    // sub-VSs by id and port. Records are owned here and never move; a
    // record joins complete (the reader builds it apart until its section
    // ends) and never changes after, so whoever holds the model, the reader
    // included, reads const records only.
    std::vector<std::unique_ptr<const bahd_config_t>> bahd;
    // The rule list: the default rule first, then the accepted rules in the
    // order their sections ended. Rules too join complete.
    std::vector<std::unique_ptr<const Rule_t>> Rules;
    const Rule_t* default_rule = nullptr;
    std::unordered_map<int, const Rule_t*> rule_by_id;

    chk_args_t chk_args = def_chk_args;
    adapt_args_t adapt_args = def_adapt_args;
    sdn_adapt_args_t sdn_adapt_args = def_sdn_adapt_args;
    int got_adapt_args = 0;

    // Built by the first lookup that needs them (id_index(m), indexes(m),
    // name_index(m) and addr_index(m) in indexes.h): most commands look no VS up, and a
    // large configuration's indexes cost a tenth of its load. A report may
    // look VSs up from two threads at once.
    BuiltOnce<VsIdIndex> id_idx;
    BuiltOnce<VsIndexes> idx;
    BuiltOnce<VsNameIndex> name_idx;
    BuiltOnce<VsAddrIndex> addr_idx;
};

}  // namespace lbsnap
