// The streaming JSON writer.
#include <charconv>
#include <nlohmann/json.hpp>
#include <string>

#include "reports/json_writer.h"

namespace lbsnap {

namespace {

constexpr std::size_t kIndent = 2;
// A dump of every VS is made of millions of small pieces: they gather in the
// writer's own buffer and go to the stream in blocks of this size.
constexpr std::size_t kBlock = 1 << 16;
// A part goes into a text that holds it whole: a small block will do.
constexpr std::size_t kPartBlock = 1 << 12;

// A newline and the indentation of the levels most documents reach, to be
// copied in one piece.
constexpr std::size_t kIndentedLevels = 15;
constexpr char kNewlineIndent[] = "\n                              ";
static_assert(sizeof kNewlineIndent - 1 == 1 + kIndentedLevels * kIndent);

// Texts made only of printable ASCII other than the quote and the backslash
// are their own JSON form; every other text goes through the library.
bool plain(std::string_view s) {
    for (unsigned char ch : s)
        if (ch < 0x20 || ch > 0x7e || ch == '"' || ch == '\\') return false;
    return true;
}

}  // namespace

JsonWriter::JsonWriter(std::FILE* out)
    : out_(out), buf_(std::make_unique_for_overwrite<char[]>(kBlock)), pos_(buf_.get()), end_(pos_ + kBlock) {}

JsonWriter::JsonWriter(std::string& into, std::size_t depth, bool after_element)
    : into_(&into),
      buf_(std::make_unique_for_overwrite<char[]>(kPartBlock)),
      pos_(buf_.get()),
      end_(pos_ + kPartBlock),
      has_members_(depth) {
    has_members_.back() = after_element;
}

JsonWriter::~JsonWriter() { flush(); }

void JsonWriter::write_out(const char* s, std::size_t n) {
    if (into_)
        into_->append(s, n);
    else
        std::fwrite(s, 1, n, out_);
}

void JsonWriter::flush() {
    write_out(buf_.get(), static_cast<std::size_t>(pos_ - buf_.get()));
    pos_ = buf_.get();
}

// What does not fit in the block's rest: after a flush, in the block, or
// written apart when larger than a block.
void JsonWriter::put_apart(const char* s, std::size_t n) {
    if (n > static_cast<std::size_t>(end_ - buf_.get())) {
        flush();
        write_out(s, n);
        return;
    }
    std::memcpy(room(n), s, n);
    pos_ += n;
}

void JsonWriter::newline_indent(std::size_t depth) {
    if (depth <= kIndentedLevels) return put(kNewlineIndent, 1 + depth * kIndent);
    put('\n');
    for (std::size_t i = 0; i < depth * kIndent; ++i) put(' ');
}

// Separates an array element or an object member from the one before it.
void JsonWriter::value_start() {
    if (after_key_) {
        after_key_ = false;
        return;
    }
    if (has_members_.empty()) return;
    if (has_members_.back()) put(',');
    has_members_.back() = true;
    newline_indent(has_members_.size());
}

JsonWriter& JsonWriter::key(std::string_view name) {
    value_start();
    put('"');
    put(name);
    put("\": ", 3);
    after_key_ = true;
    return *this;
}

void JsonWriter::number(long long v) {
    value_start();
    constexpr std::size_t kDigits = 24;  // a sign and 19 digits at most
    char* at = room(kDigits);
    pos_ = std::to_chars(at, at + kDigits, v).ptr;
    value_end();
}

void JsonWriter::text(std::string_view s) {
    value_start();
    if (plain(s)) {
        put('"');
        put(s);
        put('"');
    } else {
        put(nlohmann::json(std::string(s)).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    }
    value_end();
}

void JsonWriter::boolean(bool b) {
    value_start();
    put(b ? std::string_view("true") : std::string_view("false"));
    value_end();
}

void JsonWriter::null() {
    value_start();
    put("null", 4);
    value_end();
}

// A document ends with a newline, as the text reports' lines do.
void JsonWriter::value_end() {
    if (has_members_.empty()) put('\n');
}

void JsonWriter::begin_object() {
    value_start();
    put('{');
    has_members_.push_back(false);
}

void JsonWriter::begin_array() {
    value_start();
    put('[');
    has_members_.push_back(false);
}

void JsonWriter::end(char close) {
    const bool had = has_members_.back();
    has_members_.pop_back();
    if (had) newline_indent(has_members_.size());
    put(close);
    value_end();
}

void JsonWriter::end_object() { end('}'); }
void JsonWriter::end_array() { end(']'); }

void JsonWriter::splice(std::string_view elements) {
    if (elements.empty()) return;
    put(elements);
    has_members_.back() = true;
}

}  // namespace lbsnap
