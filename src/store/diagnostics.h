// What a configuration check finds, each finding at the line of the file it
// concerns. The loader adds what the reader ignores, cuts or drops (see
// read_context.h); the check then adds what the loaded model shows.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace lbsnap {

enum class Severity { error, warning };

struct Finding {
    int line;
    Severity severity;
    std::string text;
};

class Diagnostics {
public:
    [[gnu::format(printf, 4, 5)]] void add(int line, Severity s, const char* fmt, ...);

    // How many findings were added so far; a finding's place in that order
    // names it to reword, once what it says is known better.
    std::size_t size() const { return findings_.size(); }
    void reword(std::size_t index, std::string text) { findings_.at(index).text = std::move(text); }

    // The findings in line order (several on one line in the order found).
    std::vector<Finding> sorted() const;

private:
    std::vector<Finding> findings_;
};

}  // namespace lbsnap
