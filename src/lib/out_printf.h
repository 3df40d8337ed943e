// Formatted output for the reports that write millions of short lines.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>

namespace lbsnap {

// std::fprintf for formats whose conversions are all %d, %s, %c or %%: the
// line is put together here and written with one call, which costs a
// fraction of vfprintf's general machinery. Any other format is handed to
// std::vfprintf, so the output is the same either way.
int out_printf(std::FILE* out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// The same, appended to a text instead of written.
void append_printf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void append_vprintf(std::string& out, const char* fmt, std::va_list ap) __attribute__((format(printf, 2, 0)));

}  // namespace lbsnap
