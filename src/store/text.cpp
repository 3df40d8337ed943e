// Storage behind the model's text fields.
#include "store/text.h"

#include <sys/mman.h>

#include <new>
#include <utility>

namespace lbsnap {

FileBuffer::FileBuffer(std::size_t size) : size_(size) {
    void* p = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    // Advice only: without huge pages the buffer works the same.
    madvise(p, size, MADV_HUGEPAGE);
    data_ = static_cast<char*>(p);
}

FileBuffer& FileBuffer::operator=(FileBuffer&& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    return *this;
}

FileBuffer::~FileBuffer() {
    if (data_) munmap(data_, size_);
}

char* TextArena::keep_mutable(std::string_view text) {
    std::size_t need = text.size() + 1;
    if (need > left_) {
        // A text larger than a block gets a block of its own, so the
        // current block keeps its free space.
        std::size_t size = std::max(need, block_size);
        blocks_.push_back(std::make_unique_for_overwrite<char[]>(size));
        if (size > block_size) {
            char* own = blocks_.back().get();
            std::memcpy(own, text.data(), text.size());
            own[text.size()] = '\0';
            return own;
        }
        free_ = blocks_.back().get();
        left_ = size;
    }
    char* out = free_;
    std::memcpy(out, text.data(), text.size());
    out[text.size()] = '\0';
    free_ += need;
    left_ -= need;
    return out;
}

const char* TextArena::keep(std::string_view text) {
    if (text.empty()) return "";
    return keep_mutable(text);
}

}  // namespace lbsnap
