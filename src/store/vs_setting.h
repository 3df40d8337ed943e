// The rows of vs_settings.def as data: what the reader, the dumps and the
// configuration check read of each VS setting.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lib/addrs.h"
#include "store/text.h"

namespace lbsnap {

struct bahd_config_t;
struct Rule_list;
struct VsLine;

// Values of the dump that no field holds as the line shows it; the dump
// works them out (reports/dump_entries.cpp).
enum class Derived : std::uint8_t {
    none,
    port, is_http, is_7layer, layer, has_v6,
    certfile, followvsid, followvs, label,
    subvs_weight, subvs_limit, subvs_ratelimit,
    is_transparent, slave_encrypt, topport, topprot, topvip, topnextraports, topqos,
    cipherset, hasrsfollow, nrs, needhealth, controller,
};

// A further condition of a line, on other settings of the VS.
enum class Gate : std::uint8_t {
    none,
    intercept,     // INTERCEPT: is not 0
    errcode,       // ERRCODE: is not 0
    ldap_checker,  // CHECKER_TYPE: is exactly "ldap"
    copy_hdr_key,  // COPYHDRKEY: is not empty
    esp,           // ESP: is not 0
    esp_inauth,    // ESP: and INAUTH: are not 0
    esp_kcd,       // ESP: is not 0 and OUTAUTH: is Kerberos constrained delegation
    not_master,    // MASTER: is 0
};

// What a line shows and when.
enum class LineKind : std::uint8_t {
    none,          // the setting has no line of its own
    by_kind,       // an int always, a text when not empty, an optional text when set
    always,        // also an empty text
    nonzero,       // an int that is not 0
    escaped,       // free text: HTML-escaped unless -a asks for it raw
    derived,       // a value the dump works out
    counted,       // a count line, then the list's line when the count is not 0
    listed,        // the list's line when the list is not empty
    real_servers,  // the real-server lines
};

struct DumpLine {
    LineKind kind = LineKind::none;
    // The line's exact format; of a counted list its count line.
    const char* format = nullptr;
    // Lists: the text that starts the list's line and the format of each
    // item (null: the list prints itself). Real servers: the rule line and
    // its item.
    const char* list_start = nullptr;
    const char* item = nullptr;
    Derived derived = Derived::none;
    // A line of one value: its format before and after the conversion. The
    // dump writes millions of such lines, and reading the format again for
    // each would cost more than the rest of the line.
    std::string_view before, after;
};

constexpr DumpLine make_line(LineKind kind, const char* format, const char* list_start = nullptr,
                             const char* item = nullptr, Derived d = Derived::none) {
    DumpLine l;
    l.kind = kind;
    l.format = format;
    l.list_start = list_start;
    l.item = item;
    l.derived = d;
    return l;
}

// A line of one value, its format split around the conversion.
constexpr DumpLine one_value(LineKind kind, const char* format, Derived d = Derived::none) {
    DumpLine l = make_line(kind, format, nullptr, nullptr, d);
    const std::string_view f = format;
    const std::size_t at = f.find('%');
    if (at == std::string_view::npos || at + 1 >= f.size()) {
        l.before = f;
        return l;
    }
    l.before = f.substr(0, at);
    l.after = f.substr(at + 2);
    return l;
}

constexpr DumpLine no_line{};
constexpr DumpLine line(const char* format) { return one_value(LineKind::by_kind, format); }
constexpr DumpLine always(const char* format) { return one_value(LineKind::always, format); }
constexpr DumpLine nonzero(const char* format) { return one_value(LineKind::nonzero, format); }
constexpr DumpLine escaped(const char* format) { return one_value(LineKind::escaped, format); }
constexpr DumpLine derived(const char* format, Derived d) {
    return one_value(LineKind::derived, format, d);
}
constexpr DumpLine counted(const char* count, const char* start, const char* item) {
    return make_line(LineKind::counted, count, start, item);
}
constexpr DumpLine listed(const char* start, const char* item) {
    return make_line(LineKind::listed, nullptr, start, item);
}
constexpr DumpLine real_servers(const char* rs, const char* rules, const char* rule) {
    return make_line(LineKind::real_servers, rs, rules, rule);
}

// A field's value as the dump reads it.
enum class FieldKind : std::uint8_t { none, number, text, opt_text, ints, addresses, rules };

struct FieldValue {
    FieldKind kind = FieldKind::none;
    int number = 0;
    const char* text = nullptr;  // null: an optional text that is not set
    const std::vector<int>* ints_value = nullptr;
    const std::vector<lm_addr>* addresses_value = nullptr;
    const Rule_list* rules_value = nullptr;
};

using KeyRead = void (*)(const VsLine&);
using FieldOf = FieldValue (*)(const bahd_config_t&);

struct VsSetting {
    std::string_view key;  // with its colon; empty when no key sets it
    KeyRead read = nullptr;
    DumpLine line;
    Gate gate = Gate::none;
    FieldOf field = nullptr;  // null for a line of no field

    // The key of the line as the dump writes it ("ENABLED" for "ENABLED:
    // %d\n"); of a list the list's key ("EXTRAPORTS"); empty without a line.
    std::string_view dump_key() const;
};

// Every row, in the order of the dump.
std::span<const VsSetting> vs_settings();
// The row of the VS key that starts `line` (case ignored), with *value set
// to the text after the key and its blanks and tabs; null for no key.
const VsSetting* find_vs_key(char* line, char** value);
// Whether a row's gate lets its line through for VS v.
bool gate_open(Gate g, const bahd_config_t& v);

}  // namespace lbsnap
