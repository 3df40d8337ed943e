// The report functions, one block per report family (cli/reports/*.cpp).
#pragma once

#include <cstdio>

#include "context.h"
#include "model.h"

namespace lbsnap {

// ---- VS dump (dump.cpp) ----

// ---- listings (listings.cpp) ----

// ---- rule output (rule_output.cpp) ----

// ---- template (template.cpp) ----

// ---- follow selectors (follow.cpp) ----

// ---- real-server report (realservers.cpp) ----

// ---- SNAT rules (snat.cpp) ----

// ---- certificate reports (certs.cpp) ----

// ---- name resolution and server lists (resolve.cpp) ----

// ---- WAF list and usage statistics (stats.cpp) ----

}  // namespace lbsnap
