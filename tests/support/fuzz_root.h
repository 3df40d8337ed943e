// The fixed-path root of a fuzzing harness: reports may read settings and
// record cipher sets, so they get a private root in the working directory,
// never the appliance's paths.
#pragma once

#include <filesystem>

#include "lib/sysroot.h"

namespace lbsnap::fuzzing {

// Sets the root once per process.
inline void use_private_root() {
    static const bool rooted = [] {
        auto root = std::filesystem::current_path() / "fuzz-root";
        std::filesystem::create_directories(root / "corvane/cfg");
        set_sysroot(root.string());
        return true;
    }();
    (void)rooted;
}

}  // namespace lbsnap::fuzzing
