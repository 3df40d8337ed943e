// Formatted output for the reports that write millions of short lines.
#pragma once

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lbsnap {

// What glibc prints for a null %s.
inline constexpr char kNullText[] = "(null)";

// std::fprintf for formats whose conversions are all %d, %s, %c or %%: the
// line is put together here and written with one call, which costs a
// fraction of vfprintf's general machinery. Any other format is handed to
// std::vfprintf, so the output is the same either way.
int out_printf(std::FILE* out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
// The same, appended to a text instead of written.
void append_printf(std::string& out, const char* fmt, ...) __attribute__((format(printf, 2, 3)));
void append_vprintf(std::string& out, const char* fmt, std::va_list ap) __attribute__((format(printf, 2, 0)));

// A format whose conversions are all %d and %s, split once into the
// literal runs between them: a line of a dozen values then costs the
// copies of its parts, not a reading of its format. append() takes an int
// for each %d and a text for each %s, and appends what append_printf would.
class SplitFormat {
public:
    explicit SplitFormat(const char* fmt);

    const char* format() const { return format_; }

    template <class... Args>
    void append(std::string& out, Args... args) const {
        static_assert(((std::is_same_v<Args, int> || std::is_same_v<Args, const char*>) && ...));
        constexpr char kinds[] = {(std::is_same_v<Args, int> ? 'd' : 's')..., '\0'};
        if (std::string_view(kinds) != conversions_) throw std::logic_error("arguments unlike the format");
        std::size_t need = literal_size_;
        ((need += width(args)), ...);
        const std::size_t start = out.size();
        out.resize(start + need);
        char* p = out.data() + start;
        std::size_t run = 0;
        ((p = put(put_run(p, run++), args)), ...);
        p = put_run(p, run);
        out.resize(static_cast<std::size_t>(p - out.data()));
    }

private:
    static constexpr std::size_t kIntWidth = 11;  // "-2147483648"
    static std::size_t width(int) { return kIntWidth; }
    static std::size_t width(const char* s) { return std::strlen(text_of(s)); }
    static const char* text_of(const char* s) { return s ? s : kNullText; }
    static char* put(char* p, int v) { return std::to_chars(p, p + kIntWidth, v).ptr; }
    static char* put(char* p, const char* s) {
        s = text_of(s);
        const std::size_t n = std::strlen(s);
        std::memcpy(p, s, n);
        return p + n;
    }
    char* put_run(char* p, std::size_t i) const {
        std::memcpy(p, runs_[i].data(), runs_[i].size());
        return p + runs_[i].size();
    }

    const char* format_;
    std::vector<std::string> runs_;  // one more than the conversions
    std::string conversions_;        // their letters, in order
    std::size_t literal_size_ = 0;
};

}  // namespace lbsnap
