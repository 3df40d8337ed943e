#include "lib/cipher_sets.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

#include "lib/ascii.h"
#include "lib/settings.h"
#include "lib/format_text.h"
#include "lib/line_read.h"
#include "lib/sysroot.h"

namespace lbsnap {

namespace {

constexpr std::string_view kSystemSets = "/etc/cipher_sets";
constexpr const char* kCustomSetting = "CIPHER_SETS";

constexpr std::chrono::milliseconds kLockRetry{10};
// A replacement is written to the file's name, this mark and the writer's
// process id, and renamed over the file.
constexpr std::string_view kTmpMark = ".tmp";
// Earlier versions locked a file of this name beside the custom file; the
// settings store would read it as a setting.
constexpr std::string_view kOldLockMark = ".lock";
constexpr mode_t kNewFileMode = 0644;

// Why a set was not recorded, besides errno values (which are positive).
enum NotRecorded : int {
    kNotRegularFile = -1,   // a link, a directory, a fifo... at the file's name
    kLockNotObtained = -2,  // the run's wait for the lock has run out
    kFileChanged = -3,      // the set went from the file between reading and copying it
};

std::string reason_text(int err) {
    switch (err) {
        case kNotRegularFile: return "not a regular file";
        case kLockNotObtained: return "lock not obtained in time";
        case kFileChanged: return "the file changed while it was read";
        default: return std::strerror(err);
    }
}

// A failed call's errno; a failure that left none is an I/O error.
int last_error() { return errno != 0 ? errno : EIO; }

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

struct OpenFile {
    UniqueFd fd;
    struct stat st {};
    int err = 0;
};

// Opens a file of the settings directory for writing or copying. Root writes
// here: a link is never followed, a fifo never waited on, and anything but a
// regular file is left alone.
OpenFile open_regular(int dir, const std::string& name, int flags) {
    OpenFile f;
    f.fd = UniqueFd(openat(dir, name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kNewFileMode));
    if (!f.fd)
        f.err = (errno == ELOOP || errno == EISDIR || errno == ENXIO) ? kNotRegularFile : errno;
    else if (fstat(f.fd.get(), &f.st) != 0)
        f.err = errno;
    else if (!S_ISREG(f.st.st_mode))
        f.err = kNotRegularFile;
    if (f.err)
        f.fd.reset();
    return f;
}

// The custom file's path, and its directory and name apart: writes go
// through the directory that is locked.
struct CustomFile {
    explicit CustomFile(std::string p) : path(std::move(p)) {
        const std::size_t slash = path.rfind('/');
        dir = path.substr(0, slash);
        name = path.substr(slash + 1);
    }
    std::string path, dir, name;
};

// ---- the lock ----

// Writers of the custom cipher-set file serialise on an exclusive lock of
// the settings directory itself, which leaves nothing behind. A run waits
// for it kCipherSetLockWait in all, whatever the number of its sets: past
// that its report matters more than recording sets another run may record.
class LockBudget {
public:
    // Opens `dir` and locks it into `locked`; 0, an errno value, or
    // kLockNotObtained. Polled rather than blocking, so the wait has a bound.
    int lock(const std::string& dir, UniqueFd& locked, const LogSink& log) {
        if (lost_)
            return kLockNotObtained;
        UniqueFd fd(open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!fd)
            return errno;
        const auto start = std::chrono::steady_clock::now();
        while (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK && errno != EINTR)
                return errno;
            if (std::chrono::steady_clock::now() - start >= left_) {
                lost_ = true;
                log(LOG_WARNING, format_text("cipher sets not recorded: lock on %s not obtained within %lld s",
                                             dir.c_str(), static_cast<long long>(kCipherSetLockWait.count())));
                return kLockNotObtained;
            }
            std::this_thread::sleep_for(kLockRetry);
        }
        left_ -= std::min(left_, std::chrono::steady_clock::now() - start);
        locked = std::move(fd);
        return 0;
    }

private:
    std::chrono::steady_clock::duration left_ = kCipherSetLockWait;
    bool lost_ = false;
};

// ---- cipher-set lines ----

// Hands out a stream's pieces raw (NUL bytes kept, so copies stay
// byte-exact). A piece is at most kLineReadMax characters, as for every line
// reader of the appliance: a longer line reads as several lines. The stream
// is read in blocks, each cut by next_piece as the configuration reader
// cuts its file.
class PieceReader {
public:
    explicit PieceReader(std::FILE* f) : f_(f) {}

    bool next(std::string& piece) {
        piece.clear();
        while (piece.size() < kLineReadMax && (at_ < end_ || fill())) {
            const Piece taken = next_piece(block_.data() + at_, end_ - at_, kLineReadMax - piece.size());
            piece.append(block_.data() + at_, taken.size);
            at_ += taken.size;
            if (taken.ends_line)
                break;
        }
        return !piece.empty();
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;

    bool fill() {
        at_ = 0;
        end_ = std::fread(block_.data(), 1, block_.size(), f_);
        return end_ > 0;
    }

    std::FILE* f_;
    std::vector<char> block_ = std::vector<char>(kBlock);
    std::size_t at_ = 0;
    std::size_t end_ = 0;
};

bool ends_line(const std::string& piece) { return !piece.empty() && piece.back() == '\n'; }

struct SetLine {
    std::string_view name;
    std::string_view ciphers;
};

// The set a line defines, if any. The text ends at a NUL byte, as it would
// for any C string reader of the same file.
std::optional<SetLine> parse_set_line(std::string_view piece) {
    std::string_view text = piece.substr(0, piece.find('\0'));
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

// 0 or the errno value of the failed write.
int write_set_line(std::FILE* f, const char* name, const char* ciphers) {
    return std::fprintf(f, "%s %s\n", name, ciphers) >= 0 ? 0 : last_error();
}

int write_raw(std::FILE* f, const std::string& piece) {
    return std::fwrite(piece.data(), 1, piece.size(), f) == piece.size() ? 0 : last_error();
}

int write_all(int fd, const std::string& text) {
    for (std::size_t done = 0; done < text.size();) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return last_error();
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

// Copies the custom file to `out` with the set's line replaced. The whole
// line goes, also when it is longer than one read, so no fragment of the old
// list is left behind as a line of its own.
int copy_replacing(int dir, const std::string& file, std::FILE* out, const char* name,
                   const char* ciphers) {
    OpenFile opened = open_regular(dir, file, O_RDONLY);
    if (opened.err)
        return opened.err;
    std::FILE* in = fdopen(opened.fd.get(), "r");
    if (!in)
        return last_error();
    opened.fd.release();
    bool replaced = false;
    int err = 0;
    std::string piece;
    PieceReader pieces(in);
    while (!err && pieces.next(piece)) {
        if (replaced || !line_has_set(piece, name)) {
            err = write_raw(out, piece);
            continue;
        }
        replaced = true;
        err = write_set_line(out, name, ciphers);
        while (!ends_line(piece) && pieces.next(piece)) {
        }
    }
    if (!err && std::ferror(in))
        err = last_error();
    std::fclose(in);
    if (!err && !replaced)
        err = kFileChanged;
    return err;
}

// A replacement of the custom file being written. It is created afresh, so
// whatever another process put at its name (a link above all) makes the
// creation fail instead of being written through; and it is removed unless
// it took the file's place, also when an exception (out of memory) leaves
// early.
class Replacement {
public:
    Replacement(int dir, std::string name) : dir_(dir), name_(std::move(name)) {}
    ~Replacement() {
        if (out_)
            std::fclose(out_);
        if (created_ && !renamed_)
            unlinkat(dir_, name_.c_str(), 0);
    }
    Replacement(const Replacement&) = delete;
    Replacement& operator=(const Replacement&) = delete;

    int create() {
        UniqueFd fd(openat(dir_, name_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                           kNewFileMode));
        if (!fd)
            return errno;
        created_ = true;
        out_ = fdopen(fd.get(), "w");
        if (!out_)
            return last_error();
        fd.release();
        return 0;
    }
    std::FILE* out() const { return out_; }

    // On disk before it takes the file's place.
    int finish() {
        int err = 0;
        if (std::fflush(out_) != 0 || std::ferror(out_) || fsync(fileno(out_)) != 0)
            err = last_error();
        if (std::fclose(out_) != 0 && !err)
            err = last_error();
        out_ = nullptr;
        return err;
    }

    // One rename, so a concurrent reader sees the old file or the new one. A
    // rename is on disk only once its directory is; a failure to sync that
    // leaves the new file in place, so the update still counts as done.
    int rename_over(const std::string& file) {
        if (renameat(dir_, name_.c_str(), dir_, file.c_str()) != 0)
            return errno;
        renamed_ = true;
        fsync(dir_);
        return 0;
    }

private:
    int dir_;
    std::string name_;
    std::FILE* out_ = nullptr;
    bool created_ = false;
    bool renamed_ = false;
};

// Replaces the whole file through a synced temporary copy.
int replace_set(int dir, const std::string& file, const char* name, const char* ciphers) {
    std::string tmp = file;
    tmp += kTmpMark;
    tmp += std::to_string(getpid());
    // Ours, left by an earlier process with our id that died before its
    // rename; we hold the lock, so no living writer uses the name.
    unlinkat(dir, tmp.c_str(), 0);
    Replacement r(dir, tmp);
    int err = r.create();
    if (!err)
        err = copy_replacing(dir, file, r.out(), name, ciphers);
    if (!err)
        err = r.finish();
    if (!err)
        err = r.rename_over(file);
    return err;
}

bool is_dead_temporary(std::string_view entry, std::string_view prefix) {
    if (entry.size() <= prefix.size() || entry.substr(0, prefix.size()) != prefix)
        return false;
    return entry.substr(prefix.size()).find_first_not_of("0123456789") == std::string_view::npos;
}

// A temporary file is only written under the lock, so the ones found while
// holding it belong to runs that died before their rename.
void remove_dead_temporaries(int dir, const std::string& file) {
    UniqueFd listing(dup(dir));
    DIR* d = listing ? fdopendir(listing.get()) : nullptr;
    if (!d)
        return;
    listing.release();
    std::string prefix = file;
    prefix += kTmpMark;
    std::string old_lock = file;
    old_lock += kOldLockMark;
    while (const dirent* e = readdir(d)) {
        std::string_view entry(e->d_name);
        if (is_dead_temporary(entry, prefix) || entry == old_lock)
            unlinkat(dir, e->d_name, 0);
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

struct ListAt {
    off_t at;
    std::size_t size;
};

struct SetIndex {
    FileId id;
    UniqueFd file;  // the file indexed, kept open for its identity
    bool ends_line = true;  // an append starts a line of its own
    bool swept = false;     // dead runs' temporary files removed since it was read
    // Lower-case name -> where its list stands in the file. A run looks a
    // few sets up in a file of a thousand or more, so a list is read again
    // when it is compared rather than copied for every set; the file is
    // trusted only while its identity is unchanged, and writers append or
    // rename, so the bytes indexed stay where they were. The names are
    // views into `names`.
    std::unordered_map<std::string_view, ListAt> sets;
    std::deque<std::string> names;
    // The set of a last line without its newline, if that line is where the
    // set stands: read without the lock, it may be a line still being
    // appended, cut short.
    std::optional<std::string> open_end;
};

// By path: the system set file and the custom one.
using SetIndexes = std::unordered_map<std::string, SetIndex>;

// A copy of `name` that lives as long as the index, packed with the others.
std::string_view keep_name(SetIndex& idx, std::string_view name) {
    constexpr std::size_t kBlock = 1 << 12;
    if (idx.names.empty() || idx.names.back().capacity() - idx.names.back().size() < name.size())
        idx.names.emplace_back().reserve(std::max(kBlock, name.size()));
    std::string& block = idx.names.back();  // appends within its room never move it
    const std::size_t at = block.size();
    block.append(name);
    return std::string_view(block).substr(at);
}

// Indexes the lines from `offset` on; the first line of a name wins. False
// when the file cannot be read to its end.
bool index_lines(SetIndex& idx, off_t offset) {
    UniqueFd copy(dup(idx.file.get()));
    std::FILE* f = copy ? fdopen(copy.get(), "r") : nullptr;
    if (!f)
        return false;
    copy.release();
    bool ok = fseeko(f, offset, SEEK_SET) == 0;
    std::string piece, key;
    bool added = false;  // by the last piece
    PieceReader pieces(f);
    for (off_t at = offset; ok && pieces.next(piece); at += static_cast<off_t>(piece.size())) {
        idx.ends_line = ends_line(piece);
        added = false;
        if (auto set = parse_set_line(piece)) {
            key = ascii_lower(set->name);
            if (!idx.sets.contains(key)) {
                const off_t list_at = at + (set->ciphers.data() - piece.data());
                idx.sets.emplace(keep_name(idx, key), ListAt{list_at, set->ciphers.size()});
                added = true;
            }
        }
    }
    idx.open_end = idx.ends_line || !added ? std::nullopt : std::optional<std::string>(key);
    ok = ok && !std::ferror(f);
    std::fclose(f);
    return ok;
}

// Only the custom file is written as root; the system file may be a link.
enum class Links { follow, refuse };

// The index of the file at `path` as it is now; null when it cannot be
// opened or is not a regular file.
SetIndex* set_index(SetIndexes& all, const std::string& path, Links links) {
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (links == Links::refuse ? O_NOFOLLOW : 0);
    UniqueFd fd(open(path.c_str(), flags));
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
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

const ListAt* find_set(const SetIndex* idx, const char* name) {
    if (!idx)
        return nullptr;
    auto it = idx->sets.find(ascii_lower(name));
    return it == idx->sets.end() ? nullptr : &it->second;
}

// Whether the list the index found in the file is `ciphers`.
bool holds(const SetIndex& idx, const ListAt& list, const char* ciphers) {
    if (std::strlen(ciphers) != list.size)
        return false;
    std::string stored(list.size, '\0');
    for (std::size_t done = 0; done < stored.size();) {
        const ssize_t n = pread(idx.file.get(), stored.data() + done, stored.size() - done,
                                list.at + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return stored == ciphers;
}

// Whether the file as read, without the lock, already holds the set with
// this list. Writers append whole lines or rename a complete file, so only a
// last line still without its newline can be one caught half-written.
bool recorded_as(const SetIndex* idx, const char* name, const char* ciphers) {
    const ListAt* stored = find_set(idx, name);
    return stored && holds(*idx, *stored, ciphers) && idx->open_end != ascii_lower(name);
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

// One write, so a run killed in the middle leaves no part of a line; a file
// whose last line lacks its newline gets it first, in the same write, so the
// new line is not glued onto that one.
int append_set(SetIndexes& all, int dir, const CustomFile& file, const char* name,
               const char* ciphers) {
    OpenFile f = open_regular(dir, file.name, O_RDWR | O_APPEND | O_CREAT);
    std::string line;
    char last = '\n';
    if (!f.err && f.st.st_size > 0 && pread(f.fd.get(), &last, 1, f.st.st_size - 1) < 0)
        f.err = errno;
    if (f.err) {
        all.erase(file.path);
        return f.err;
    }
    if (last != '\n')
        line += '\n';
    line += name;
    line += ' ';
    line += ciphers;
    line += '\n';
    if (int err = write_all(f.fd.get(), line)) {
        // A line cut short is taken back; if even that fails, the failure
        // is all there is left to report.
        [[maybe_unused]] int undone = ftruncate(f.fd.get(), f.st.st_size);
        all.erase(file.path);
        return err;
    }
    extend_index(all, file.path, f.fd.get());
    return 0;
}

int record_set(SetIndexes& all, int dir, const CustomFile& file, const char* name,
               const char* ciphers) {
    SetIndex* idx = set_index(all, file.path, Links::refuse);
    if (!idx || !idx->swept) {
        remove_dead_temporaries(dir, file.name);
        if (idx)
            idx->swept = true;
    }
    const ListAt* stored = find_set(idx, name);
    if (!stored)
        return append_set(all, dir, file, name, ciphers);
    if (holds(*idx, *stored, ciphers))
        return 0;
    all.erase(file.path);
    return replace_set(dir, file.name, name, ciphers);
}

}  // namespace

struct CipherSetRecorder::State {
    explicit State(LogSink l) : log(std::move(l)) {}
    LogSink log;
    SetIndexes all;
    LockBudget lock;
};

CipherSetRecorder::CipherSetRecorder(LogSink log) : state_(std::make_unique<State>(std::move(log))) {}
CipherSetRecorder::~CipherSetRecorder() = default;

int CipherSetRecorder::update(const char* name, const char* ciphers) {
    State& s = *state_;
    if (std::strcmp(name, "Default") == 0)
        return -1;
    if (find_set(set_index(s.all, sys_path(kSystemSets), Links::follow), name))
        return -1;
    const CustomFile file(setting_path(kCustomSetting));
    if (recorded_as(set_index(s.all, file.path, Links::refuse), name, ciphers))
        return 0;
    UniqueFd locked;  // closed at the end of this write: other runs wait for none of our reading
    int err = s.lock.lock(file.dir, locked, s.log);
    if (!err)
        err = record_set(s.all, locked.get(), file, name, ciphers);
    if (!err)
        return 0;
    s.log(LOG_WARNING, format_text("cipher set %s not recorded: %s", name, reason_text(err).c_str()));
    return -1;
}

}  // namespace lbsnap
