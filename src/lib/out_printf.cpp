#include "lib/out_printf.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace lbsnap {
namespace {

// Collects one call's whole output, to be written with one call once the
// format has been read to its end: a format found not to be simple on the
// way has written nothing, and goes to the library instead. Lines longer
// than the buffer spill into the heap.
class LineBuffer {
public:
    void put(const char* s, std::size_t len) {
        if (n_ + len > sizeof buf_) {
            spill_.append(buf_, n_).append(s, len);
            n_ = 0;
            return;
        }
        std::memcpy(buf_ + n_, s, len);
        n_ += len;
    }
    int write_to(std::FILE* out) {
        if (spill_.empty()) return static_cast<int>(std::fwrite(buf_, 1, n_, out));
        spill_.append(buf_, n_);
        return static_cast<int>(std::fwrite(spill_.data(), 1, spill_.size(), out));
    }

private:
    char buf_[512];
    std::size_t n_ = 0;
    std::string spill_;
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
                if (!s) s = kNullText;
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
    va_list ap, again;
    va_start(ap, fmt);
    va_copy(again, ap);
    LineBuffer line;
    const int r = format_simple(line, fmt, ap) ? line.write_to(out) : std::vfprintf(out, fmt, again);
    va_end(again);
    va_end(ap);
    return r;
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
