// Rule records, rule lists and the global parameter sections.
#pragma once

#include "store/model.h"

namespace lbsnap {

class ReadContext;

// The line handlers take the line's text as the reader split it out of the
// configuration; the fields keep copies, a value longer than its field cut.
// A check hears of unknown keys and cut values through ctx.
void add_rule_line(ReadContext& ctx, char* line, Rule_t& rule);
// Replaces rl by the rules numbered in src; content 1 admits type-0 rules
// (default rule kept last), 0 admits the other types.
void expand_rules(ReadContext& ctx, const char* src, Rule_list& rl, bool content);
// Adds rule to a list being gathered, unless it holds it already or is
// full; the default rule stays last.
void add_ruleid(const Model& m, std::vector<const Rule_t*>& rules, const Rule_t* rule);
const Rule_t* id_to_rule(const Model& m, int id);

void add_chk_line(ReadContext& ctx, char* line);
void add_adapt_line(ReadContext& ctx, char* line);
void add_sdn_adapt_line(ReadContext& ctx, char* line);

}  // namespace lbsnap
