// The VS a command argument names, as the commands that take one see it.
#pragma once

#include <cstdio>

#include "app/context.h"
#include "query/lookup.h"

namespace lbsnap {

// The messages of a failed lookup of `name`, on err.
void print_lookup_failure(std::FILE* err, const char* name, const LookupError& error);

// The VS that `name` names, or null after the messages saying why.
const bahd_config_t* named_vs(Ctx& c, const char* name);

}  // namespace lbsnap
