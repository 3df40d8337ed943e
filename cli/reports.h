// The report functions, one block per report family (cli/reports/*.cpp).
#pragma once

#include <cstdio>

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
// The first rule named exactly `name` (the default rule included), or null.
Rule_t* find_rule(const Model& m, const char* name);
// The summary line of one rule, unless c.opt.tflag filters its type out.
void print_rule(Ctx& c, const Rule_t& rule);
// A blank and the escaped text; " -" for an empty text.
void mangle_minus(std::FILE* out, const char* text);
// The VSs using the rule named by c.opt.tst_rule_id.
void print_rule_in_vs(Ctx& c);
// Each rule with the VSs using it.
void print_rule_in_vs_all(Ctx& c);

// ---- template (template.cpp) ----
// The whole template of a VS that is not a sub-VS; marks the rules it
// defines as dumped.
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
void print_rsfollows(Ctx& c, int rsid);
void print_hasfollows(Ctx& c, int rsid);

// ---- real-server report (realservers.cpp) ----

// ---- SNAT rules (snat.cpp) ----

// ---- certificate reports (certs.cpp) ----

// ---- name resolution and server lists (resolve.cpp) ----

// ---- WAF list and usage statistics (stats.cpp) ----

}  // namespace lbsnap
