// The progress of a command's name lookups, shown to a person watching a
// terminal while they are out: one line on standard error, rewritten as
// answers come in and cleared before the report is printed. Where standard
// error is no terminal (a script, a log file) nothing is written at all.
#pragma once

#include <cstddef>
#include <cstdio>

namespace lbsnap {

class ProgressLine {
public:
    // Shows nothing unless `err` is a terminal.
    explicit ProgressLine(std::FILE* err);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void show(std::size_t answered, std::size_t asked);
    // Leaves the cursor at the start of an empty line, as before the first
    // show().
    void clear();

private:
    std::FILE* err_;  // null when not a terminal
    bool shown_ = false;
};

}  // namespace lbsnap
