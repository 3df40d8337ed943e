// The command table: one row per command, from which the option string,
// --help, the refusal of --json and dispatch are all derived.
#pragma once

#include <optional>
#include <span>

#include "app/command.h"
#include "app/context.h"
#include "app/option_field.h"

namespace lbsnap {

// What a command takes from the first argument that is not an option, as
// --help shows it after the option. None: the command ignores it, or (-T,
// -d, -A) its option's argument is the command argument, which it replaces.
enum class Operand { none, vs, rule, order };

struct CommandRow {
    Command command;
    char letter;
    // The command that must be the current one for the letter to select this
    // row's command (-X after -X, -Z after -z); none: the letter's own
    // command, whatever came before.
    std::optional<Command> after;
    OptionField option;
    Operand operand;
    const char* help;
    // Returns the exit status.
    int (*text)(Ctx& c, const char* arg);
    // The JSON form, where there is one. Selection, lookups, messages on
    // standard error and writes stay those of the text form.
    void (*json)(Ctx& c, const char* arg) = nullptr;
};

// Every row, in the order of the command codes.
std::span<const CommandRow> command_rows();
const CommandRow& command_row(Command command);

// Runs one command over the loaded model; returns the exit status.
int perform_command(Ctx& c, Command command, const char* arg);

}  // namespace lbsnap
