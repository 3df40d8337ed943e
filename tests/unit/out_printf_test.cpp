#include "lib/out_printf.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "lib/format_text.h"
#include "test_support.h"

namespace lbsnap {
namespace {

// Every format must print what std::fprintf prints, on the fast path and off it.
TEST(OutPrintf, PrintsWhatFprintfPrints) {
    testing::Capture fast, libc;
    out_printf(fast.file(), "a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z');
    std::fprintf(libc.file(), "a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z');
    out_printf(fast.file(), "%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str());
    std::fprintf(libc.file(), "%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str());
    // A conversion of the library's met after more than a buffer of output.
    out_printf(fast.file(), "%s|%s|%05d\n", std::string(600, 'v').c_str(), "u", 7);
    std::fprintf(libc.file(), "%s|%s|%05d\n", std::string(600, 'v').c_str(), "u", 7);
    EXPECT_EQ(fast.str(), libc.str());
    std::string appended = "<";
    append_printf(appended, "a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z');
    append_printf(appended, "%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str());
    append_printf(appended, "%s|%s|%05d\n", std::string(600, 'v').c_str(), "u", 7);
    EXPECT_EQ(appended, "<" + libc.str());
    EXPECT_EQ(format_text("a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z') +
                  format_text("%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str()) +
                  format_text("%s|%s|%05d\n", std::string(600, 'v').c_str(), "u", 7),
              libc.str());
}

// A split format appends what append_printf appends: values at the
// limits, empty runs between conversions, escaped percent signs, a null
// text; arguments unlike its conversions are refused.
TEST(OutPrintf, SplitFormatAppendsWhatAppendPrintfAppends) {
    const SplitFormat f("RS%d: %s%d %%%s %d%d|");
    for (int v : {0, -1, 7, -42, INT_MIN, INT_MAX}) {
        std::string split = "<", printed = "<";
        f.append(split, v, "a b", v, static_cast<const char*>(nullptr), INT_MIN, INT_MAX);
        append_printf(printed, "RS%d: %s%d %%%s %d%d|", v, "a b", v, "(null)", INT_MIN, INT_MAX);
        EXPECT_EQ(split, printed);
    }
    std::string out;
    SplitFormat("%s").append(out, "");
    SplitFormat("plain\n").append(out);
    EXPECT_EQ(out, "plain\n");
    EXPECT_THROW(f.append(out, 1, "x", 1, "y", 1), std::logic_error);
    EXPECT_THROW(f.append(out, 1, "x", 1, "y", 1, "z"), std::logic_error);
    EXPECT_THROW(SplitFormat("%5d"), std::logic_error);
}

// A null text prints as glibc prints it, on every path.
TEST(OutPrintf, NullTextAsGlibcPrintsIt) {
    const char* volatile none = nullptr;
    char libc[64];
    std::snprintf(libc, sizeof libc, "[%s]%d", none, 1);
    EXPECT_EQ(format_text("[%s]%d", none, 1), libc);
    testing::Capture out;
    out_printf(out.file(), "[%s]%d", none, 1);
    EXPECT_EQ(out.str(), libc);
}

}  // namespace
}  // namespace lbsnap
