// The streaming JSON writer.
#include <algorithm>
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>

#include "reports/json.h"

namespace lbsnap {

namespace {

constexpr std::size_t kIndent = 2;

// Texts made only of printable ASCII other than the quote and the backslash
// are their own JSON form; every other text goes through the library.
bool plain(std::string_view s) {
    for (unsigned char ch : s)
        if (ch < 0x20 || ch > 0x7e || ch == '"' || ch == '\\') return false;
    return true;
}

}  // namespace

void JsonWriter::newline_indent(std::size_t depth) {
    static constexpr char blanks[] = "                                ";
    std::fputc('\n', out_);
    for (std::size_t n = depth * kIndent; n > 0;) {
        const std::size_t chunk = std::min(n, sizeof blanks - 1);
        std::fwrite(blanks, 1, chunk, out_);
        n -= chunk;
    }
}

// Separates an array element or an object member from the one before it.
void JsonWriter::value_start() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (has_members_.empty()) return;
    if (has_members_.back()) std::fputc(',', out_);
    has_members_.back() = true;
    newline_indent(has_members_.size());
}

JsonWriter& JsonWriter::key(const char* name) {
    value_start();
    std::fputc('"', out_);
    std::fputs(name, out_);
    std::fputs("\": ", out_);
    after_key_ = true;
    return *this;
}

void JsonWriter::number(long long v) {
    value_start();
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::fwrite(buf, 1, static_cast<std::size_t>(res.ptr - buf), out_);
    value_end();
}

void JsonWriter::text(std::string_view s) {
    value_start();
    if (plain(s)) {
        std::fputc('"', out_);
        std::fwrite(s.data(), 1, s.size(), out_);
        std::fputc('"', out_);
    } else {
        const std::string quoted = nlohmann::json(std::string(s)).dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace);
        std::fwrite(quoted.data(), 1, quoted.size(), out_);
    }
    value_end();
}

void JsonWriter::boolean(bool b) {
    value_start();
    std::fputs(b ? "true" : "false", out_);
    value_end();
}

void JsonWriter::null() {
    value_start();
    std::fputs("null", out_);
    value_end();
}

// A document ends with a newline, as the text reports' lines do.
void JsonWriter::value_end() {
    if (has_members_.empty()) std::fputc('\n', out_);
}

void JsonWriter::begin_object() {
    value_start();
    std::fputc('{', out_);
    has_members_.push_back(false);
}

void JsonWriter::begin_array() {
    value_start();
    std::fputc('[', out_);
    has_members_.push_back(false);
}

void JsonWriter::end(char close) {
    const bool had = has_members_.back();
    has_members_.pop_back();
    if (had) newline_indent(has_members_.size());
    std::fputc(close, out_);
    value_end();
}

void JsonWriter::end_object() { end('}'); }
void JsonWriter::end_array() { end(']'); }

}  // namespace lbsnap
