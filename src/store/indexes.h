// The lookup indexes over the VS list (Model::id_idx, idx, name_idx, addr_idx), each
// built once, on first use.
#pragma once

#include <span>
#include <vector>

#include "store/model.h"

namespace lbsnap {

// The indexes of the loaded model, each built on its first call.
const VsIdIndex& id_index(const Model& m);
const VsIndexes& indexes(const Model& m);
// The lookups by name and by address, each built on its first call.
const VsNameIndex& name_index(const Model& m);
const VsAddrIndex& addr_index(const Model& m);

// The first real-server entry with `id` in the id index (the one a walk of
// the VS list finds first), or null.
const VsIndexes::RsEntry* first_rs_entry(std::span<const VsIndexes::RsEntry> entries, int id);

// The VSs of an address group that may serve `port` (0: any), in list order.
const std::vector<const bahd_config_t*>& port_candidates(const VsAddrIndex::AddrGroup& g, int port);

}  // namespace lbsnap
