// What a report needs besides its arguments: the model, the options, the
// two output streams and the system-log seam. The app builds it.
#pragma once

#include <cstdio>
#include <string>

#include "lib/log_sink.h"
#include "reports/options.h"
#include "store/model.h"

namespace lbsnap {

// The platform's system log with its default identity and facility.
void system_log(int priority, const std::string& message);

struct Ctx {
    const Model& m;
    const Options& opt;
    std::FILE* out;
    std::FILE* err;
    LogSink log = system_log;
};

}  // namespace lbsnap
