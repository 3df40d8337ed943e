// Dispatch: the report of each command, run over the loaded model.
#pragma once

#include "app/command.h"
#include "app/context.h"

namespace lbsnap {

// 1 if the command has a JSON form (--json).
bool has_json_form(Command command);

// Runs one command over the loaded model; returns the exit status.
int perform_command(Ctx& c, Command command, const char* arg);

}  // namespace lbsnap
