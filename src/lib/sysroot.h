// The fixed-path root: every fixed path of the appliance ("/corvane/cfg",
// "/tmp/hosts.map", ...) is formed through sys_path, which prepends a root
// directory. The installed tool has an empty root; test builds compile in a
// directory of their own, and unit tests may change it in-process.
#pragma once

#include <string>
#include <string_view>

namespace lbsnap {

// The root compiled into the executable. Each executable compiles
// lib/compiled_root.cpp with a root of its own, so the library is built once
// for the tool, the end-to-end binary and the unit tests.
const char* lbsnap_compiled_root();

std::string sys_path(std::string_view fixed_path);
void set_sysroot(std::string root);
const std::string& sysroot();

}  // namespace lbsnap
