// Rule output: the rule summary lines (-r), the VSs using one rule (-R) and
// the VSs of every rule (-J).
#include <unordered_map>
#include <vector>

#include "lib/mangle.h"
#include "lib/out_printf.h"
#include "query/classify.h"
#include "reports/rule_output.h"
#include "store/rule_list.h"

namespace lbsnap {

namespace {

bool vs_uses_rule(const bahd_config_t& vs, const Rule_t* rule) {
    for (const Rule_list* rl : vs_rule_lists(vs))
        if (rule_is_in(*rl, rule)) return true;
    return false;
}

// The VS address text: pp_vip without the second address.
std::string vs_address(const bahd_config_t& vs) { return pp_vip(vs, false); }

}  // namespace

MatchWord match_word(int match_type) {
    switch (match_type) {
        case kMatchPrefix: return {"prefix", 0};
        case kMatchPostfix: return {"postfix", 0};
        case kMatchRegexHost: return {"dflt", 1};
        case kMatchPrefixHost: return {"prefix", 1};
        case kMatchPostfixHost: return {"postfix", 1};
        default: return {"dflt", 0};
    }
}

bool rule_passes_filter(const Options& opt, const Rule_t& rule) {
    if (opt.tflag == kOnlyContentRules && rule.rule_type != kRuleContent) return false;
    if (opt.tflag == kOnlyOtherRules && rule.rule_type == kRuleContent) return false;
    return true;
}

const Rule_t* tested_rule(Ctx& c) {
    const char* name = c.opt.tst_rule_id ? c.opt.tst_rule_id : "";
    const Rule_t* rule = find_rule(c.m, name);
    if (rule && rule != c.m.default_rule) return rule;
    std::fprintf(c.err, "Invalid rule id '%s'\n", name);
    return nullptr;
}

std::vector<const bahd_config_t*> rule_users(const Model& m, const Rule_t* rule) {
    std::vector<const bahd_config_t*> users;
    for (const auto& vsp : m.bahd)
        if (vs_uses_rule(*vsp, rule)) users.push_back(vsp.get());
    return users;
}

RuleUsers rule_users_all(const Model& m) {
    // One walk over the VSs collects the users of every rule in list order;
    // asking each rule about each VS would be rules x VSs x list length.
    RuleUsers users;
    for (const auto& vsp : m.bahd) {
        const bahd_config_t* vs = vsp.get();
        for (const Rule_list* rl : vs_rule_lists(*vs)) {
            for (const Rule_t* rule : rl->rule_list) {
                auto& list = users[rule];
                // A rule held in several lists of one VS names that VS once.
                if (list.empty() || list.back() != vs) list.push_back(vs);
            }
        }
    }
    return users;
}

const Rule_t* find_rule(const Model& m, const char* name) {
    for (const auto& rule : m.Rules)
        if (rule->rule_name == name) return rule.get();
    return nullptr;
}

void mangle_minus(std::FILE* out, const char* text) {
    if (!*text) {
        std::fputs(" -", out);
        return;
    }
    std::fputc(' ', out);
    mangle(text, out);
}

void print_rule(Ctx& c, const Rule_t& rule) {
    if (!rule_passes_filter(c.opt, rule)) return;
    const MatchWord mw = match_word(rule.match_type);
    // A replaceuri rule has no query option; its slot shows the version switch.
    const int sixth = rule.rule_type == kRuleReplaceUri ? rule.forcevers : rule.inc_query;
    out_printf(c.out, "%s: %d %s %d %d %d %d %d %d %d %d", rule.rule_name.c_str(),
                 rule.rule_type, mw.word, mw.host, rule.negation, sixth, rule.nocase,
                 rule.must_fail, rule.only_on_flag, rule.set_flag_onmatch, rule.only_on_noflag);
    mangle_minus(c.out, rule.pattern.c_str());
    mangle_minus(c.out, rule.header.c_str());
    mangle_minus(c.out, rule.replacement.c_str());
    std::fputc('\n', c.out);
}

void print_rule_in_vs(Ctx& c) {
    const Rule_t* rule = tested_rule(c);
    if (!rule) return;
    for (const bahd_config_t* vsp : rule_users(c.m, rule)) {
        const bahd_config_t& vs = *vsp;
        if (vs.isslave) {
            if (!vs.name.empty())
                out_printf(c.out, "%s (#%d)\n", vs.name.c_str(), vs.id);
            else
                out_printf(c.out, "#%d\n", vs.id);
        } else if (!vs.name.empty()) {
            out_printf(c.out, "%s (%s)\n", vs.name.c_str(), vs_address(vs).c_str());
        } else {
            out_printf(c.out, "%s\n", vs_address(vs).c_str());
        }
    }
}

void print_rule_in_vs_all(Ctx& c) {
    const RuleUsers users = rule_users_all(c.m);
    for (const auto& rule : c.m.Rules) {
        auto it = users.find(rule.get());
        if (it == users.end()) continue;
        bool first = true;
        for (const bahd_config_t* vs : it->second) {
            if (first)
                out_printf(c.out, "%s: ", rule->rule_name.c_str());
            else
                std::fputc(';', c.out);
            first = false;
            if (vs->isslave)
                out_printf(c.out, "#%d", vs->id);
            else
                out_printf(c.out, "%s", vs_address(*vs).c_str());
            if (!vs->name.empty()) out_printf(c.out, " (%s)", vs->name.c_str());
        }
        std::fputc('\n', c.out);
    }
}

}  // namespace lbsnap
