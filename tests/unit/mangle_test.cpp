#include "lib/mangle.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

#include "test_support.h"

namespace lbsnap {
namespace {

std::string mangled(const char* src) {
    testing::Capture cap;
    mangle(src, cap.file());
    return cap.str();
}

// Every byte but a letter or a digit is escaped, high bytes as unsigned,
// small values with three digits; the text ends at its first NUL.
TEST(Mangle, HtmlAndPercentEscapes) {
    const struct { std::string in, html, per; } rows[] = {
        {"", "", ""},
        {"AZaz09Web01", "AZaz09Web01", "AZaz09Web01"},
        {"a-b.c", "a&#045;b&#046;c", "a%2db%2ec"},
        {"_%\" <", "&#095;&#037;&#034;&#032;&#060;", "%5f%25%22%20%3c"},
        {"/\t\x01", "&#047;&#009;&#001;", "%2f%09%01"},
        {"\xe9\xff\x80", "&#233;&#255;&#128;", "%e9%ff%80"},  // Latin-1 and UTF-8 bytes
        {"\xc3\xa9x", "&#195;&#169;x", "%c3%a9x"},
        {std::string("ab\0cd", 5), "ab", "ab"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.html);
        EXPECT_EQ(mangled(r.in.c_str()), r.html);
        EXPECT_EQ(mangle_str(r.in.c_str()), r.html);
        EXPECT_EQ(mangle_str_per(r.in.c_str()), r.per);
    }
}

// Every byte value escapes as the printf formats of the reports write it.
TEST(Mangle, EveryByteAsPrintfEscapesIt) {
    for (int c = 1; c < 256; ++c) {
        const char src[] = {'x', static_cast<char>(c), 'y', '\0'};
        const bool passes = std::isalnum(c) && c < 128;
        char html[16], per[16];
        std::snprintf(html, sizeof html, passes ? "x%cy" : "x&#%03d;y", c);
        std::snprintf(per, sizeof per, passes ? "x%cy" : "x%%%02xy", c);
        EXPECT_EQ(mangle_str(src), html) << c;
        EXPECT_EQ(mangle_str_per(src), per) << c;
    }
}

}  // namespace
}  // namespace lbsnap
