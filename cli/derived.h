// Facts the reports derive from the configuration, worked out once after
// loading so that every report reads the model as it stands.
#pragma once

#include "model.h"

namespace lbsnap {

// Fills the derived fields of every VS (shown_followvsid, shown_certfile);
// needs the indexes (build_indexes), so it runs after them.
void derive_facts(Model& m);

}  // namespace lbsnap
