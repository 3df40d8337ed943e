// The command line: parsing and --help, both driven by the command table
// and the modifier and long-option rows.
#pragma once

#include <cstdio>

#include "app/command.h"

namespace lbsnap {

// Parses the options with the platform's getopt_long (argument permutation
// included). Returns 0, or the exit status 2 after getopt's diagnostic,
// "Unknown option  '%c'\n" and the usage line on err, or after a message
// when --json asks for a command that has no JSON form. --check ignores the
// command options, --json included. --help and --version end the parsing
// where they stand: what follows them is not looked at, and cl.about says
// which one to print instead of running anything.
int parse_command_line(int ac, char** av, CommandLine& cl, std::FILE* err);
void write_usage(std::FILE* err);

// What --help and --version print; returns the exit status, 0.
int write_about(About about, std::FILE* out);

}  // namespace lbsnap
