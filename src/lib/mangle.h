// Escaping of free text for the reports: letters and digits stay, every
// other byte becomes "&#%03d;" (HTML) or "%%%02x" (URL).
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lbsnap {

void mangle(const char* src, std::FILE* out);
std::string mangle_str(const char* src);
// mangle_str appended to dest.
void append_mangled(std::string& dest, std::string_view src);
std::string mangle_str_per(const char* src);

}  // namespace lbsnap
