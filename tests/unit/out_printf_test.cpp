#include "lib/out_printf.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "lib/format_text.h"
#include "test_support.h"

namespace lbsnap {
namespace {

// The lines of the test, through one printf-like function: fast-path
// conversions at the limits, the library's own ones (also after more than
// a buffer of output), and a null text, which prints as glibc prints it.
template <class Print>
void print_lines(Print print) {
    const std::string w(600, 'w'), v(600, 'v');
    const char* volatile none = nullptr;
    print("a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z');
    print("%d|%05d|%-3s|%s", 0, -42, "l", w.c_str());
    print("%s|%s|%05d\n", v.c_str(), "u", 7);
    print("[%s]%d\n", none, 1);
}

// Every path prints what std::fprintf prints.
TEST(OutPrintf, PrintsWhatFprintfPrints) {
    testing::Capture fast, libc;
    std::string appended, formatted;
    print_lines([&](auto... a) { std::fprintf(libc.file(), a...); });
    print_lines([&](auto... a) { out_printf(fast.file(), a...); });
    print_lines([&](auto... a) { append_printf(appended, a...); });
    print_lines([&](auto... a) { formatted += format_text(a...); });
    EXPECT_EQ(fast.str(), libc.str());
    EXPECT_EQ(appended, libc.str());
    EXPECT_EQ(formatted, libc.str());
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

}  // namespace
}  // namespace lbsnap
