// Helpers shared by the unit tests: captured output streams and a private
// fixed-path root.
#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "lib/sysroot.h"

namespace lbsnap::testing {

// An output stream whose text the test reads back.
class Capture {
public:
    Capture() : f_(open_memstream(&buf_, &len_)) {}
    ~Capture() {
        std::fclose(f_);
        std::free(buf_);
    }
    Capture(const Capture&) = delete;
    Capture& operator=(const Capture&) = delete;

    std::FILE* file() const { return f_; }
    std::string str() {
        std::fflush(f_);
        return std::string(buf_, len_);
    }

private:
    char* buf_ = nullptr;
    std::size_t len_ = 0;
    std::FILE* f_;
};

// A fresh directory in the working directory (the build tree under ctest)
// that serves as the fixed-path root while the object lives.
class TempRoot {
public:
    TempRoot() {
        std::string tmpl = (std::filesystem::current_path() / "unit-root-XXXXXX").string();
        dir_ = mkdtemp(tmpl.data());
        set_sysroot(dir_);
    }
    ~TempRoot() {
        set_sysroot(lbsnap_compiled_root());
        std::error_code ec;
        std::filesystem::permissions(dir_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(dir_, ec);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;

    const std::string& dir() const { return dir_; }
    std::string path(const std::string& fixed) const { return dir_ + fixed; }

    // Writes `content` to the fixed path `fixed` (e.g. "/corvane/cfg/_X")
    // under the root, creating its directories.
    void write(const std::string& fixed, const std::string& content) const {
        std::filesystem::path p = path(fixed);
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << content;
    }
    bool exists(const std::string& fixed) const { return std::filesystem::exists(path(fixed)); }
    std::string read(const std::string& fixed) const {
        std::ifstream in(path(fixed), std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

private:
    std::string dir_;
};

// Another writer of the custom cipher-set file in the middle of its write:
// holds the lock of the settings directory until released.
struct SettingsLockHolder {
    explicit SettingsLockHolder(const std::string& dir) : fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY)) {}
    ~SettingsLockHolder() { release(); }
    SettingsLockHolder(const SettingsLockHolder&) = delete;
    SettingsLockHolder& operator=(const SettingsLockHolder&) = delete;
    bool lock() const { return fd >= 0 && flock(fd, LOCK_EX) == 0; }
    void release() {
        if (fd >= 0) close(fd);
        fd = -1;
    }
    int fd;
};

// The line where `got` first differs from `want`, as each has it; empty
// when the two are the same.
inline std::string first_difference(const std::string& got, const std::string& want) {
    if (got == want) return "";
    const auto at = static_cast<std::size_t>(std::mismatch(got.begin(), got.end(), want.begin(), want.end()).first -
                                             got.begin());
    const std::size_t line = at == 0 ? 0 : got.rfind('\n', at - 1) + 1;  // npos + 1 is 0
    const auto line_of = [line](const std::string& t) { return t.substr(line, t.find('\n', line) - line); };
    return "got \"" + line_of(got) + "\", want \"" + line_of(want) + "\"";
}

}  // namespace lbsnap::testing
