// The VS settings: how each key of a VS section is read, and the table of
// rows (vs_settings.def) that the reader and the dumps walk.
#include <strings.h>

#include <array>
#include <cstdio>
#include <type_traits>
#include <utility>

#include "lib/config_int.h"
#include "store/key_table.h"
#include "store/l7user.h"
#include "store/model.h"
#include "store/read_context.h"
#include "store/reader.h"
#include "store/rules.h"
#include "store/vs_line.h"
#include "store/vs_setting.h"

namespace lbsnap {
namespace {

using B = bahd_config_t;

// ---- where a row's field is: in the record, or in one of its groups ----

template <auto F>
struct InRecord {
    static auto& in(const VsLine& l) { return l.vs.*F; }
    static const auto& of(const B& v) { return v.*F; }
};
// A key of a group is written into the reader's draft of it, which the
// VS points at until its section ends.
template <auto G, auto F>
struct InGroup {
    static auto& in(const VsLine& l) { return l.ctx.draft(l.vs, G).*F; }
    static const auto& of(const B& v) { return (v.*G)->*F; }
};

// ---- how a key's value becomes its field ----

template <class P>
void vs_none(const VsLine&) {}
template <class P>
void vs_int(const VsLine& l) { P::in(l) = config_int(l.value); }
// A text the VS before holds for the same setting is shared, not copied:
// neighbouring VSs often repeat their checks, headers and cipher lists.
template <class P>
bool share_previous(const VsLine& l) {
    const bahd_config_t* before = l.ctx.previous_vs();
    if (!before || !(P::of(*before) == std::string_view(l.value))) return false;
    P::in(l) = P::of(*before);
    return true;
}

// A value longer than its field is cut; a check has noted that from the
// row's capacity before.
template <class P>
void vs_text(const VsLine& l) {
    if (!share_previous<P>(l)) P::in(l).take(l.ctx.m.arena, l.value);
}
template <class P>
void vs_address(const VsLine& l) { vs_text<P>(l); }
template <class P>
void vs_proto(const VsLine& l) { vs_text<P>(l); }
template <class P>
void vs_port(const VsLine& l) { vs_int<P>(l); }
template <class P>
void vs_string(const VsLine& l) {
    if (!share_previous<P>(l)) P::in(l).take(l.ctx.m.arena, l.value);
}
template <class P>
void vs_content_rules(const VsLine& l) { expand_rules(l.ctx, l.value, P::in(l), true); }
template <class P>
void vs_header_rules(const VsLine& l) { expand_rules(l.ctx, l.value, P::in(l), false); }

template <class P>
void vs_persist(const VsLine& l) {
    auto& p = P::in(l);
    p.take(l.ctx.m.arena, l.value);
    if (strcasecmp(p.c_str(), "none") == 0)
        p.set_view("");
    else if (strcasecmp(p.c_str(), "srcaddr") == 0)
        p.set_view("src");
}

template <class P>
void vs_name(const VsLine& l) {
    if (strcasecmp(l.value, "null") != 0) P::in(l).take(l.ctx.m.arena, l.value);
}

// A VS to follow by number replaces one to follow by port.
template <class P>
void vs_followvsid(const VsLine& l) {
    int& id = P::in(l);
    id = config_int(l.value);
    if (id != 0) l.vs.follow = 0;
}

// A master checks its sub-VSs' health, whatever EXTENDEDHEALTH: says.
template <class P>
void vs_master(const VsLine& l) {
    int& master = P::in(l);
    master = config_int(l.value);
    if (master != 0) l.vs.extendedhealth = 1;
}
template <class P>
void vs_extendedhealth(const VsLine& l) {
    if (l.vs.ismaster == 0) P::in(l) = config_int(l.value);
}

template <class P>
void vs_checkcodes(const VsLine& l) {
    std::vector<int>& codes = P::in(l);
    codes.clear();
    lm_check2codes(l.value, MAX_checkcodes, codes);
}

template <class P>
void vs_extraports(const VsLine& l) {
    if (!add_extraports(l.vs, l.value)) l.ctx.extraports_invalid(l.value, l.vs.extraports.size());
}

template <class P>
void vs_localbinds(const VsLine& l) { add_localbinds(l.vs, l.value); }

void vs_range(const VsLine& l) {
    // Computed wide: a clamped port plus a clamped count must not overflow;
    // such ranges are out of port range and rejected by the list parser.
    long long first = l.vs.port + 1LL;
    long long last = static_cast<long long>(l.vs.port) + config_int(l.value);
    char text[48];
    std::snprintf(text, sizeof text, "%lld-%lld", first, last);
    if (!add_extraports(l.vs, text)) l.ctx.extraports_invalid(text, l.vs.extraports.size());
}

// ---- how the dump reads a field ----

FieldValue value_of(int v) { return {FieldKind::number, v}; }
FieldValue value_of(const Text& t) { return {FieldKind::text, 0, t.c_str()}; }
FieldValue value_of(const OptText& t) {
    return {FieldKind::opt_text, 0, t.value_or(nullptr)};
}
FieldValue value_of(const std::vector<int>& v) {
    FieldValue f{FieldKind::ints};
    f.ints_value = &v;
    return f;
}
FieldValue value_of(const std::vector<lm_addr>& v) {
    FieldValue f{FieldKind::addresses};
    f.addresses_value = &v;
    return f;
}
FieldValue value_of(const Rule_list& v) {
    FieldValue f{FieldKind::rules};
    f.rules_value = &v;
    return f;
}

template <class P>
FieldValue field_of(const B& v) { return value_of(P::of(v)); }

// ---- what the check expects of a value: from the row's reader and field ----

constexpr const char* proto_words[] = {"tcp", "udp"};

constexpr ValueKind kind_of_reader(std::string_view r) {
    if (r == "vs_int" || r == "vs_followvsid" || r == "vs_master" || r == "vs_extendedhealth" ||
        r == "vs_range")
        return ValueKind::integer;
    if (r == "vs_port") return ValueKind::port;
    if (r == "vs_text" || r == "vs_string") return ValueKind::text;
    if (r == "vs_address") return ValueKind::address;
    if (r == "vs_name") return ValueKind::name;
    if (r == "vs_proto" || r == "vs_persist") return ValueKind::words;
    if (r == "vs_checkcodes") return ValueKind::codes;
    if (r == "vs_localbinds") return ValueKind::addresses;
    return ValueKind::other;
}

constexpr std::span<const char* const> words_of_reader(std::string_view r) {
    if (r == "vs_proto") return proto_words;
    if (r == "vs_persist") return l7_persist_types;
    return {};
}

template <class T>
constexpr std::size_t capacity_of() {
    if constexpr (requires { T::capacity; }) return T::capacity;
    else return 0;
}

template <class P>
constexpr VsSetting setting(const char* key, KeyRead read, std::string_view reader, DumpLine line,
                            Gate gate) {
    using Field = std::remove_cvref_t<decltype(P::of(std::declval<const B&>()))>;
    return {key ? std::string_view(key) : std::string_view(), read, line, gate, field_of<P>,
            kind_of_reader(reader), capacity_of<Field>(), words_of_reader(reader)};
}
constexpr VsSetting key_only(const char* key, KeyRead read, std::string_view reader) {
    return {key, read, no_line, Gate::none, nullptr, kind_of_reader(reader), 0, {}};
}
constexpr VsSetting line_only(DumpLine line) {
    return {{}, nullptr, line, Gate::none, nullptr, ValueKind::other, 0, {}};
}

#define VS_PLACE_record(field) InRecord<&B::field>
#define VS_PLACE_waf(field) InGroup<&B::waf, &VsWafSettings::field>
#define VS_PLACE_esp(field) InGroup<&B::esp, &VsEspSettings::field>
#define VS_SETTING(field, type, init, key, read, line, gate, group) \
    setting<VS_PLACE_##group(field)>(key, read<VS_PLACE_##group(field)>, #read, line, Gate::gate),
#define VS_KEY(key, read) key_only(key, read, #read),
#define VS_LINE(line) line_only(line),
constexpr VsSetting kSettings[] = {
#include "store/vs_settings.def"
};
#undef VS_SETTING
#undef VS_KEY
#undef VS_LINE
#undef VS_PLACE_record
#undef VS_PLACE_waf
#undef VS_PLACE_esp

const KeyTable<const VsSetting*>& key_table() {
    static const KeyTable<const VsSetting*> t = [] {
        std::vector<std::pair<std::string_view, const VsSetting*>> keyed;
        for (const VsSetting& s : kSettings)
            if (!s.key.empty()) keyed.emplace_back(s.key, &s);
        return KeyTable<const VsSetting*>(std::span<const std::pair<std::string_view, const VsSetting*>>(keyed));
    }();
    return t;
}

}  // namespace

std::span<const VsSetting> vs_settings() { return kSettings; }

std::span<const std::string_view> vs_keys() {
    static const std::vector<std::string_view> keys = [] {
        std::vector<std::string_view> v;
        for (const VsSetting& s : kSettings)
            if (!s.key.empty()) v.push_back(s.key);
        return v;
    }();
    return keys;
}

const VsSetting* find_vs_key(char* line, char** value) {
    const VsSetting* const* row = key_table().find(line, value);
    return row ? *row : nullptr;
}

std::string_view VsSetting::dump_key() const {
    const char* text = line.kind == LineKind::counted || line.kind == LineKind::listed
                           ? line.list_start
                           : line.format;
    if (!text) return {};
    std::string_view s(text);
    return s.substr(0, s.find_first_of(":%"));
}

bool gate_open(Gate g, const bahd_config_t& v) {
    switch (g) {
        case Gate::none: return true;
        case Gate::intercept: return v.intercept != 0;
        case Gate::errcode: return v.errcode != 0;
        case Gate::ldap_checker: return v.checker_type == "ldap";
        case Gate::copy_hdr_key: return !v.copy_hdr_key.empty();
        case Gate::esp: return v.enable_esp != 0;
        case Gate::esp_inauth: return v.enable_esp != 0 && v.inauth != 0;
        case Gate::esp_kcd: return v.enable_esp != 0 && v.outauth == kOutauthKcd;
        case Gate::not_master: return v.ismaster == 0;
    }
    return true;
}

}  // namespace lbsnap
