// The dump of every VS, made in blocks of VSs on two threads and written in
// list order.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>

#include "lib/cipher_sets.h"
#include "reports/dump_entries.h"
#include "store/model.h"

namespace lbsnap {

using VsSpan = std::span<const std::unique_ptr<const bahd_config_t>>;
// Appends the dump of `vss`, the VSs of block `block`, to `text`, working
// them out with the run of the thread at hand (which records no cipher set).
using DumpBlock = std::function<void(std::string& text, std::size_t block, VsSpan vss, DumpRun& run)>;
using WriteBlock = std::function<void(const std::string& text)>;

// Dumps every VS of m: `dump` makes each block's text, `write` gets the
// blocks in list order. Each VS's custom cipher set is recorded, in list
// order, before its block is written.
void dump_every_vs(const Model& m, CipherSetRecorder& cipher_sets, const DumpBlock& dump, const WriteBlock& write);

}  // namespace lbsnap
