#include "lib/settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "lib/sysroot.h"

namespace lbsnap {

namespace {

constexpr std::string_view kCfgDir = "/corvane/cfg";
constexpr std::string_view kLocalCfgDir = "/corvane/local_cfg";

}  // namespace

std::string setting_path(const char* name, Scope scope) {
    std::string path = sys_path(scope == Scope::local ? kLocalCfgDir : kCfgDir);
    path += "/_";
    path += name;
    return path;
}

std::string read_xval(const char* name, const char* sub, const char* dflt, std::size_t max_len,
                      Scope scope) {
    std::string val = dflt ? dflt : "";
    std::string path = setting_path(name, scope);
    if (sub && *sub) {
        path += '_';
        path += sub;
    }
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return val;
    std::string buf(max_len > 1 ? max_len - 1 : 0, '\0');
    ssize_t n = buf.empty() ? 0 : read(fd, buf.data(), buf.size());
    close(fd);
    if (n <= 0)
        return val;
    buf.resize(static_cast<std::size_t>(n));
    val.assign(buf.c_str());
    return val.substr(0, val.find('\n'));
}

std::string read_val(const char* name, const char* dflt, std::size_t max_len, Scope scope) {
    return read_xval(name, nullptr, dflt, max_len, scope);
}

int read_ival(const char* name, int dflt, Scope scope) {
    const std::string val = read_val(name, "", kSettingLen, scope);
    if (val.empty())
        return dflt;
    if (val == "yes")
        return 1;
    return static_cast<int>(std::strtoul(val.c_str(), nullptr, 0));
}

}  // namespace lbsnap
