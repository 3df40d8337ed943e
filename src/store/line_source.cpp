#include "store/line_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lbsnap {

std::size_t ByteSource::read_into(char* to, std::size_t room) {
    if (fd_ < 0) {
        const std::size_t n = std::min(room, text_.size());
        std::memcpy(to, text_.data(), n);
        text_.remove_prefix(n);
        return n;
    }
    while (true) {
        const ssize_t got = read(fd_, to, room);
        if (got >= 0) return static_cast<std::size_t>(got);
        if (errno == EINTR) continue;
        error_ = errno;
        return 0;
    }
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
