#include "lib/lookup_progress.h"

#include <unistd.h>

namespace lbsnap {

ProgressLine::ProgressLine(std::FILE* err) : err_(isatty(fileno(err)) == 1 ? err : nullptr) {}

ProgressLine::~ProgressLine() { clear(); }

// The counts only grow, so each rewrite covers the one before it.
void ProgressLine::show(std::size_t answered, std::size_t asked) {
    if (!err_) return;
    std::fprintf(err_, "\rlbsnap: %zu of %zu name lookups answered", answered, asked);
    std::fflush(err_);
    shown_ = true;
}

void ProgressLine::clear() {
    if (!shown_) return;
    std::fputs("\r\033[K", err_);  // back to the line's start, then erase to its end
    std::fflush(err_);
    shown_ = false;
}

}  // namespace lbsnap
