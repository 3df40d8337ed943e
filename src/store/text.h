// The text fields of the model. A field is one pointer to NUL-terminated
// text that outlives the record: a copy in the model's arena, or a literal. Records of a large
// configuration hold dozens of texts each, so a field costs eight bytes and
// no allocation of its own.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lbsnap {

// The texts the records keep (values as read, normalised addresses), packed
// one after the other and kept for the life of one model.
class TextArena {
public:
    const char* keep(std::string_view text);

private:
    static constexpr std::size_t block_size = 1 << 16;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* free_ = nullptr;
    std::size_t left_ = 0;
};

class Text {
public:
    Text() = default;

    const char* c_str() const { return p_; }
    std::size_t size() const { return std::strlen(p_); }
    bool empty() const { return *p_ == '\0'; }
    std::string str() const { return p_; }
    operator std::string_view() const { return p_; }
    bool operator==(std::string_view v) const { return std::string_view(p_) == v; }

    // Points the field at NUL-terminated text that already outlives the
    // record: a literal, or the arena's.
    void set_view(const char* p) { p_ = p; }

protected:
    const char* p_ = "";
};

// A text field of fixed capacity N: holds at most N-1 bytes. Longer values
// are cut, which is how every field stays within its size.
template <std::size_t N>
class FixedText : public Text {
public:
    static constexpr std::size_t capacity = N;

    // The reader's way in: a copy of `v` in the arena, cut to the field's
    // capacity (the line it lies in is gone once the next line is read).
    void take(TextArena& arena, const char* v) { p_ = arena.keep({v, strnlen(v, N - 1)}); }
};

// An optional text of the configuration ("owned copy"): unset differs from
// set-but-empty. Reads like std::optional<std::string>.
class OptText : private Text {
public:
    OptText() { p_ = nullptr; }

    explicit operator bool() const { return p_ != nullptr; }
    bool has_value() const { return p_ != nullptr; }
    const Text& operator*() const { return *this; }
    const Text* operator->() const { return this; }
    const char* value_or(const char* dflt) const { return p_ ? p_ : dflt; }
    bool operator==(std::string_view v) const { return p_ && std::string_view(p_) == v; }
    bool operator==(const char* v) const { return *this == std::string_view(v); }
    bool operator==(const OptText& o) const {
        return p_ == o.p_ || (p_ && o.p_ && std::strcmp(p_, o.p_) == 0);
    }
    bool operator==(const std::optional<std::string>& o) const {
        return o ? *this == std::string_view(*o) : !p_;
    }

    // The reader's way in (see FixedText::take); set, even when empty.
    void take(TextArena& arena, const char* v) { p_ = arena.keep(v); }
    // For texts that outlive the record as they are (literals).
    void set_view(const char* p) { p_ = p; }
};

}  // namespace lbsnap
