#include "lib/sysroot.h"

namespace lbsnap {

namespace {
std::string& root_storage() {
    static std::string root = lbsnap_compiled_root();
    return root;
}
}  // namespace

std::string sys_path(std::string_view fixed_path) {
    std::string p = root_storage();
    p.append(fixed_path);
    return p;
}

void set_sysroot(std::string root) { root_storage() = std::move(root); }

const std::string& sysroot() { return root_storage(); }

}  // namespace lbsnap
