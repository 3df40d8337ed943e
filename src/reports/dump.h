// VS dump.
#pragma once

#include "lib/cipher_sets.h"
#include "reports/dump_entries.h"
#include "reports/report_context.h"

namespace lbsnap {

void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run);

}  // namespace lbsnap
