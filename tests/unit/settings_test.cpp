#include "lib/addon_markers.h"
#include "lib/settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "test_support.h"

namespace lbsnap {
namespace {

namespace fs = std::filesystem;
using testing::TempRoot;

// ---- settings ----

TEST(Settings, MissingEmptyAndNewlineFiles) {
    TempRoot root;
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "no");
    root.write("/corvane/cfg/_L7_TRANSPARENT", "yes\n");
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "yes");
    root.write("/corvane/cfg/_L7_TRANSPARENT", "\n");
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "");
    root.write("/corvane/cfg/_L7_TRANSPARENT", "");
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "no");
    root.write("/corvane/cfg/_L7_TRANSPARENT", "first\nsecond\n");
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "first");
    root.write("/corvane/cfg/_L7_TRANSPARENT", std::string("ab\0cd\n", 6));
    EXPECT_EQ(read_val("L7_TRANSPARENT", "no"), "ab");
}

TEST(Settings, SubKeyAndLocalDirectory) {
    TempRoot root;
    root.write("/corvane/cfg/_NAME", "plain\n");
    root.write("/corvane/cfg/_NAME_3", "three\n");
    root.write("/corvane/local_cfg/_NAME", "local\n");
    EXPECT_EQ(read_xval("NAME", "3", "d"), "three");
    EXPECT_EQ(read_xval("NAME", "", "d"), "plain");
    EXPECT_EQ(read_xval("NAME", "4", "d"), "d");

    EXPECT_EQ(setting_path("NAME", Scope::local), root.path("/corvane/local_cfg/_NAME"));
    EXPECT_EQ(setting_path("NAME"), root.path("/corvane/cfg/_NAME"));
    EXPECT_EQ(read_val("NAME", "d", kSettingLen, Scope::local), "local");
    EXPECT_EQ(read_val("NAME", "d"), "plain");
    // No fallback to the appliance directory.
    root.write("/corvane/cfg/_OTHER", "shared\n");
    EXPECT_EQ(read_val("OTHER", "d", kSettingLen, Scope::local), "d");
}

TEST(Settings, CapacityCutsLongValues) {
    TempRoot root;
    root.write("/corvane/cfg/_LONG", std::string(150, 'v') + "\n");
    EXPECT_EQ(read_val("LONG", "d", 100), std::string(99, 'v'));
    EXPECT_EQ(read_val("LONG", "d"), std::string(150, 'v'));
    EXPECT_EQ(read_val("LONG", "d", 1), "d");
}

TEST(Settings, IntegerForms) {
    TempRoot root;
    const std::pair<const char*, int> forms[] = {
        {"yes\n", 1}, {"0x10\n", 16}, {"010\n", 8}, {"no\n", 0}, {"42", 42}, {"7 apples\n", 7},
        {"YES\n", 0}, {"", -5}, {"\n", -5},
    };
    for (const auto& [text, want] : forms) {
        root.write("/corvane/cfg/_DNSNAMES_ENABLE", text);
        EXPECT_EQ(read_ival("DNSNAMES_ENABLE", -5), want) << text;
    }
    EXPECT_EQ(read_ival("MISSING", 3), 3);
}

// ---- add-on controllers ----

class ExtCtrl : public ::testing::Test {
protected:
    void marker(const std::string& file, const std::string& line, bool installed = true) {
        root.write("/tmp/ext/7/" + file, line);
        if (installed)
            root.write("/corvane/addons/" + file + "/manifest", "");
    }
    std::string ctrl(int size = 256, int id = 7) {
        std::string out = "stale";
        chk_ext_ctrl(id, out, size);
        return out;
    }
    TempRoot root;
};

TEST_F(ExtCtrl, InstalledControllerIsListedByItsLine) {
    EXPECT_EQ(ctrl(), "");
    marker("waf", "waf\n");
    EXPECT_EQ(ctrl(), "+WAF");
    EXPECT_EQ(ctrl(256, 8), "");
    fs::remove_all(root.path("/corvane/addons/waf"));
    EXPECT_EQ(ctrl(), "");
    // The name comes from the line, the manifest from the file name.
    marker("w1", "Fire-wall\nignored\n");
    root.write("/corvane/addons/Fire-wall/manifest", "");
    fs::remove_all(root.path("/corvane/addons/w1"));
    EXPECT_EQ(ctrl(), "");
    root.write("/corvane/addons/w1/manifest", "");
    EXPECT_EQ(ctrl(), "+FIRE-WALL");
}

TEST_F(ExtCtrl, SkipsLongNamesDotFilesAndEmptyMarkers) {
    marker("seventeen", std::string(17, 'q') + "\n");
    marker(".hidden", "hidden\n");
    marker("empty", "");
    fs::create_directories(root.path("/tmp/ext/7/adir"));
    root.write("/corvane/addons/adir/manifest", "");
    EXPECT_EQ(ctrl(), "");
    marker("sixteen", std::string(16, 's') + "\n");
    EXPECT_EQ(ctrl(), "+" + std::string(16, 'S'));
}

TEST_F(ExtCtrl, UnterminatedLineIsTakenWholeAndAnEmptyFirstLineListsAnEmptyName) {
    marker("auth", "single-sign-on-portal");
    EXPECT_EQ(ctrl(), "+SINGLE-SIGN-ON-PORTAL");
    fs::remove(root.path("/tmp/ext/7/auth"));
    marker("blank", "\nwaf\n");
    EXPECT_EQ(ctrl(), "+");
}

TEST_F(ExtCtrl, SeveralControllersAndBufferSize) {
    marker("aaa", "aaa\n");
    marker("bbb", "bbb\n");
    std::string all = ctrl();
    EXPECT_TRUE(all == "+AAA+BBB" || all == "+BBB+AAA") << all;
    for (int size : {9, 8, 5, 3, 1, 0}) EXPECT_EQ(ctrl(size), all.substr(0, size ? size - 1 : 0)) << size;
}

}  // namespace
}  // namespace lbsnap
