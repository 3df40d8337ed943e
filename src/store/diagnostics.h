// What a configuration check finds, each finding at the line of the file it
// concerns. The loader adds what the reader ignores, cuts or drops (see
// read_context.h); the check then adds what the loaded model shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace lbsnap {

enum class Severity { error, warning };

// Line 0: the finding concerns the whole file.
inline constexpr int kWholeFile = 0;

struct Finding {
    int line;
    Severity severity;
    std::uint32_t order;  // of adding: several on one line in the order found
    std::string text;
    // Findings of one kind share their format; a flood of one kind is cut
    // short by it.
    const char* kind = nullptr;
};

class Diagnostics {
public:
    // A check shows this many findings of one kind at most, the first in
    // line order; the others are only counted.
    static constexpr int kShownPerKind = 20;

    [[gnu::format(printf, 4, 5)]] void add(int line, Severity s, const char* fmt, ...);

    // How many findings were added so far; a finding's place in that order
    // names it to reword, once what it says is known better.
    std::size_t size() const { return added_; }
    void reword(std::size_t index, std::string text);

    // Adds the findings of a later part of the file, read apart: all its
    // lines come after this part's.
    void append(Diagnostics&& later);

    // While muted, findings are dropped.
    void mute(bool on) { muted_ = on; }

    // Puts the kept findings in line order (several on one line in the
    // order found) and returns them: of each kind at least the first
    // kShownPerKind, with their text.
    const std::vector<Finding>& sorted();
    // All findings added, kept or only counted.
    int count(Severity s) const { return s == Severity::error ? errors_ : warnings_; }
    int count(const char* kind) const;

    // Where a VS section (by its first line) set a key ("FOLLOWVSID:"): the
    // model's checks put their findings there.
    void note_key_line(int section_line, std::string_view key, int line);
    // The key's line, or the section's when the key was not written.
    int key_line(int section_line, std::string_view key) const;

private:
    std::vector<Finding> findings_;
    std::size_t added_ = 0;
    int errors_ = 0;
    int warnings_ = 0;
    bool muted_ = false;
    // Per kind: how many findings there are, how many are kept, and the
    // last line of those. A finding after them in line order is never
    // shown, so it is only counted.
    struct KindTexts {
        int found = 0;
        int made = 0;
        int last_line = 0;
    };
    std::unordered_map<const char*, KindTexts> kinds_;
    // Counts a finding of kind k at `line` as kept, unless it would never
    // be shown.
    bool keeps(KindTexts& k, int line);
    struct KeyLine {
        int section_line;
        std::string_view key;
        int line;
    };
    // In the order of the sections, which is that of their lines.
    std::vector<KeyLine> key_lines_;
};

}  // namespace lbsnap
