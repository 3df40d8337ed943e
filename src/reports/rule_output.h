// Rule output.
#pragma once

#include <cstdio>
#include <unordered_map>
#include <vector>

#include "reports/report_context.h"

namespace lbsnap {

// The first rule named exactly `name` (the default rule included), or null.
const Rule_t* find_rule(const Model& m, const char* name);
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

}  // namespace lbsnap
