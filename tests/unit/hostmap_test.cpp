#include <gtest/gtest.h>

#include <string>

#include "lib/addrs.h"
#include "test_support.h"

namespace lbsnap {
namespace {

using namespace std::string_literals;

const char* const kDflt = "dflt";

// Each test lays out its own map.
class HostMapFile : public ::testing::Test {
protected:
    void load(const std::string& content) {
        root.write("/tmp/hosts.map", content);
        map = HostMap::load();
    }
    std::string name(const char* vip) {
        const char* n = map.name_of(vip, kDflt);
        return n ? n : "(null)";
    }
    testing::TempRoot root;
    HostMap map;
};

TEST_F(HostMapFile, LaterLineWinsAndNamesKeepBlanks) {
    load("10.0.0.1 alpha\n"
         "10.0.0.2 web server one\n"
         "10.0.0.1 beta\n"
         "10.0.0.4 crlf\r\n"
         "10.0.0.5  lead\n");
    EXPECT_EQ(name("10.0.0.1"), "beta");
    EXPECT_EQ(name("10.0.0.2"), "web server one");
    EXPECT_EQ(name("10.0.0.4"), "crlf\r");
    EXPECT_EQ(name("10.0.0.5"), " lead");
    // Exact text, no normalisation.
    EXPECT_EQ(name("10.0.0.01"), kDflt);
    EXPECT_EQ(name("10.0.0.1 "), kDflt);
    EXPECT_EQ(name(nullptr), kDflt);
}

TEST_F(HostMapFile, IgnoredLines) {
    load("\n"
         "# 10.0.0.9 comment\n"
         "#10.0.0.9 comment\n"
         "10.0.0.3\n"
         "10.0.0.6 \n"
         "10.0.0.7\tname\n"
         "10.0.0.1 a\0b\n"  // a NUL ends the line
         "10.0.0.2 ok\n"
         "10.0.0.8 last-without-newline"s);
    for (const char* vip : {"# 10.0.0.9", "#10.0.0.9", "10.0.0.3", "10.0.0.6", "10.0.0.7\tname",
                            "10.0.0.7", "10.0.0.8", "", "10.0.0.1"})
        EXPECT_EQ(name(vip), kDflt) << vip;
    EXPECT_EQ(name("10.0.0.2"), "ok");
}

TEST_F(HostMapFile, OverlongLinesSplitAtTheReadSize) {
    // 8190 characters without the newline: the first read ends without one
    // and is ignored, the rest is read as a line of its own.
    std::string head = "10.0.0.1 " + std::string(8190 - 9, 'x');
    load(head + "10.0.0.2 tail\n10.0.0.3 ok\n");
    EXPECT_EQ(name("10.0.0.1"), kDflt);
    EXPECT_EQ(name("10.0.0.3"), "ok");
    EXPECT_EQ(name("10.0.0.2"), "tail");

    // A line that exactly fills one read (8189 characters and the newline);
    // its name is cut to the field size.
    load("10.0.0.1 " + std::string(8189 - 9, 'y') + "\n");
    EXPECT_EQ(name("10.0.0.1"), std::string(255, 'y'));
}

TEST_F(HostMapFile, FieldSizes) {
    std::string vip63(63, 'a'), vip64(64, 'b');
    std::string name255(255, 'n');
    load(vip63 + " fits\n" + vip64 + " skipped\n10.0.0.1 " + name255 + "\n10.0.0.2 " +
         name255 + "zz\n");
    EXPECT_EQ(name(vip63.c_str()), "fits");
    EXPECT_EQ(name(vip64.c_str()), kDflt);
    EXPECT_EQ(name(vip64.substr(0, 63).c_str()), kDflt);
    EXPECT_EQ(name("10.0.0.1"), name255);
    EXPECT_EQ(name("10.0.0.2"), name255);
}

TEST_F(HostMapFile, NoFileGivesDefault) {
    map = HostMap::load();
    EXPECT_EQ(map.name_of("10.0.0.1", nullptr), nullptr);
    EXPECT_STREQ(map.name_of("10.0.0.1", kDflt), kDflt);
}

TEST_F(HostMapFile, ManyEntries) {
    std::string content;
    for (int i = 0; i < 20000; ++i) content += "10.1." + std::to_string(i / 256) + "." +
                                              std::to_string(i % 256) + " n" +
                                              std::to_string(i) + "\n";
    load(content);
    EXPECT_EQ(name("10.1.0.0"), "n0");
    EXPECT_EQ(name("10.1.78.31"), "n19999");
    EXPECT_EQ(name("10.1.78.32"), kDflt);
}

}  // namespace
}  // namespace lbsnap
