// Name resolution of real servers: -d (one name) and -D (the change script
// for real servers whose DNS name now resolves elsewhere).
#pragma once

#include "lib/resolver.h"
#include "reports/report_context.h"

namespace lbsnap {

// Command 26 with a name (print its address), command 27 with null (change
// script for real servers whose DNS name now resolves elsewhere).
void resolv_realnames(Ctx& c, const char* name,
                      const ForwardLookup& resolve = resolver_forward_lookup);

}  // namespace lbsnap
