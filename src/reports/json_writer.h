// A streaming JSON writer. It lays the text out as `jq .` does (two blanks
// per level, one member per line); texts go through the JSON library, which
// escapes them and replaces invalid UTF-8 with U+FFFD.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lbsnap {

// Writes one JSON document to a stream as it goes, so a report of tens of
// thousands of VSs never holds more than one of them.
class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out);
    // A writer of elements of an array that another writer has open, at
    // `depth` levels of nesting (1: the document's own array), for a part
    // of a document made apart: the text goes into `into` (complete once
    // this writer is gone) and then into the other writer by splice().
    // after_element: the array has an element before these.
    JsonWriter(std::string& into, std::size_t depth, bool after_element);
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // name is a lower_snake_case constant: written as it is.
    JsonWriter& key(std::string_view name);
    void number(long long v);
    void text(std::string_view s);
    void boolean(bool b);
    void null();
    void begin_object();
    void end_object();
    void begin_array();
    void end_array();
    // Elements of the array open here, made by a writer of elements.
    void splice(std::string_view elements);

    void field(std::string_view name, long long v) { key(name).number(v); }
    void field(std::string_view name, std::string_view s) { key(name).text(s); }
    // The member only when the optional text is set (possibly empty).
    template <typename Opt>
    void if_set(std::string_view name, const Opt& s) {
        if (s) field(name, std::string_view(*s));
    }

private:
    void value_start();
    void value_end();
    void newline_indent(std::size_t depth);
    void end(char close);
    void flush();
    void write_out(const char* s, std::size_t n);
    // Room for n more bytes at pos_, flushing first when the block lacks it.
    char* room(std::size_t n) {
        if (static_cast<std::size_t>(end_ - pos_) < n) flush();
        return pos_;
    }
    void put(const char* s, std::size_t n) {
        if (static_cast<std::size_t>(end_ - pos_) < n) return put_apart(s, n);
        std::memcpy(pos_, s, n);
        pos_ += n;
    }
    void put_apart(const char* s, std::size_t n);
    void put(std::string_view s) { put(s.data(), s.size()); }
    void put(char ch) {
        *room(1) = ch;
        ++pos_;
    }

    std::FILE* out_ = nullptr;
    std::string* into_ = nullptr;
    // The output not yet written: a dump is millions of pieces of a few
    // bytes, each copied here by hand rather than through a growing string.
    std::unique_ptr<char[]> buf_;
    char* pos_;
    char* end_;
    std::vector<char> has_members_;  // one per open object or array
    bool after_key_ = false;
};

}  // namespace lbsnap
