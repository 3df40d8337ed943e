// Rule records, rule lists and the global parameter sections.
#include "store/rules.h"

#include <strings.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "lib/config_int.h"
#include "store/key_table.h"
#include "store/l7user.h"
#include "store/read_context.h"
#include "store/rule_list.h"

namespace lbsnap {
namespace {

// The one-byte fields keep the low 8 bits of the converted value.
std::int8_t low_byte(int v) { return static_cast<std::int8_t>(static_cast<std::uint8_t>(v)); }
std::int8_t flag_of(int v) { return v != 0 ? 1 : 0; }

// A check hears of values cut to their field.
using RuleHandler = void (*)(Rule_t&, char*, ReadContext&);

template <auto F>
void rule_text(Rule_t& r, char* v, ReadContext& ctx) {
    note_cut(ctx, v, r.*F);
    (r.*F).take(ctx.m.arena, v);
}
template <auto F>
void rule_int(Rule_t& r, char* v, ReadContext& ctx) {
    r.*F = config_int(v);
    if (ctx.checking()) ctx.int_value(v);
}
template <auto F>
void rule_byte(Rule_t& r, char* v, ReadContext& ctx) {
    r.*F = low_byte(config_int(v));
    if (ctx.checking()) ctx.byte_value(v, r.*F);
}
template <auto F>
void rule_flag(Rule_t& r, char* v, ReadContext& ctx) {
    r.*F = flag_of(config_int(v));
    if (ctx.checking()) ctx.int_value(v);
}

void rule_match_type(Rule_t& r, char* v, ReadContext& ctx) {
    for (std::size_t i = 0; i < std::size(l7_match_types); ++i)
        if (strcasecmp(v, l7_match_types[i]) == 0) {
            r.match_type = static_cast<std::int8_t>(i);
            return;
        }
    ctx.match_type_unknown(v);
}

const KeyTable<RuleHandler>& rule_keys() {
    static const KeyTable<RuleHandler> t{
        {"NAME:", rule_text<&Rule_t::rule_name>},
        {"VALUE:", rule_text<&Rule_t::pattern>},
        {"HEADER:", rule_text<&Rule_t::header>},
        {"REPLACEMENT:", rule_text<&Rule_t::replacement>},
        {"ID:", rule_int<&Rule_t::id>},
        {"TYPE:", rule_byte<&Rule_t::rule_type>},
        {"NEGATION:", rule_flag<&Rule_t::negation>},
        {"INCQUERY:", rule_flag<&Rule_t::inc_query>},
        {"NOCASE:", rule_flag<&Rule_t::nocase>},
        {"FORCEVERS:", rule_flag<&Rule_t::forcevers>},
        {"MUSTFAIL:", rule_flag<&Rule_t::must_fail>},
        {"ONLYONFLAG:", rule_byte<&Rule_t::only_on_flag>},
        {"ONLYONNOFLAG:", rule_byte<&Rule_t::only_on_noflag>},
        {"SETFLAG:", rule_byte<&Rule_t::set_flag_onmatch>},
        {"OPTIONS:", rule_match_type},
    };
    return t;
}

template <class Block>
using BlockHandler = void (*)(Block&, char*, ReadContext&);

template <class Block, auto F>
void block_int(Block& b, char* v, ReadContext& ctx) {
    b.*F = config_int(v);
    if (ctx.checking()) ctx.int_value(v);
}

template <class Block>
void apply(const KeyTable<BlockHandler<Block>>& keys, Block& b, char* line, ReadContext& ctx,
           const char* section) {
    char* value = nullptr;
    if (auto* h = keys.find(line, &value)) (*h)(b, value, ctx);
    else ctx.unknown_key(section, keys.keys());
}

}  // namespace

void add_rule_line(ReadContext& ctx, char* line, Rule_t& rule) {
    char* value = nullptr;
    if (auto* h = rule_keys().find(line, &value)) (*h)(rule, value, ctx);
    else ctx.unknown_key("a rule section", rule_keys().keys());
}


void add_ruleid(const Model& m, std::vector<const Rule_t*>& v, const Rule_t* rule) {
    if (v.size() >= static_cast<std::size_t>(MAX_rules) || std::find(v.begin(), v.end(), rule) != v.end()) return;
    if (!v.empty() && v.back() == m.default_rule)
        v.insert(v.end() - 1, rule);
    else
        v.push_back(rule);
}

const Rule_t* id_to_rule(const Model& m, int id) {
    auto it = m.rule_by_id.find(id);
    return it == m.rule_by_id.end() ? nullptr : it->second;
}

void expand_rules(ReadContext& ctx, const char* src, Rule_list& rl, bool content) {
    Model& m = ctx.m;
    std::vector<const Rule_t*>& v = ctx.rules_at_hand();
    v.clear();
    bool saw_default = false;
    const char* p = src;
    while (true) {
        while (*p == ',') ++p;
        if (!*p) break;
        // Numbers beyond int clamp as the rule's own "ID:" does.
        const char* end = nullptr;
        int n = config_int(p, &end);
        if (end == p) {  // a token without digits ends the list
            ctx.rule_list_stops(p);
            break;
        }
        // The token runs to the next comma whatever follows its number.
        const char* next = std::strchr(end, ',');
        p = next ? next : end + std::strlen(end);
        const Rule_t* r = id_to_rule(m, n);
        if (!r) {
            ctx.rule_unknown(n);
            continue;
        }
        // Content lists take content rules only, the other lists the others.
        const bool is_content = r->rule_type == kRuleContent;
        if (!is_content == content) ctx.rule_wrong_kind(*r, content);
        if (content) {
            if (!is_content) continue;
            if (r == m.default_rule)
                saw_default = true;
            else
                add_ruleid(m, v, r);
        } else if (!is_content) {
            add_ruleid(m, v, r);
        }
    }
    if (saw_default) add_ruleid(m, v, m.default_rule);
    rl.rule_list = m.rule_lists.keep(v);
}

void add_chk_line(ReadContext& ctx, char* line) {
    using H = BlockHandler<chk_args_t>;
    static const KeyTable<H> keys{
        {"INTERVAL:", block_int<chk_args_t, &chk_args_t::chk_interval>},
        {"TIMEOUT:", block_int<chk_args_t, &chk_args_t::chk_timeout>},
        {"RETRY_COUNT:", block_int<chk_args_t, &chk_args_t::chk_retrycount>},
    };
    apply(keys, ctx.m.chk_args, line, ctx, "a checker section");
}

void add_adapt_line(ReadContext& ctx, char* line) {
    using H = BlockHandler<adapt_args_t>;
    static const KeyTable<H> keys{
        {"INTERVAL:", block_int<adapt_args_t, &adapt_args_t::interval>},
        {"URL:", [](adapt_args_t& b, char* v, ReadContext& c) {
             note_cut(c, v, b.url);
             b.url.take(c.m.arena, v);
         }},
        {"CTRL_MINP:", block_int<adapt_args_t, &adapt_args_t::ctrl_minp>},
        {"HTTP_PORT:", block_int<adapt_args_t, &adapt_args_t::http_port>},
    };
    ctx.m.got_adapt_args = 1;
    apply(keys, ctx.m.adapt_args, line, ctx, "an adaptive HTTP section");
}

void add_sdn_adapt_line(ReadContext& ctx, char* line) {
    using H = BlockHandler<sdn_adapt_args_t>;
    static const KeyTable<H> keys{
        {"INTERVAL:", block_int<sdn_adapt_args_t, &sdn_adapt_args_t::interval>},
        {"NAVG:", block_int<sdn_adapt_args_t, &sdn_adapt_args_t::navg>},
        {"CTRL_MINP:", block_int<sdn_adapt_args_t, &sdn_adapt_args_t::ctrl_minp>},
    };
    apply(keys, ctx.m.sdn_adapt_args, line, ctx, "an adaptive SDN section");
}

}  // namespace lbsnap
