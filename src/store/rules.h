// Rule records, rule lists and the global parameter sections.
#pragma once

#include "store/model.h"

namespace lbsnap {

// The line handlers take the line's text as the reader split it out of the
// configuration: the values they keep point into it, and a value longer
// than its field is cut where it lies. diag (null but for a check) hears of
// unknown keys and cut values.
void add_rule_line(char* line, Rule_t& rule, Diagnostics* diag = nullptr);
// Replaces rl by the rules numbered in src; content 1 admits type-0 rules
// (default rule kept last), 0 admits the other types.
void expand_rules(const Model& m, const char* src, Rule_list& rl, int content);
void add_ruleid(const Model& m, Rule_list& rl, Rule_t* rule);
Rule_t* id_to_rule(const Model& m, int id);

void add_chk_line(Model& m, char* line);
void add_adapt_line(Model& m, char* line);
void add_sdn_adapt_line(Model& m, char* line);

}  // namespace lbsnap
