// The appliance's settings store: one file per setting under /corvane/cfg.
// Cipher sets: lib/cipher_sets.h; add-on markers: lib/addon_markers.h.
#pragma once

#include <cstddef>
#include <string>

namespace lbsnap {

// Which settings directory a setting lives in: the appliance's, or the one
// local to this machine. A lookup reads exactly one of them.
enum class Scope { normal, local };

// The value capacity a caller gets unless it asks for less: at most
// kSettingLen-1 bytes of a setting are read.
inline constexpr std::size_t kSettingLen = 8192;

// The path of setting `name`.
std::string setting_path(const char* name, Scope scope = Scope::normal);
// The setting `name` (with "_" and `sub` appended to its file name when sub
// is not empty) up to its first newline, at most max_len-1 bytes of it; the
// default when the file is missing, unreadable or empty.
std::string read_xval(const char* name, const char* sub, const char* dflt,
                      std::size_t max_len = kSettingLen, Scope scope = Scope::normal);
std::string read_val(const char* name, const char* dflt, std::size_t max_len = kSettingLen,
                     Scope scope = Scope::normal);
// The setting as a number: "yes" is 1, other text converts as strtoul with
// base 0 does; the default when it is absent or empty.
int read_ival(const char* name, int dflt, Scope scope = Scope::normal);

}  // namespace lbsnap
