// The streaming JSON writer.
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>

#include "reports/json_writer.h"

namespace lbsnap {

namespace {

constexpr std::size_t kIndent = 2;
// A dump of every VS is made of millions of small pieces: they gather in the
// writer's own buffer and go to the stream in blocks of about this size.
constexpr std::size_t kFlushAt = 1 << 16;

// Texts made only of printable ASCII other than the quote and the backslash
// are their own JSON form; every other text goes through the library.
bool plain(std::string_view s) {
    for (unsigned char ch : s)
        if (ch < 0x20 || ch > 0x7e || ch == '"' || ch == '\\') return false;
    return true;
}

}  // namespace

JsonWriter::~JsonWriter() { flush(); }

void JsonWriter::flush() {
    std::fwrite(buf_.data(), 1, buf_.size(), out_);
    buf_.clear();
}

void JsonWriter::newline_indent(std::size_t depth) {
    buf_ += '\n';
    buf_.append(depth * kIndent, ' ');
}

// Separates an array element or an object member from the one before it.
void JsonWriter::value_start() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (has_members_.empty()) return;
    if (has_members_.back()) buf_ += ',';
    has_members_.back() = true;
    newline_indent(has_members_.size());
}

JsonWriter& JsonWriter::key(const char* name) {
    value_start();
    buf_ += '"';
    buf_ += name;
    buf_ += "\": ";
    after_key_ = true;
    return *this;
}

void JsonWriter::number(long long v) {
    value_start();
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, v);
    buf_.append(buf, res.ptr);
    value_end();
}

void JsonWriter::text(std::string_view s) {
    value_start();
    if (plain(s)) {
        buf_ += '"';
        buf_ += s;
        buf_ += '"';
    } else {
        buf_ += nlohmann::json(std::string(s)).dump(-1, ' ', false,
                                                    nlohmann::json::error_handler_t::replace);
    }
    value_end();
}

void JsonWriter::boolean(bool b) {
    value_start();
    buf_ += b ? "true" : "false";
    value_end();
}

void JsonWriter::null() {
    value_start();
    buf_ += "null";
    value_end();
}

// A document ends with a newline, as the text reports' lines do.
void JsonWriter::value_end() {
    if (has_members_.empty()) buf_ += '\n';
    if (buf_.size() >= kFlushAt) flush();
}

void JsonWriter::begin_object() {
    value_start();
    buf_ += '{';
    has_members_.push_back(false);
}

void JsonWriter::begin_array() {
    value_start();
    buf_ += '[';
    has_members_.push_back(false);
}

void JsonWriter::end(char close) {
    const bool had = has_members_.back();
    has_members_.pop_back();
    if (had) newline_indent(has_members_.size());
    buf_ += close;
    value_end();
}

void JsonWriter::end_object() { end('}'); }
void JsonWriter::end_array() { end(']'); }

}  // namespace lbsnap
