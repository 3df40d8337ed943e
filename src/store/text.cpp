// Storage behind the model's text fields.
#include "store/text.h"

#include <algorithm>

namespace lbsnap {

const char* TextArena::keep(std::string_view text) {
    if (text.empty()) return "";
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

}  // namespace lbsnap
