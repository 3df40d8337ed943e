// Where the configuration reader's lines come from: the bytes of a file or
// of text in memory, cut into lines as fgets would read them. Internal to
// the configuration reader.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "lib/line_read.h"

namespace lbsnap {

// The bytes of a file, or of text already in memory (tests and fuzzers). A
// read error ends the bytes as the end of the file would; error() says which
// it was (0: none).
class ByteSource {
public:
    // Reads the open file `fd` from where it stands, one read after the other.
    explicit ByteSource(int fd) : fd_(fd) {}
    explicit ByteSource(std::string_view text) : text_(text) {}

    // The same bytes from `offset` on, read apart from this source's own
    // reads, so another thread may read them at the same time.
    ByteSource from(std::size_t offset) const;

    // Up to `room` bytes into `to`; 0 at the end, or at the stop.
    std::size_t read_into(char* to, std::size_t room);
    int error() const { return error_; }
    // The bytes read so far, and where the next read begins.
    std::size_t taken() const { return at_; }

    // Reads end at `offset` (at or after taken()) until resume().
    void stop_at(std::size_t offset) { stop_ = offset; }
    void resume() { stop_ = kNoStop; }

    // The size of the whole file or text; 0 when it is not a regular file.
    std::size_t size() const;
    // Up to `n` bytes from `offset` into `to`, apart from the reads above.
    std::size_t read_at(std::size_t offset, char* to, std::size_t n) const;
    // The newlines among the first `end` bytes.
    std::size_t newlines_before(std::size_t end) const;

private:
    static constexpr std::size_t kNoStop = static_cast<std::size_t>(-1);

    int fd_ = -1;
    bool apart_ = false;  // read with pread at at_, not from the file's position
    std::string_view text_;
    std::size_t at_ = 0;
    std::size_t stop_ = kNoStop;
    int error_ = 0;
};

// Hands out the file's lines as fgets would read them: at most max_read
// bytes each, ending after a newline. The text of a line is what a C string
// function sees, so it ends at the first NUL byte. The file is read a block
// at a time into one buffer and split in place there: the newline becomes
// the NUL that ends the text. A line is good until the next one is asked
// for. Counts the file's lines, so the pieces of a longer line share its
// number.
class LineSplitter {
public:
    // `lines_before`: the lines of the file before the source's first byte.
    explicit LineSplitter(ByteSource& source, int lines_before = 0);

    // The file's first bytes, as many as one block holds.
    std::string_view head() const { return {buf_.get(), end_}; }

    char* next();

    int line_no() const { return line_no_; }
    // The bytes the last piece took, without its newline.
    std::size_t raw_size() const { return raw_size_; }
    // The last piece handed out is not the whole rest of its line: more
    // than its newline follows.
    bool line_goes_on() const { return !ended_ && pos_ < end_ && buf_[pos_] != '\n'; }
    // Where in the source the next piece begins.
    std::size_t offset() const { return source_.taken() - (end_ - pos_); }
    // Goes on after the source's stop, once the source has resumed.
    void resume() { at_end_ = false; }

private:
    // Whole blocks are the cheapest reads; a block holds many pieces, and
    // the unread rest of the last one moves to the front.
    static constexpr std::size_t block_size = 1 << 17;
    static constexpr std::size_t max_read = kLineReadMax;
    static_assert(block_size > max_read + 1);

    void fill();

    ByteSource& source_;
    std::unique_ptr<char[]> buf_ = std::make_unique_for_overwrite<char[]>(block_size + 1);
    char piece_[max_read + 1];
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool at_end_ = false;
    std::size_t raw_size_ = 0;
    int line_no_ = 0;
    bool ended_ = true;
};

}  // namespace lbsnap
