#include "lib/out_printf.h"

#include <cstdarg>
#include <cstring>

namespace lbsnap {
namespace {

// Formats are short: plain loops beat library calls per character run.
bool simple_format(const char* fmt) {
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') continue;
        ++p;
        if (*p != 'd' && *p != 's' && *p != 'c' && *p != '%') return false;
    }
    return true;
}

// Collects one call's output and writes it in as few calls as it can.
class LineBuffer {
public:
    explicit LineBuffer(std::FILE* out) : out_(out) {}

    void put(const char* s, std::size_t len) {
        if (n_ + len > sizeof buf_) {
            flush();
            if (len > sizeof buf_) {
                written_ += std::fwrite(s, 1, len, out_);
                return;
            }
        }
        std::memcpy(buf_ + n_, s, len);
        n_ += len;
    }
    void put_int(int v) {
        char digits[12];
        char* end = digits + sizeof digits;
        char* p = end;
        // Unsigned, so the lowest int has a magnitude too.
        unsigned u = v < 0 ? 0u - static_cast<unsigned>(v) : static_cast<unsigned>(v);
        do *--p = static_cast<char>('0' + u % 10); while (u /= 10);
        if (v < 0) *--p = '-';
        put(p, static_cast<std::size_t>(end - p));
    }
    int finish() {
        flush();
        return static_cast<int>(written_);
    }

private:
    void flush() {
        written_ += std::fwrite(buf_, 1, n_, out_);
        n_ = 0;
    }

    std::FILE* out_;
    char buf_[512];
    std::size_t n_ = 0;
    std::size_t written_ = 0;
};

}  // namespace

int out_printf(std::FILE* out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    if (!simple_format(fmt)) {
        int r = std::vfprintf(out, fmt, ap);
        va_end(ap);
        return r;
    }
    LineBuffer line(out);
    const char* p = fmt;
    while (true) {
        const char* pct = p;
        while (*pct && *pct != '%') ++pct;
        line.put(p, static_cast<std::size_t>(pct - p));
        if (!*pct) break;
        switch (pct[1]) {
            case 'd': line.put_int(va_arg(ap, int)); break;
            case 's': {
                const char* s = va_arg(ap, const char*);
                line.put(s, std::strlen(s));
                break;
            }
            case 'c': {
                char ch = static_cast<char>(va_arg(ap, int));
                line.put(&ch, 1);
                break;
            }
            default: line.put("%", 1); break;
        }
        p = pct + 2;
    }
    va_end(ap);
    return line.finish();
}

}  // namespace lbsnap
