// Reading a file in two parts against reading it in one: the text padded
// so that the reader splits it at a chosen VS section, and what a load
// gives as far as reports can tell. For the unit tests and the fuzzing
// harness alike.
#pragma once

#include <algorithm>
#include <sstream>
#include <string>

#include "../unit/test_support.h"

#include "app/dispatch.h"
#include "reports/check.h"
#include "reports/report_context.h"
#include "store/reader.h"

namespace lbsnap::two_parts {

inline constexpr std::size_t kAlways = 0;
inline constexpr std::size_t kNever = static_cast<std::size_t>(-1);

// head + middle + tail, with comment lines after head and at the end such
// that the reader splits the text at the start of tail (a VS section's
// marker line); head holds the first VS section's marker. The first
// padding puts the split past the reader's first block.
inline std::string split_before_tail(const std::string& head, const std::string& middle,
                                     const std::string& tail) {
    const std::string pad_line = "#" + std::string(62, '-') + "\n";
    const auto pad = [&](std::size_t bytes) {
        std::string p;
        while (p.size() + pad_line.size() <= bytes) p += pad_line;
        return p;
    };
    constexpr std::size_t kFirstPad = 192 << 10, kBeforeSplit = 8 << 10;
    const std::string first = pad(kFirstPad);
    // The reader looks for the split from the middle of what follows the
    // first marker line: kBeforeSplit before tail.
    static constexpr std::string_view marker = "<SECTION VS>\n";
    const std::size_t after_marker = head.size() - (head.find(marker) + marker.size());
    const std::size_t to_tail = after_marker + first.size() + middle.size();
    const std::size_t last = to_tail > 2 * kBeforeSplit + tail.size() ? to_tail - 2 * kBeforeSplit - tail.size() : 0;
    return head + first + middle + tail + pad(last);
}

// `text` padded to be split at its second VS section, or empty when it
// has fewer than two.
inline std::string split_at_second_vs(const std::string& text) {
    const std::size_t first = text.find("<SECTION VS>\n");
    if (first == std::string::npos) return {};
    const std::size_t second = text.find("\n<SECTION VS>\n", first);
    if (second == std::string::npos) return {};
    return split_before_tail(text.substr(0, second + 1), "", text.substr(second + 1));
}

// What a load gives, as far as reports and loops can tell: its status and
// message, the dump of every VS, and the lines the records came from.
inline std::string model_print(Model& m, const LoadResult& loaded) {
    std::ostringstream s;
    s << static_cast<int>(loaded.status) << ' ' << loaded.message << '\n';
    if (loaded.status != LoadStatus::ok) return s.str();
    testing::Capture out;
    Options opt;
    Ctx c{m, opt, out.file(), out.file()};
    c.log = [](int, const std::string&) {};
    perform_command(c, Command::dump, nullptr);
    s << out.str();
    for (const auto& vs : m.bahd) {
        s << "VS " << vs->id << " at " << vs->line << ':';
        for (const rs_info_t& rs : vs->rsinfo) s << ' ' << rs.line;
        s << '\n';
    }
    s << m.Rules.size() << " rules\n";
    return s.str();
}

// What a check of `text` prints, and its exit status.
inline std::string check_print(std::string_view text, std::size_t two_parts_from) {
    Model m;
    Diagnostics findings;
    const LoadResult loaded = load_text(m, text, &findings, two_parts_from);
    testing::Capture out;
    Options opt;
    Ctx c{m, opt, out.file(), out.file()};
    if (loaded.status != LoadStatus::ok) return loaded.message;
    const int status = print_check(c, findings, "f", false);
    return out.str() + "status " + std::to_string(status) + "\n";
}

}  // namespace lbsnap::two_parts
