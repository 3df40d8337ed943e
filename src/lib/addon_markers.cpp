// The add-on controller markers: which installed add-ons control a VS.
#include "lib/addon_markers.h"

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string_view>

#include "lib/ascii.h"
#include "lib/sysroot.h"

namespace lbsnap {

namespace {

constexpr std::string_view kExtDir = "/tmp/ext";
constexpr std::string_view kAddonsDir = "/corvane/addons";

// The longest controller name a marker may hold; longer ones are not ours.
constexpr std::size_t kMaxControllerName = 16;
// The first line of a marker is read with fgets into this many bytes.
constexpr int kMarkerLineSize = 128;

// The controller name from the marker's first line, upper-cased; none when
// the marker is unreadable, empty or names something too long. A first line
// that is only a newline is not an empty marker: it lists an empty name.
std::optional<std::string> controller_name(const std::string& marker) {
    std::FILE* f = std::fopen(marker.c_str(), "r");
    if (!f)
        return std::nullopt;
    char line[kMarkerLineSize];
    bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!got)
        return std::nullopt;
    std::string_view name(line);
    if (!name.empty() && name.back() == '\n') {
        name.remove_suffix(1);
        if (name.size() > kMaxControllerName)
            return std::nullopt;
    }
    return ascii_upper(name);
}

}  // namespace

void chk_ext_ctrl(int id, std::string& out, int size) {
    out.clear();
    std::string dir = sys_path(kExtDir) + "/" + std::to_string(id);
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        auto name = controller_name(dir + "/" + e->d_name);
        if (!name)
            continue;
        std::string manifest = sys_path(kAddonsDir) + "/" + e->d_name + "/manifest";
        if (access(manifest.c_str(), F_OK) != 0)
            continue;
        // Room left for text, keeping one place for the C terminator.
        long room = static_cast<long>(size) - 1 - static_cast<long>(out.size());
        if (room <= 0)
            break;
        std::string item = "+" + *name;
        out.append(item, 0, static_cast<std::size_t>(room));
    }
    closedir(d);
}

std::optional<std::unordered_set<std::string>> ext_ctrl_dirs() {
    DIR* d = opendir(sys_path(kExtDir).c_str());
    if (!d) {
        // Missing: no VS has markers. Unreadable: each VS must be looked at.
        if (errno == ENOENT || errno == ENOTDIR) return std::unordered_set<std::string>{};
        return std::nullopt;
    }
    std::unordered_set<std::string> names;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.emplace(e->d_name);
    closedir(d);
    return names;
}

}  // namespace lbsnap
