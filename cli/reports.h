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

// ---- template (template.cpp) ----

// ---- follow selectors (follow.cpp) ----

// ---- real-server report (realservers.cpp) ----

// ---- SNAT rules (snat.cpp) ----

// ---- certificate reports (certs.cpp) ----

// ---- name resolution and server lists (resolve.cpp) ----

// ---- WAF list and usage statistics (stats.cpp) ----

}  // namespace lbsnap
