#include "lib/cipher_sets.h"

#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <syslog.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "report_harness.h"
#include "test_support.h"

namespace lbsnap {
namespace {

namespace fs = std::filesystem;
using testing::LogLine;
using testing::TempRoot;

const std::string kCustom = "/corvane/cfg/_CIPHER_SETS";
const std::vector<std::string> kOnlyTheFile{"_CIPHER_SETS"};

LogLine not_recorded(const std::string& name, const std::string& why) {
    return {LOG_WARNING, "cipher set " + name + " not recorded: " + why};
}

// A recorder of one run whose log lines the test reads.
struct Recorder {
    std::vector<LogLine> logged;
    CipherSetRecorder sets{[this](int p, const std::string& text) { logged.push_back({p, text}); }};
};

// ---- reading cipher sets ----

// A set is read as stored when recording it with that list leaves the custom
// file alone, and a system set when recording it is refused.
TEST(CipherSetRead, LineForms) {
    Recorder rec;
    CipherSetRecorder& sets = rec.sets;
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
    EXPECT_TRUE(rec.logged.empty());
}

TEST(CipherSetRead, OverlongLineReadsAsSeveralLines) {
    // 8190 characters per read: the name, the blank and 8186 list characters;
    // the rest of the line is read as a line of its own. Also with the line
    // across the file's first 64 KiB, where the reader's block ends.
    std::string comments;
    for (int i = 0; i < 16381; ++i) comments += "# c\n";
    for (const std::string& before : {std::string(), comments}) {
        Recorder rec;
        TempRoot root;
        const std::string text = before + "Big " + std::string(8186, 'x') + "Rest tail\n";
        root.write(kCustom, text);
        EXPECT_EQ(rec.sets.update("Big", std::string(8186, 'x').c_str()), 0);
        EXPECT_EQ(rec.sets.update("Rest", "tail"), 0);
        EXPECT_TRUE(root.read(kCustom) == text);
        EXPECT_EQ(rec.sets.update("Big", "y"), 0);
        EXPECT_TRUE(root.read(kCustom) == before + "Big y\n") << before.size();
    }
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
        root.write("/etc/cipher_sets", "# system sets\nBestPractices ECDHE:AES\nLegacy RC4\nZeta AES\n");
        fs::create_directories(root.path("/corvane/cfg"));
    }
    TempRoot root;
    Recorder rec;
    CipherSetRecorder& sets = rec.sets;
    std::vector<LogLine>& logged = rec.logged;
};

TEST_F(CipherSetUpdate, ReservedAndSystemNamesAreRefused) {
    EXPECT_EQ(sets.update("Default", "A:B"), -1);
    EXPECT_EQ(sets.update("legacy", "A:B"), -1);
    EXPECT_EQ(sets.update("zETA", "A:B"), -1);  // the last letters fold too
    EXPECT_EQ(sets.update("BestPractices", "ECDHE:AES"), -1);
    EXPECT_FALSE(root.exists(kCustom));
    // Refusals are no failures to record.
    EXPECT_TRUE(logged.empty());
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
    EXPECT_EQ(cfg_dir_entries(root), kOnlyTheFile);
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
    EXPECT_EQ(cfg_dir_entries(root), kOnlyTheFile);
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
    // A last line without its newline is ended before the next set, which
    // would otherwise be glued onto it.
    root.write(kCustom, "MySet HIGH:!aNULL");
    EXPECT_EQ(sets.update("Custom_1", "AES1-A"), 0);
    EXPECT_EQ(sets.update("Custom_1", "AES1-A"), 0);
    EXPECT_EQ(sets.update("MySet", "HIGH:!aNULL"), 0);
    EXPECT_EQ(root.read(kCustom), "MySet HIGH:!aNULL\nCustom_1 AES1-A\n");
    EXPECT_EQ(sets.update("custom_6", "B"), 0);
    EXPECT_EQ(sets.update("CUSTOM_6", "B"), 0);
    EXPECT_EQ(root.read(kCustom), "MySet HIGH:!aNULL\nCustom_1 AES1-A\ncustom_6 B\n");

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
    // The shortest file whose last line lacks its newline: one byte.
    root.write(kCustom, "#");
    EXPECT_EQ(sets.update("Custom_6", "B"), 0);
    EXPECT_EQ(root.read(kCustom), "#\nCustom_6 B\n");
    EXPECT_TRUE(logged.empty());
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
    EXPECT_EQ(cfg_dir_entries(root), kOnlyTheFile);
    fs::remove_all(root.path("/corvane/cfg"));
    EXPECT_EQ(sets.update("Custom_5", "NEW"), -1);
    EXPECT_EQ(logged, (std::vector<LogLine>{not_recorded("Custom_5", "File exists"),
                                            not_recorded("Custom_5", "not a regular file"),
                                            not_recorded("Custom_5", "No such file or directory")}));
}

// A link at the file's name is neither read nor written through, dangling
// or not; a link at the temporary file's name is not written through.
TEST_F(CipherSetUpdate, LinksAreNotFollowed) {
    root.write("/elsewhere/sets", "Custom_5 A\n");
    fs::create_symlink(root.path("/elsewhere/sets"), root.path(kCustom));
    EXPECT_EQ(sets.update("Custom_5", "A"), -1);
    EXPECT_EQ(sets.update("Custom_6", "B"), -1);
    EXPECT_EQ(root.read("/elsewhere/sets"), "Custom_5 A\n");
    EXPECT_TRUE(fs::is_symlink(root.path(kCustom)));
    fs::remove(root.path(kCustom));
    fs::create_symlink(root.path("/elsewhere/missing"), root.path(kCustom));
    EXPECT_EQ(sets.update("Custom_5", "A"), -1);
    EXPECT_FALSE(root.exists("/elsewhere/missing"));
    EXPECT_EQ(logged, (std::vector<LogLine>{not_recorded("Custom_5", "not a regular file"),
                                            not_recorded("Custom_6", "not a regular file"),
                                            not_recorded("Custom_5", "not a regular file")}));

    // Planted after this run swept the directory: removed, not followed. The
    // copy is made afresh with mode 0644 whatever the file had.
    fs::remove(root.path(kCustom));
    root.write(kCustom, "Custom_5 OLD\n");
    fs::permissions(root.path(kCustom), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(sets.update("Custom_1", "X"), 0);
    fs::create_symlink(root.path("/elsewhere/sets"), root.path(kCustom) + ".tmp" + std::to_string(getpid()));
    const mode_t saved = umask(0);
    EXPECT_EQ(sets.update("Custom_5", "NEW"), 0);
    umask(saved);
    EXPECT_EQ(root.read("/elsewhere/sets"), "Custom_5 A\n");
    EXPECT_EQ(root.read(kCustom), "Custom_5 NEW\nCustom_1 X\n");
    EXPECT_EQ(fs::status(root.path(kCustom)).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(cfg_dir_entries(root), kOnlyTheFile);
}

// Only names of the form the writers use are taken for leftovers, with the
// lock file of earlier versions; they go at the next write, and a run that
// writes nothing touches nothing.
TEST_F(CipherSetUpdate, RemovesTemporaryFilesOfDeadRuns) {
    root.write(kCustom, "Custom_5 A\n");
    for (const char* name : {".tmp123", ".tmp", ".tmp12x", "X.tmp123", ".lock"}) root.write(kCustom + name, "Custom_5 B");
    const std::vector<std::string> all = cfg_dir_entries(root);
    EXPECT_EQ(sets.update("Custom_5", "A"), 0);
    EXPECT_EQ(cfg_dir_entries(root), all);
    EXPECT_EQ(sets.update("Custom_5", "B"), 0);
    EXPECT_EQ(cfg_dir_entries(root),
              (std::vector<std::string>{"_CIPHER_SETS", "_CIPHER_SETS.tmp", "_CIPHER_SETS.tmp12x", "_CIPHER_SETSX.tmp123"}));
}

// Another writer holds the lock: the update waits for it; a set already
// recorded needs no lock at all.
TEST_F(CipherSetUpdate, WaitsForTheLockOnlyToWrite) {
    root.write(kCustom, "Custom_5 OLD\n");
    testing::SettingsLockHolder holder(root.path("/corvane/cfg"));
    ASSERT_TRUE(holder.lock());
    std::thread releaser([&holder] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        holder.release();
    });
    EXPECT_EQ(sets.update("Custom_5", "NEW"), 0);
    releaser.join();
    EXPECT_EQ(root.read(kCustom), "Custom_5 NEW\n");

    testing::SettingsLockHolder again(root.path("/corvane/cfg"));
    ASSERT_TRUE(again.lock());
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(sets.update("Custom_5", "NEW"), 0);
    // Well below the wait a lock would take: a check of "no wait", not a speed target.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_TRUE(logged.empty());
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
    EXPECT_EQ(cfg_dir_entries(root), kOnlyTheFile);
    EXPECT_EQ(logged, std::vector<LogLine>{not_recorded("Custom_5", "File too large")});
}

// The settings folder mounted read-only, in a mount namespace of the child's
// own (root writes through mere permissions).
TEST_F(CipherSetUpdate, ReadOnlySettingsFolder) {
    if (geteuid() != 0) GTEST_SKIP() << "mounting needs root";
    root.write(kCustom, "Custom_5 OLD\n");
    const std::string cfg = root.path("/corvane/cfg");
    EXPECT_EXIT(
        {
            if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                mount(cfg.c_str(), cfg.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                mount(nullptr, cfg.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0)
                _exit(2);
            const bool failed = sets.update("Custom_5", "NEW") == -1 && sets.update("Custom_6", "A") == -1;
            for (const LogLine& l : logged) std::fprintf(stderr, "%d %s\n", l.priority, l.text.c_str());
            _exit(failed ? 0 : 1);
        },
        ::testing::ExitedWithCode(0),
        "4 cipher set Custom_5 not recorded: Read-only file system\n"
        "4 cipher set Custom_6 not recorded: Read-only file system\n");
    EXPECT_EQ(root.read(kCustom), "Custom_5 OLD\n");
}

}  // namespace
}  // namespace lbsnap
