// What changed between two configurations (--diff): the VSs, their real
// servers, the rules and the global parameters of two loaded models,
// compared as the dump shows them.
#pragma once

#include <cstdio>

#include "reports/options.h"
#include "store/model.h"

namespace lbsnap {

struct DiffInput {
    const Model& old_model;
    const Model& new_model;
    const Options& opt;     // -a: texts raw; --json: the JSON form
    const bahd_config_t* vs;  // only this VS (of either model) and its pair, or null
    std::FILE* out;
    std::FILE* err;
};

// The exit status as diff has it: 0 without differences, 1 with.
int print_diff(const DiffInput& in);

}  // namespace lbsnap
