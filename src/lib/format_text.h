// printf-style formatting into a string, for texts that are built before
// they are written (log lines, labels, findings).
#pragma once

#include <cstdarg>
#include <string>

namespace lbsnap {

std::string format_text(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat_text(const char* fmt, std::va_list ap) __attribute__((format(printf, 1, 0)));

}  // namespace lbsnap
