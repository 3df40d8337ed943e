#include "store/line_source.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace lbsnap {

ByteSource ByteSource::from(std::size_t offset) const {
    ByteSource part = *this;
    part.apart_ = fd_ >= 0;
    part.at_ = offset;
    part.stop_ = kNoStop;
    part.error_ = 0;
    return part;
}

std::size_t ByteSource::read_into(char* to, std::size_t room) {
    if (at_ >= stop_) return 0;
    room = std::min(room, stop_ - at_);
    if (fd_ < 0) {
        const std::size_t n = at_ < text_.size() ? std::min(room, text_.size() - at_) : 0;
        std::memcpy(to, text_.data() + at_, n);
        at_ += n;
        return n;
    }
    while (true) {
        const ssize_t got = apart_ ? pread(fd_, to, room, static_cast<off_t>(at_)) : read(fd_, to, room);
        if (got >= 0) {
            at_ += static_cast<std::size_t>(got);
            return static_cast<std::size_t>(got);
        }
        if (errno == EINTR) continue;
        error_ = errno;
        return 0;
    }
}

std::size_t ByteSource::size() const {
    if (fd_ < 0) return text_.size();
    struct stat st {};
    if (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    return static_cast<std::size_t>(st.st_size);
}

std::size_t ByteSource::read_at(std::size_t offset, char* to, std::size_t n) const {
    ByteSource apart = from(offset);
    std::size_t got = 0;
    while (got < n) {
        const std::size_t more = apart.read_into(to + got, n - got);
        if (more == 0) break;
        got += more;
    }
    return got;
}

std::size_t ByteSource::newlines_before(std::size_t end) const {
    if (fd_ < 0) {
        const std::string_view counted = text_.substr(0, end);
        return static_cast<std::size_t>(std::count(counted.begin(), counted.end(), '\n'));
    }
    constexpr std::size_t chunk = 1 << 18;
    std::vector<char> buf(chunk);
    std::size_t lines = 0;
    for (std::size_t at = 0; at < end;) {
        const std::size_t got = read_at(at, buf.data(), std::min(chunk, end - at));
        if (got == 0) break;
        lines += static_cast<std::size_t>(std::count(buf.data(), buf.data() + got, '\n'));
        at += got;
    }
    return lines;
}

LineSplitter::LineSplitter(ByteSource& source, int lines_before) : source_(source), line_no_(lines_before) {
    fill();
}

char* LineSplitter::next() {
    if (end_ - pos_ <= max_read && !at_end_) fill();
    if (pos_ >= end_) return nullptr;
    line_no_ += ended_;
    char* start = buf_.get() + pos_;
    const Piece piece = next_piece(start, end_ - pos_, max_read);
    pos_ += piece.size;
    ended_ = piece.ends_line;
    if (piece.ends_line) {
        start[piece.size - 1] = '\0';
        raw_size_ = piece.size - 1;
        return start;
    }
    const std::size_t len = piece.size;
    raw_size_ = len;
    // The last piece ends at the NUL after the bytes read. A piece of a
    // longer line runs on into the next piece, so it gets an end of its
    // own in a copy, unless a NUL ends its text earlier.
    if (pos_ == end_ || std::memchr(start, '\0', len)) return start;
    std::memcpy(piece_, start, len);
    piece_[len] = '\0';
    return piece_;
}

// Tops the buffer up to a full block, or to the end of the file, so a whole
// piece and the byte after it are at hand whenever the file has them.
void LineSplitter::fill() {
    std::memmove(buf_.get(), buf_.get() + pos_, end_ - pos_);
    end_ -= pos_;
    pos_ = 0;
    while (end_ < block_size && !at_end_) {
        const std::size_t got = source_.read_into(buf_.get() + end_, block_size - end_);
        end_ += got;
        at_end_ = got == 0;
    }
    buf_[end_] = '\0';
}

}  // namespace lbsnap
