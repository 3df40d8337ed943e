#include "lib/out_printf.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
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

class StringSink {
public:
    explicit StringSink(std::string& s) : s_(s) {}
    void put(const char* s, std::size_t len) { s_.append(s, len); }

private:
    std::string& s_;
};

template <class Sink>
void put_int(Sink& sink, int v) {
    char digits[12];
    auto r = std::to_chars(digits, digits + sizeof digits, v);
    sink.put(digits, static_cast<std::size_t>(r.ptr - digits));
}

// A simple format's conversions, one after the other; false at the first
// conversion that is none of them, with the output so far left in the sink.
template <class Sink>
bool format_simple(Sink& sink, const char* fmt, va_list ap) {
    const char* p = fmt;
    while (true) {
        const char* pct = p;
        while (*pct && *pct != '%') ++pct;
        sink.put(p, static_cast<std::size_t>(pct - p));
        if (!*pct) return true;
        switch (pct[1]) {
            case 'd': put_int(sink, va_arg(ap, int)); break;
            case 's': {
                const char* s = va_arg(ap, const char*);
                if (!s) s = "(null)";  // as glibc prints a null text
                sink.put(s, std::strlen(s));
                break;
            }
            case 'c': {
                char ch = static_cast<char>(va_arg(ap, int));
                sink.put(&ch, 1);
                break;
            }
            case '%': sink.put("%", 1); break;
            default: return false;
        }
        p = pct + 2;
    }
}

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
    format_simple(line, fmt, ap);
    va_end(ap);
    return line.finish();
}

SplitFormat::SplitFormat(const char* fmt) : format_(fmt) {
    std::string run;
    for (const char* p = fmt; *p; ++p) {
        if (*p != '%') {
            run += *p;
            continue;
        }
        ++p;
        if (*p == '%') {
            run += '%';
            continue;
        }
        if (*p != 'd' && *p != 's') throw std::logic_error(std::string("format not split: ") + fmt);
        conversions_ += *p;
        literal_size_ += run.size();
        runs_.push_back(std::move(run));
        run.clear();
    }
    literal_size_ += run.size();
    runs_.push_back(std::move(run));
}

void append_printf(std::string& out, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    append_vprintf(out, fmt, ap);
    va_end(ap);
}

void append_vprintf(std::string& out, const char* fmt, va_list ap) {
    va_list measure, write;
    va_copy(measure, ap);
    va_copy(write, ap);
    const std::size_t start = out.size();
    StringSink sink(out);
    // One pass for the formats the dump uses; any other is taken back and
    // handed to vsnprintf whole.
    if (!format_simple(sink, fmt, ap)) {
        out.resize(start);
        const int n = std::vsnprintf(nullptr, 0, fmt, measure);
        if (n > 0) {
            out.resize(start + static_cast<std::size_t>(n) + 1);
            std::vsnprintf(out.data() + start, static_cast<std::size_t>(n) + 1, fmt, write);
            out.resize(start + static_cast<std::size_t>(n));
        }
    }
    va_end(write);
    va_end(measure);
}

}  // namespace lbsnap
