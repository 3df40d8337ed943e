// VS dump.
#pragma once

#include <string>

#include "lib/cipher_sets.h"
#include "reports/dump_entries.h"
#include "reports/report_context.h"

namespace lbsnap {

// Dumps one VS of a run; the text gathers in the run until flush_dump.
void print_vs(Ctx& c, const bahd_config_t& cur, DumpRun& run);
void flush_dump(Ctx& c, DumpRun& run);

// The lines of one entry of VS d.vs, as the dump writes them (raw: -a).
void dump_entry_text(std::string& out, const DumpEntries& d, const DumpEntry& e, bool raw);
// The RS line (and the RSR line) of one real server of VS vs.
void dump_rs_text(std::string& out, const bahd_config_t& vs, const DumpLine& l, const RsLine& rs,
                  bool raw);

}  // namespace lbsnap
