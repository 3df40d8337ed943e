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
    EXPECT_EQ(fast.str(), libc.str());
    std::string appended = "<";
    append_printf(appended, "a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z');
    append_printf(appended, "%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str());
    EXPECT_EQ(appended, "<" + libc.str());
    EXPECT_EQ(format_text("a%db%dc%s%c%%\n", INT_MIN, INT_MAX, "x y", 'z') +
                  format_text("%d|%05d|%-3s|%s", 0, -42, "l", std::string(600, 'w').c_str()),
              libc.str());
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
