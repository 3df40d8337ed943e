// Case folding of ASCII letters only. Keys, cipher-set names and add-on
// names are compared as the C locale folds them, whatever locale the process
// runs in; std::toupper follows the locale and is not constexpr.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lbsnap {

constexpr char ascii_upper(char ch) {
    return ch >= 'a' && ch <= 'z' ? static_cast<char>(ch - 'a' + 'A') : ch;
}

constexpr char ascii_lower(char ch) {
    return ch >= 'A' && ch <= 'Z' ? static_cast<char>(ch - 'A' + 'a') : ch;
}

inline std::string ascii_lower(std::string_view s) {
    std::string r(s);
    for (char& ch : r) ch = ascii_lower(ch);
    return r;
}

inline std::string ascii_upper(std::string_view s) {
    std::string r(s);
    for (char& ch : r) ch = ascii_upper(ch);
    return r;
}

constexpr bool ascii_iequal(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
    return true;
}

}  // namespace lbsnap
