// Key tables of the configuration sections and the integer conversion they
// share. Internal to the configuration reader (reader, VS keys, rules).
#pragma once

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace lbsnap {

// A decimal integer as strtol with base 10 reads it. Values beyond int are
// clamped to INT_MIN/INT_MAX rather than wrapped, so a huge number stays a
// huge number of the same sign.
inline int config_int(const char* s) {
    long v = std::strtol(s, nullptr, 10);
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

// One section's keys. Every key ends with its only colon, so the key a line
// starts with (as find_key would match it, case ignored) is exactly the
// line's text up to and including its first colon; one hash lookup replaces
// testing the keys one after another.
template <class Handler>
class KeyTable {
public:
    KeyTable(std::initializer_list<std::pair<std::string_view, Handler>> rows) {
        for (const auto& [key, h] : rows) map_.emplace(upper(key), h);
    }

    // The handler of the key that starts `line`, with *value set to the
    // text after the key and any blanks and tabs; null if no key matches.
    const Handler* find(const char* line, const char** value) const {
        const char* colon = std::strchr(line, ':');
        if (!colon) return nullptr;
        auto it = map_.find(upper(std::string_view(line, colon - line + 1)));
        if (it == map_.end()) return nullptr;
        const char* v = colon + 1;
        while (*v == ' ' || *v == '\t') ++v;
        *value = v;
        return &it->second;
    }

private:
    static std::string upper(std::string_view s) {
        std::string u(s);
        // ASCII only, as strncasecmp in the C locale folds.
        for (char& ch : u)
            if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
        return u;
    }

    std::unordered_map<std::string, Handler> map_;
};

}  // namespace lbsnap
