// VS dump.
#pragma once

#include "lib/cfglib.h"
#include "reports/dump_entries.h"
#include "reports/report_context.h"

namespace lbsnap {

void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run);
// One VS on its own; cipher_sets records its custom cipher set, if any.
void print_vs(Ctx& c, const bahd_config_t& cur, CipherSetRecorder* cipher_sets);

}  // namespace lbsnap
