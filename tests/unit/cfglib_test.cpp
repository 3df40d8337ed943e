#include "lib/cfglib.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "test_support.h"

namespace lbsnap {
namespace {

namespace fs = std::filesystem;
using testing::TempRoot;

const std::string kCustom = "/corvane/cfg/_CIPHER_SETS";
// The custom file and the lock file its writers share.
const std::vector<std::string> kCustomAndLock{"_CIPHER_SETS", "_CIPHER_SETS.lock"};

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

// ---- reading cipher sets ----

// A set is read as stored when recording it with that list leaves the custom
// file alone, and a system set when recording it is refused.
TEST(CipherSetRead, LineForms) {
    CipherSetRecorder sets;
    TempRoot root;
    const std::string text =
        "# Fast A:B\n"
        "Lonely\n"
        "fast   AES128:AES256\n"
        "Fast SECOND\n"
        "Empty \n"
        "Multi a b  c\n"
        "Last NoNewline";
    root.write(kCustom, text);
    const std::pair<const char*, const char*> stored[] = {
        {"FAST", "AES128:AES256"}, {"Empty", ""}, {"Multi", "a b  c"}, {"Last", "NoNewline"}};
    for (const auto& [name, list] : stored) EXPECT_EQ(sets.update(name, list), 0) << name;
    EXPECT_EQ(root.read(kCustom), text);

    root.write("/etc/cipher_sets", text);
    for (const char* name : {"FAST", "Empty", "Last"})
        EXPECT_EQ(sets.update(name, "X"), -1) << name;
    for (const char* name : {"#", "Lonely", "Las"})
        EXPECT_EQ(sets.update(name, "X"), 0) << name;
}

TEST(CipherSetRead, OverlongLineReadsAsSeveralLines) {
    CipherSetRecorder sets;
    TempRoot root;
    // 8190 characters per read: the name, the blank and 8186 list characters;
    // the rest of the line is read as a line of its own.
    const std::string text = "Big " + std::string(8186, 'x') + "Rest tail\n";
    root.write(kCustom, text);
    EXPECT_EQ(sets.update("Big", std::string(8186, 'x').c_str()), 0);
    EXPECT_EQ(sets.update("Rest", "tail"), 0);
    EXPECT_TRUE(root.read(kCustom) == text);
}

// ---- recording cipher sets ----

ino_t inode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
    return st.st_ino;
}

std::vector<std::string> cfg_dir_entries(const TempRoot& root) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(root.path("/corvane/cfg")))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class CipherSetUpdate : public ::testing::Test {
protected:
    void SetUp() override {
        root.write("/etc/cipher_sets", "# system sets\nBestPractices ECDHE:AES\nLegacy RC4\n");
        fs::create_directories(root.path("/corvane/cfg"));
    }
    TempRoot root;
    CipherSetRecorder sets;
};

TEST_F(CipherSetUpdate, ReservedAndSystemNamesAreRefused) {
    EXPECT_EQ(sets.update("Default", "A:B"), -1);
    EXPECT_EQ(sets.update("legacy", "A:B"), -1);
    EXPECT_EQ(sets.update("BestPractices", "ECDHE:AES"), -1);
    EXPECT_FALSE(root.exists(kCustom));
    // Only the exact word is reserved.
    EXPECT_EQ(sets.update("default", "A:B"), 0);
    EXPECT_EQ(root.read(kCustom), "default A:B\n");
}

TEST_F(CipherSetUpdate, CreatesAppendsAndLeavesSameListAlone) {
    EXPECT_EQ(sets.update("Custom_5", "AES128:AES256"), 0);
    EXPECT_EQ(root.read(kCustom), "Custom_5 AES128:AES256\n");
    ino_t before = inode(root.path(kCustom));
    EXPECT_EQ(sets.update("Custom_5", "AES128:AES256"), 0);
    EXPECT_EQ(root.read(kCustom), "Custom_5 AES128:AES256\n");
    EXPECT_EQ(inode(root.path(kCustom)), before);
    EXPECT_EQ(sets.update("Custom_7", ""), 0);
    EXPECT_EQ(root.read(kCustom), "Custom_5 AES128:AES256\nCustom_7 \n");
}

TEST_F(CipherSetUpdate, ReplacesTheLineInPlace) {
    root.write(kCustom,
               "# custom sets\n"
               "stray-line\n"
               "Custom_1 A:B\n"
               "custom_5 OLD:LIST\n"
               "#Custom_5 commented\n"
               "Custom_9 C\n");
    EXPECT_EQ(sets.update("Custom_5", "NEW:LIST"), 0);
    EXPECT_EQ(root.read(kCustom),
              "# custom sets\n"
              "stray-line\n"
              "Custom_1 A:B\n"
              "Custom_5 NEW:LIST\n"
              "#Custom_5 commented\n"
              "Custom_9 C\n");
    EXPECT_EQ(cfg_dir_entries(root), kCustomAndLock);
    // A case change of the list is a change too.
    EXPECT_EQ(sets.update("Custom_5", "new:list"), 0);
    EXPECT_NE(root.read(kCustom).find("\nCustom_5 new:list\n"), std::string::npos);
}

TEST_F(CipherSetUpdate, OverlongLinesSurviveRewrite) {
    std::string longline = "Custom_2 " + std::string(9000, 'y') + "\n";
    std::string unterminated = "Custom_8 Z";
    root.write(kCustom, longline + "Custom_5 " + std::string(9000, 'o') + "\n" + unterminated);
    EXPECT_EQ(sets.update("Custom_5", "SHORT"), 0);
    // The replaced line goes whole; every other byte stays.
    EXPECT_EQ(root.read(kCustom), longline + "Custom_5 SHORT\n" + unterminated);
}

// Many calls in one run: each must see the files as they are by then.
TEST_F(CipherSetUpdate, RepeatedCallsFollowTheFiles) {
    root.write(kCustom, "Last NoNewline");
    // The append joins the unterminated line, so the set is still missing.
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(root.read(kCustom), "Last NoNewlineCustom_5 A\nCustom_5 A\n");
    EXPECT_EQ(sets.update("custom_6", "B"), 0);
    EXPECT_EQ(sets.update("CUSTOM_6", "B"), 0);
    EXPECT_EQ(root.read(kCustom), "Last NoNewlineCustom_5 A\nCustom_5 A\ncustom_6 B\n");

    // Changed by someone else between two calls.
    root.write(kCustom, "# rewritten\nCustom_5 OTHER:LIST\n");
    EXPECT_EQ(sets.update("Custom_6", "B"), 0);
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(root.read(kCustom), "# rewritten\nCustom_5 A\nCustom_6 B\n");
    root.write("/etc/cipher_sets", "Custom_7 SYS\n");
    EXPECT_EQ(sets.update("Custom_7", "C"), -1);
    fs::remove(root.path(kCustom));
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(root.read(kCustom), "Custom_5 A\n");
}

TEST_F(CipherSetUpdate, BlockedPathsFailAndLeaveFilesAlone) {
    root.write(kCustom, "Custom_5 OLD\n");
    std::string tmp = root.path(kCustom) + ".tmp" + std::to_string(getpid());
    fs::create_directory(tmp);
    EXPECT_EQ(sets.update("Custom_5", "NEW"), -1);
    EXPECT_EQ(root.read(kCustom), "Custom_5 OLD\n");
    EXPECT_TRUE(fs::is_directory(tmp));
    fs::remove(tmp);
    fs::remove(root.path(kCustom));
    fs::create_directories(root.path(kCustom));
    EXPECT_EQ(sets.update("Custom_5", "NEW"), -1);
    EXPECT_EQ(cfg_dir_entries(root), kCustomAndLock);
    fs::remove_all(root.path("/corvane/cfg"));
    EXPECT_EQ(sets.update("Custom_5", "NEW"), -1);
}

// Only names of the form the writers use are taken for leftovers, and they
// go even when nothing is written.
TEST_F(CipherSetUpdate, RemovesTemporaryFilesOfDeadRuns) {
    root.write(kCustom, "Custom_5 A\n");
    for (const char* name : {".tmp123", ".tmp", ".tmp12x", "X.tmp123"}) root.write(kCustom + name, "Custom_5 B");
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(cfg_dir_entries(root), (std::vector<std::string>{"_CIPHER_SETS", "_CIPHER_SETS.lock", "_CIPHER_SETS.tmp",
                                                              "_CIPHER_SETS.tmp12x", "_CIPHER_SETSX.tmp123"}));
}

// Another writer holds the lock: the update waits for it, and past the bound
// gives up and leaves the file alone.
TEST_F(CipherSetUpdate, WaitsForTheLockWithinABound) {
    root.write(kCustom, "Custom_5 OLD\n");
    int fd = open(root.path(kCustom + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    std::thread holder([fd] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        flock(fd, LOCK_UN);
    });
    EXPECT_EQ(sets.update("Custom_5", "NEW"), 0);
    holder.join();
    ASSERT_EQ(flock(fd, LOCK_EX), 0);
    EXPECT_EQ(sets.update("Custom_6", "A"), -1);
    close(fd);
    EXPECT_EQ(root.read(kCustom), "Custom_5 NEW\n");
}

// Writing the temporary file fails for real: the file-size limit binds root
// too. The custom file must stay and no temporary file may remain.
TEST_F(CipherSetUpdate, WriteFailureRemovesTemporaryFile) {
    const std::string original = "Custom_1 " + std::string(20000, 'k') + "\nCustom_5 OLD\n";
    root.write(kCustom, original);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int r = sets.update("Custom_5", "NEW");
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(r, -1);
    EXPECT_EQ(root.read(kCustom), original);
    EXPECT_EQ(cfg_dir_entries(root), kCustomAndLock);
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
