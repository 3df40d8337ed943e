// The command line: options, command codes, the command argument, dispatch.
#pragma once

#include <cstdio>

#include "context.h"
#include "options.h"

namespace lbsnap {

inline constexpr char kOptString[] = "HvrcsSlLf:N:n:o:R:XtCzZ:aM:mQ:q:F:T:V6b:B:d:DA:YEI:JjW:w:";

// Parses the options with the platform's getopt_long (argument permutation
// included; the long options are --json and --check). Returns 0, or the
// exit status 2 after getopt's diagnostic, "Unknown option  '%c'\n" and the
// usage line on err, or after a message when --json asks for a command that
// has no JSON form. --check ignores the command options, --json included.
int parse_command_line(int ac, char** av, CommandLine& cl, std::FILE* err);
void write_usage(std::FILE* err);

// 1 if the command has a JSON form (--json).
bool has_json_form(int operation);

// Runs one command over the loaded model; returns the exit status.
int perform_command(Ctx& c, int operation, const char* arg);

}  // namespace lbsnap
