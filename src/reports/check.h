// Configuration check.
#pragma once

#include <string>

#include "reports/report_context.h"
#include "store/diagnostics.h"

namespace lbsnap {

// Adds what the loaded model shows (duplicate numbers, follows and sub-VS
// references that lead nowhere, follow loops, missing certificate files) to
// what the reader found, then prints every finding in line order as
// "FILE:LINE: error|warning: text" and a summary line. Returns the exit
// status: 1 when an error was found (with `strict`, a warning too), else 0.
int print_check(Ctx& c, Diagnostics& d, const std::string& file, bool strict);

}  // namespace lbsnap
