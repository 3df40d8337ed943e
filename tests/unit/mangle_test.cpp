#include "mangle.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace lbsnap {
namespace {

std::string mangled(const char* src) {
    testing::Capture cap;
    mangle(src, cap.file());
    return cap.str();
}

TEST(Mangle, EmptyTextGivesNothing) {
    EXPECT_EQ(mangled(""), "");
    EXPECT_EQ(mangle_str(""), "");
    EXPECT_EQ(mangle_str_per(""), "");
}

TEST(Mangle, LettersAndDigitsStay) {
    const char* plain = "AZaz09Web01";
    EXPECT_EQ(mangled(plain), plain);
    EXPECT_EQ(mangle_str(plain), plain);
    EXPECT_EQ(mangle_str_per(plain), plain);
}

TEST(Mangle, PunctuationIsEscapedWithoutExceptions) {
    EXPECT_EQ(mangled("a-b.c"), "a&#045;b&#046;c");
    EXPECT_EQ(mangle_str("a-b.c"), "a&#045;b&#046;c");
    EXPECT_EQ(mangle_str_per("a-b.c"), "a%2db%2ec");
    EXPECT_EQ(mangled("_%\" <"), "&#095;&#037;&#034;&#032;&#060;");
    EXPECT_EQ(mangle_str_per("_%/ "), "%5f%25%2f%20");
}

TEST(Mangle, SmallValuesKeepThreeDigits) {
    EXPECT_EQ(mangled("\t\x01"), "&#009;&#001;");
    EXPECT_EQ(mangle_str_per("\t\x01"), "%09%01");
}

TEST(Mangle, HighBytesAreAlwaysEscapedAsUnsigned) {
    // "é" in Latin-1 and in UTF-8: none of these bytes is a letter here.
    EXPECT_EQ(mangled("\xe9"), "&#233;");
    EXPECT_EQ(mangle_str("\xc3\xa9x"), "&#195;&#169;x");
    EXPECT_EQ(mangle_str_per("\xe9\xff\x80"), "%e9%ff%80");
}

TEST(Mangle, StopsAtFirstNul) {
    const char text[] = "ab\0cd";
    EXPECT_EQ(mangled(text), "ab");
    EXPECT_EQ(mangle_str(text), "ab");
    EXPECT_EQ(mangle_str_per(text), "ab");
}

}  // namespace
}  // namespace lbsnap
