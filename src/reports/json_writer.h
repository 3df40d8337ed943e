// A streaming JSON writer. It lays the text out as `jq .` does (two blanks
// per level, one member per line); texts go through the JSON library, which
// escapes them and replaces invalid UTF-8 with U+FFFD.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace lbsnap {

// Writes one JSON document to a stream as it goes, so a report of tens of
// thousands of VSs never holds more than one of them.
class JsonWriter {
public:
    explicit JsonWriter(std::FILE* out) : out_(out) {}
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    // name is a lower_snake_case constant: written as it is.
    JsonWriter& key(const char* name);
    void number(long long v);
    void text(std::string_view s);
    void boolean(bool b);
    void null();
    void begin_object();
    void end_object();
    void begin_array();
    void end_array();

    void field(const char* name, long long v) { key(name).number(v); }
    void field(const char* name, std::string_view s) { key(name).text(s); }
    // The member only when the optional text is set (possibly empty).
    template <typename Opt>
    void if_set(const char* name, const Opt& s) {
        if (s) field(name, std::string_view(*s));
    }

private:
    void value_start();
    void value_end();
    void newline_indent(std::size_t depth);
    void end(char close);
    void flush();

    std::FILE* out_;
    std::string buf_;
    std::vector<bool> has_members_;  // one per open object or array
    bool after_key_ = false;
};

}  // namespace lbsnap
