// VS dump.
#pragma once

#include <string>

#include "lib/cipher_sets.h"
#include "reports/dump_entries.h"
#include "reports/report_context.h"

namespace lbsnap {

// Dumps one VS, or every VS in list order (on two threads when they are
// many), recording custom cipher sets.
void print_vs(Ctx& c, const bahd_config_t& cur, CipherSetRecorder& cipher_sets);
void print_every_vs(Ctx& c, CipherSetRecorder& cipher_sets);

// Appends the dump of VS cur to out (raw: -a).
void dump_vs_text(std::string& out, const Model& m, const bahd_config_t& cur, DumpRun& run, bool raw);

// The lines of one entry of VS d.vs, as the dump writes them (raw: -a).
void dump_entry_text(std::string& out, const DumpEntries& d, const DumpEntry& e, bool raw);
// The RS line (and the RSR line) of one real server of VS vs.
void dump_rs_text(std::string& out, const bahd_config_t& vs, const DumpLine& l, const RsLine& rs,
                  bool raw);

}  // namespace lbsnap
