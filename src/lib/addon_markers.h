// The add-on controller markers: an installed add-on that controls VS N
// leaves a file under /tmp/ext/N naming its controller.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>

namespace lbsnap {

// "+NAME" for each installed add-on that controls VS `id`, at most size-1
// characters in all.
void chk_ext_ctrl(int id, std::string& out, int size);
// The names of the per-VS marker directories that chk_ext_ctrl looks into
// (VS ids as text), or nothing when they cannot be listed: then any VS may
// have one. Lets a walk over many VSs look only where there is something.
std::optional<std::unordered_set<std::string>> ext_ctrl_dirs();

}  // namespace lbsnap
