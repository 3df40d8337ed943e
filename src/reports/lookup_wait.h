// How a report waits for its name lookups: no longer than --resolve-timeout
// says, with their progress on a terminal when the report asks for it.
#pragma once

#include "lib/lookup_pool.h"
#include "lib/lookup_progress.h"
#include "reports/options.h"

namespace lbsnap {

// `progress` may be null (no line); it must outlive the wait.
inline LookupWait report_lookup_wait(const Options& opt, ProgressLine* progress) {
    LookupWait wait{opt.resolve_timeout, {}};
    if (progress)
        wait.progress = [progress](std::size_t answered, std::size_t asked) {
            progress->show(answered, asked);
        };
    return wait;
}

}  // namespace lbsnap
