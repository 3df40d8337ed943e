// --diff: reads the two configuration files and compares them.
#pragma once

#include <cstdio>

#include "app/command.h"

namespace lbsnap {

// The exit status: 0 without differences, 1 with, 2 when the VS named is
// in neither file, 3 when a file cannot be read as a configuration.
int run_diff(const CommandLine& cl, std::FILE* out, std::FILE* err);

}  // namespace lbsnap
