// What a short option does with its argument, or with its field when it
// takes none; shared by the command rows and the modifier rows.
#pragma once

#include "reports/options.h"

namespace lbsnap {

enum class Stores { nothing, text, number, command_argument, config_file, flag, count };

struct OptionField {
    Stores kind = Stores::nothing;
    const char* Options::*text = nullptr;
    int Options::*number = nullptr;
    const char* shown = "";  // the argument's name in --help and the manual
};

constexpr OptionField text(const char* Options::*m, const char* shown) {
    return {Stores::text, m, nullptr, shown};
}
// Through atoi, so "abc" is 0.
constexpr OptionField number(int Options::*m, const char* shown) {
    return {Stores::number, nullptr, m, shown};
}
constexpr OptionField flag(int Options::*m) { return {Stores::flag, nullptr, m}; }
constexpr OptionField count(int Options::*m) { return {Stores::count, nullptr, m}; }
constexpr OptionField command_argument(const char* shown) {
    return {Stores::command_argument, nullptr, nullptr, shown};
}
constexpr OptionField config_file{Stores::config_file, nullptr, nullptr, "file"};
constexpr OptionField no_argument_field{};

constexpr bool takes_argument(const OptionField& f) {
    return f.kind == Stores::text || f.kind == Stores::number ||
           f.kind == Stores::command_argument || f.kind == Stores::config_file;
}

}  // namespace lbsnap
