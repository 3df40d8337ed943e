#include "lib/cfglib.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_map>

#include "lib/ascii.h"
#include "lib/line_read.h"
#include "lib/sysroot.h"

namespace lbsnap {

namespace {

constexpr std::string_view kCfgDir = "/corvane/cfg";
constexpr std::string_view kLocalCfgDir = "/corvane/local_cfg";
constexpr std::string_view kSystemSets = "/etc/cipher_sets";
constexpr std::string_view kExtDir = "/tmp/ext";
constexpr std::string_view kAddonsDir = "/corvane/addons";

// The longest controller name a marker may hold; longer ones are not ours.
constexpr std::size_t kMaxControllerName = 16;
// The first line of a marker is read with fgets into this many bytes.
constexpr int kMarkerLineSize = 128;

// Writers of the custom cipher-set file serialise on a lock file beside it.
// A run that cannot have the lock within the bound leaves the file alone:
// its report matters more than recording a set another run may record.
constexpr std::string_view kLockSuffix = ".lock";
constexpr std::chrono::seconds kLockWait{5};
constexpr std::chrono::milliseconds kLockRetry{10};
// A replacement is written to the file's name, this mark and the writer's
// process id, and renamed over the file.
constexpr std::string_view kTmpMark = ".tmp";
constexpr mode_t kNewFileMode = 0666;  // narrowed by the umask, as fopen would

// ---- file descriptors ----

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& o) noexcept : fd_(o.release()) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            reset();
            fd_ = o.release();
        }
        return *this;
    }
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset() {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

private:
    int fd_ = -1;
};

// The exclusive lock every writer of the custom cipher-set file holds from
// reading the file to the end of its append or rename. Polled rather than
// blocking, so the wait has a bound.
class CipherSetLock {
public:
    explicit CipherSetLock(const std::string& path) {
        std::string lock_path = path;
        lock_path += kLockSuffix;
        UniqueFd fd(open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kNewFileMode));
        if (!fd)
            return;
        const auto give_up = std::chrono::steady_clock::now() + kLockWait;
        while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() >= give_up)
                return;
            std::this_thread::sleep_for(kLockRetry);
        }
        fd_ = std::move(fd);
    }

    bool held() const { return static_cast<bool>(fd_); }

private:
    UniqueFd fd_;  // closing it releases the lock
};

// ---- cipher-set lines ----

// Reads the next piece raw (NUL bytes kept, so copies stay byte-exact). A
// piece is at most kLineReadMax characters, as for every line reader of the
// appliance: a longer line reads as several lines.
bool read_piece(std::FILE* f, std::string& piece) {
    piece.clear();
    int ch;
    while (piece.size() < kLineReadMax && (ch = std::getc(f)) != EOF) {
        piece.push_back(static_cast<char>(ch));
        if (ch == '\n')
            break;
    }
    return !piece.empty();
}

bool ends_line(const std::string& piece) { return !piece.empty() && piece.back() == '\n'; }

struct SetLine {
    std::string_view name;
    std::string_view ciphers;
};

// The set a line defines, if any. The text ends at a NUL byte, as it would
// for any C string reader of the same file.
std::optional<SetLine> parse_set_line(const std::string& piece) {
    std::string_view text(piece.c_str());
    if (text.empty() || text[0] == '#')
        return std::nullopt;
    std::size_t blank = text.find(' ');
    if (blank == std::string_view::npos)
        return std::nullopt;
    std::size_t start = text.find_first_not_of(' ', blank);
    std::string_view rest = start == std::string_view::npos ? std::string_view() : text.substr(start);
    rest = rest.substr(0, rest.find('\n'));
    return SetLine{text.substr(0, blank), rest};
}

bool line_has_set(const std::string& piece, std::string_view name) {
    auto set = parse_set_line(piece);
    return set && ascii_iequal(set->name, name);
}

bool write_set_line(std::FILE* f, const char* name, const char* ciphers) {
    return std::fprintf(f, "%s %s\n", name, ciphers) >= 0;
}

bool write_raw(std::FILE* f, const std::string& piece) {
    return std::fwrite(piece.data(), 1, piece.size(), f) == piece.size();
}

// Copies the custom file to `out` with the set's line replaced. The whole
// line goes, also when it is longer than one read, so no fragment of the old
// list is left behind as a line of its own.
bool copy_replacing(const std::string& path, std::FILE* out, const char* name, const char* ciphers) {
    std::FILE* in = std::fopen(path.c_str(), "r");
    if (!in)
        return false;
    bool replaced = false, ok = true;
    std::string piece;
    while (ok && read_piece(in, piece)) {
        if (replaced || !line_has_set(piece, name)) {
            ok = write_raw(out, piece);
            continue;
        }
        replaced = true;
        ok = write_set_line(out, name, ciphers);
        while (!ends_line(piece) && read_piece(in, piece)) {
        }
    }
    ok = ok && !std::ferror(in);
    std::fclose(in);
    return ok && replaced;
}

// One write call, so a run killed in the middle leaves no part of a line.
bool append_line(int fd, const char* name, const char* ciphers) {
    std::string line = name;
    line += ' ';
    line += ciphers;
    line += '\n';
    for (std::size_t done = 0; done < line.size();) {
        ssize_t n = write(fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Where the file name starts in `path` (0 without a directory part).
std::size_t name_start(const std::string& path) { return path.rfind('/') + 1; }

std::string dir_of(const std::string& path) {
    std::size_t start = name_start(path);
    return start == 0 ? "./" : path.substr(0, start);
}

// A rename is on disk only once its directory is; a failure here leaves the
// new file in place, so the update still counts as done.
void sync_dir(const std::string& path) {
    UniqueFd dir(open(dir_of(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir)
        fsync(dir.get());
}

// Replaces the whole file with one rename, so a concurrent reader sees the
// old file or the new one; the temporary file never outlives a failure, and
// is on disk before it takes the file's place.
int replace_set(const std::string& path, const char* name, const char* ciphers) {
    std::string tmp = path;
    tmp += kTmpMark;
    tmp += std::to_string(getpid());
    std::FILE* out = std::fopen(tmp.c_str(), "w");
    if (!out)
        return -1;
    bool ok = copy_replacing(path, out, name, ciphers);
    if (std::fflush(out) != 0 || std::ferror(out) || fsync(fileno(out)) != 0)
        ok = false;
    if (std::fclose(out) != 0)
        ok = false;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        unlink(tmp.c_str());
        return -1;
    }
    sync_dir(path);
    return 0;
}

// A temporary file is only written under the lock, so the ones found while
// holding it belong to runs that died before their rename.
void remove_dead_temporaries(const std::string& path) {
    std::string dir = dir_of(path);
    std::string prefix = path.substr(name_start(path));
    prefix += kTmpMark;
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (const dirent* e = readdir(d)) {
        std::string_view entry(e->d_name);
        if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix)
            continue;
        std::string_view pid = entry.substr(prefix.size());
        if (pid.find_first_not_of("0123456789") == std::string_view::npos)
            unlink((dir + std::string(entry)).c_str());
    }
    closedir(d);
}

// ---- cipher-set index ----

// The dump records one custom set per VS, and the custom file grows by one
// line each time: reading both files whole for every VS would make a dump of
// many VSs quadratic. So each file is indexed once and the index is trusted
// while the file keeps its identity; our own appends extend it.
//
// The identity is taken from the open file, which the index keeps open: while
// it is open its inode cannot be reused by another file. Every writer of the
// custom file either appends under the lock (the size grows) or renames a new
// file over it (the inode changes), so under the lock the same inode, size
// and time prove that nobody has written since the index was read.
struct FileId {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;  // -1: never matches, the file is read again
    time_t sec = 0;
    long nsec = 0;
    bool operator==(const FileId&) const = default;
};

FileId file_id(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

struct SetIndex {
    FileId id;
    UniqueFd file;  // the file indexed, kept open for its identity
    bool ends_line = true;  // an append starts a line of its own
    bool swept = false;     // dead runs' temporary files removed since it was read
    std::unordered_map<std::string, std::string> sets;  // lower-case name -> list
};

// By path: the system set file and the custom one.
using SetIndexes = std::unordered_map<std::string, SetIndex>;

// Indexes the lines from `offset` on; the first line of a name wins. False
// when the file cannot be read to its end.
bool index_lines(SetIndex& idx, off_t offset) {
    UniqueFd copy(dup(idx.file.get()));
    std::FILE* f = copy ? fdopen(copy.get(), "r") : nullptr;
    if (!f)
        return false;
    copy.release();
    bool ok = fseeko(f, offset, SEEK_SET) == 0;
    std::string piece;
    while (ok && read_piece(f, piece)) {
        idx.ends_line = ends_line(piece);
        if (auto set = parse_set_line(piece))
            idx.sets.try_emplace(ascii_lower(set->name), set->ciphers);
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

// The index of the file at `path` as it is now; null when it cannot be opened.
SetIndex* set_index(SetIndexes& all, const std::string& path) {
    UniqueFd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0) {
        all.erase(path);
        return nullptr;
    }
    auto it = all.find(path);
    if (it != all.end() && it->second.id == file_id(st))
        return &it->second;
    SetIndex& idx = all[path] = SetIndex{};
    idx.file = std::move(fd);
    if (index_lines(idx, 0))
        idx.id = file_id(st);
    return &idx;
}

const std::string* find_set(const SetIndex* idx, const char* name) {
    if (!idx)
        return nullptr;
    auto it = idx->sets.find(ascii_lower(name));
    return it == idx->sets.end() ? nullptr : &it->second;
}

// After we appended through `fd` to the indexed file: index the new line,
// unless the file shows another change too (then it is read again).
void extend_index(SetIndexes& all, const std::string& path, int fd) {
    auto it = all.find(path);
    if (it == all.end())
        return;
    SetIndex& idx = it->second;
    const FileId before = idx.id;
    struct stat st {};
    bool ok = fstat(fd, &st) == 0 && idx.ends_line && st.st_dev == before.dev &&
              st.st_ino == before.ino && st.st_size > before.size && index_lines(idx, before.size);
    if (ok)
        idx.id = file_id(st);
    else
        all.erase(it);
}

// ---- recording a set, under the lock ----

int append_set(SetIndexes& all, const std::string& path, const char* name, const char* ciphers) {
    UniqueFd fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, kNewFileMode));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0) {
        all.erase(path);
        return -1;
    }
    if (!append_line(fd.get(), name, ciphers)) {
        // A line cut short is taken back; if even that fails, the failure
        // is all there is left to report.
        [[maybe_unused]] int undone = ftruncate(fd.get(), st.st_size);
        all.erase(path);
        return -1;
    }
    extend_index(all, path, fd.get());
    return 0;
}

int record_set(SetIndexes& all, const std::string& path, const char* name,
               const char* ciphers) {
    SetIndex* idx = set_index(all, path);
    if (!idx || !idx->swept) {
        remove_dead_temporaries(path);
        if (idx)
            idx->swept = true;
    }
    const std::string* stored = find_set(idx, name);
    if (!stored)
        return append_set(all, path, name, ciphers);
    if (*stored == ciphers)
        return 0;
    all.erase(path);
    return replace_set(path, name, ciphers);
}

// ---- add-on markers ----

// The controller name from the marker's first line, upper-cased; none when
// the marker is unreadable, empty or names something too long. A first line
// that is only a newline is not an empty marker: it lists an empty name.
std::optional<std::string> controller_name(const std::string& marker) {
    std::FILE* f = std::fopen(marker.c_str(), "r");
    if (!f)
        return std::nullopt;
    char line[kMarkerLineSize];
    bool got = std::fgets(line, sizeof line, f) != nullptr;
    std::fclose(f);
    if (!got)
        return std::nullopt;
    std::string_view name(line);
    if (!name.empty() && name.back() == '\n') {
        name.remove_suffix(1);
        if (name.size() > kMaxControllerName)
            return std::nullopt;
    }
    return ascii_upper(name);
}

}  // namespace

std::string setting_path(const char* name, Scope scope) {
    std::string path = sys_path(scope == Scope::local ? kLocalCfgDir : kCfgDir);
    path += "/_";
    path += name;
    return path;
}

std::string read_xval(const char* name, const char* sub, const char* dflt, std::size_t max_len,
                      Scope scope) {
    std::string val = dflt ? dflt : "";
    std::string path = setting_path(name, scope);
    if (sub && *sub) {
        path += '_';
        path += sub;
    }
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0)
        return val;
    std::string buf(max_len > 1 ? max_len - 1 : 0, '\0');
    ssize_t n = buf.empty() ? 0 : read(fd, buf.data(), buf.size());
    close(fd);
    if (n <= 0)
        return val;
    buf.resize(static_cast<std::size_t>(n));
    val.assign(buf.c_str());
    return val.substr(0, val.find('\n'));
}

std::string read_val(const char* name, const char* dflt, std::size_t max_len, Scope scope) {
    return read_xval(name, nullptr, dflt, max_len, scope);
}

int read_ival(const char* name, int dflt, Scope scope) {
    const std::string val = read_val(name, "", kSettingLen, scope);
    if (val.empty())
        return dflt;
    if (val == "yes")
        return 1;
    return static_cast<int>(std::strtoul(val.c_str(), nullptr, 0));
}

struct CipherSetRecorder::Indexes {
    SetIndexes all;
};

CipherSetRecorder::CipherSetRecorder() : indexes_(std::make_unique<Indexes>()) {}
CipherSetRecorder::~CipherSetRecorder() = default;

int CipherSetRecorder::update(const char* name, const char* ciphers) {
    SetIndexes& all = indexes_->all;
    if (std::strcmp(name, "Default") == 0)
        return -1;
    if (find_set(set_index(all, sys_path(kSystemSets)), name))
        return -1;
    std::string path = setting_path("CIPHER_SETS");
    CipherSetLock lock(path);
    if (!lock.held())
        return -1;
    return record_set(all, path, name, ciphers);
}

void chk_ext_ctrl(int id, std::string& out, int size) {
    out.clear();
    std::string dir = sys_path(kExtDir) + "/" + std::to_string(id);
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (const dirent* e = readdir(d)) {
        if (e->d_name[0] == '.')
            continue;
        auto name = controller_name(dir + "/" + e->d_name);
        if (!name)
            continue;
        std::string manifest = sys_path(kAddonsDir) + "/" + e->d_name + "/manifest";
        if (access(manifest.c_str(), F_OK) != 0)
            continue;
        // Room left for text, keeping one place for the C terminator.
        long room = static_cast<long>(size) - 1 - static_cast<long>(out.size());
        if (room <= 0)
            break;
        std::string item = "+" + *name;
        out.append(item, 0, static_cast<std::size_t>(room));
    }
    closedir(d);
}

}  // namespace lbsnap

namespace lbsnap {

std::optional<std::unordered_set<std::string>> ext_ctrl_dirs() {
    DIR* d = opendir(sys_path(kExtDir).c_str());
    if (!d) {
        // Missing: no VS has markers. Unreadable: each VS must be looked at.
        if (errno == ENOENT || errno == ENOTDIR) return std::unordered_set<std::string>{};
        return std::nullopt;
    }
    std::unordered_set<std::string> names;
    while (const dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.emplace(e->d_name);
    closedir(d);
    return names;
}

}  // namespace lbsnap
