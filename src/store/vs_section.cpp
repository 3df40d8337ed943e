// The lines of a VS section: its keys (vs_settings.cpp), and the
// real-server part in the option syntax of the IPVS administration tool.
#include <strings.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "lib/normal_address.h"
#include "lib/config_int.h"
#include "store/read_context.h"
#include "store/reader.h"
#include "store/rules.h"
#include "store/vs_line.h"
#include "store/vs_setting.h"

namespace lbsnap {
namespace {

constexpr int max_localbinds = 256;

// The next blank-separated token at p, split off in place (its blank
// becomes its NUL), or null at the end; p moves past it. A run of blanks
// separates once; tabs are part of tokens.
char* next_blank_token(char*& p) {
    while (*p == ' ') ++p;
    if (!*p) return nullptr;
    char* start = p;
    p = strchrnul(p, ' ');
    if (*p) *p++ = '\0';
    return start;
}

// The entry's address as validate_ip normalises it. False for an invalid
// address.
bool set_rip(Model& m, rs_info_t& e, lm_addr& addr, const char* v) {
    AddrText buf;
    int port = 0;
    auto ip = normal_address(v, &port, buf, &addr);
    if (!ip) return false;
    e.port = port;
    if (ip->data() == v)
        e.rip.take(m.arena, v);  // a sub-VS reference, as written
    else
        e.rip.set_view(m.arena.keep(*ip));
    return true;
}

// Real-server options. Integers are read as atoi would (clamped like every
// other configuration integer).
enum class RsValue { none, needed, number };

struct RsOption {
    RsValue value;
    void (*apply)(ReadContext&, bahd_config_t&, rs_info_t&, char*);
};

// The option letters, indexed by the letter itself.
class RsOptionTable {
public:
    RsOptionTable(std::initializer_list<std::pair<char, RsOption>> rows) {
        for (const auto& [letter, o] : rows) by_letter_[static_cast<unsigned char>(letter)] = o;
    }
    const RsOption* find(char letter) const {
        const RsOption& o = by_letter_[static_cast<unsigned char>(letter)];
        return o.apply ? &o : nullptr;
    }

private:
    RsOption by_letter_[UCHAR_MAX + 1] = {};
};

template <auto F>
void rs_int(ReadContext&, bahd_config_t&, rs_info_t& e, char* v) { e.*F = config_int(v); }

template <char Letter>
void rs_method(ReadContext&, bahd_config_t&, rs_info_t& e, char*) {
    e.for_method = Letter;
}

// The options are recognised by their second character alone.
const RsOption* rs_option(char letter) {
    using R = rs_info_t;
    using C = ReadContext&;
    using VS = bahd_config_t&;
    static const RsOptionTable options{
        {'w', {RsValue::number, rs_int<&R::weight>}},
        {'l', {RsValue::number, rs_int<&R::limit>}},
        {'R', {RsValue::number, rs_int<&R::ratelimit>}},
        {'c', {RsValue::number, rs_int<&R::critical>}},
        {'f', {RsValue::number, rs_int<&R::rsfollow>}},
        {'S', {RsValue::number, rs_int<&R::snat_port>}},
        {'I', {RsValue::number, rs_int<&R::id>}},
        {'d', {RsValue::needed, [](C ctx, VS, R& e, char* v) {
                   note_cut(ctx, v, e.dns, "-d");
                   e.dns.take(ctx.m.arena, v);
               }}},
        {'y', {RsValue::needed, [](C ctx, VS, R& e, char* v) { expand_rules(ctx, v, e.r, true); }}},
        {'g', {RsValue::none, rs_method<'g'>}},
        {'i', {RsValue::none, rs_method<'i'>}},
        {'m', {RsValue::none, rs_method<'m'>}},
        {'s', {RsValue::needed, [](C ctx, VS vs, R&, char* v) {
                   note_cut(ctx, v, vs.schedule, "-s");
                   vs.schedule.take(ctx.m.arena, v);
               }}},
        {'p', {RsValue::number, [](C, VS vs, R&, char* v) { vs.timeout = config_int(v); }}},
        {'M', {RsValue::needed, [](C, VS, R&, char*) {}}},
    };
    return options.find(letter);
}

}  // namespace

bool add_vs_line(ReadContext& ctx, char* line, bahd_config_t& vs, int& state, RsPending& pending) {
    if (state != 0) {
        if (!find_key("<END>", line)) return add_ipvs_info(ctx, line, vs, pending);
        state = 0;
        return true;
    }
    if (find_key("<IPVSADM>", line)) {
        state = 1;
        return true;
    }
    char* value = nullptr;
    const VsSetting* s = find_vs_key(line, &value);
    if (!s) {
        ctx.unknown_key("a VS section", vs_keys());
        return true;
    }
    if (ctx.checking()) [[unlikely]] ctx.vs_key(*s, value);
    s->read(VsLine{ctx, vs, value});
    if (ctx.checking()) [[unlikely]] ctx.vs_key_read(*s, vs);
    return true;
}

namespace {

// The options of one real-server line, all written into the one pending
// entry; each "-r" counts one more used entry, so a second "-r" on a line
// leaves an empty entry behind the line's own. The number of entries the
// line adds, or nullopt when an invalid address stops the load.
std::optional<int> apply_rs_options(ReadContext& ctx, bahd_config_t& vs, RsPending& pending,
                                    char* const* tok, std::size_t ntok, int enabled) {
    rs_info_t& e = pending.entry;
    int added = 0;
    bool wrote_entry = false, named = false;
    for (std::size_t i = 0; i < ntok; ++i) {
        const char* t = tok[i];
        if (t[0] != '-' || t[1] == '\0') continue;
        bool has_value = i + 1 < ntok;
        const bool is_rip = t[1] == 'r';
        const RsOption* o = is_rip ? nullptr : rs_option(t[1]);
        if (!is_rip && !o) {
            ctx.rs_option_unknown(t);
            continue;
        }
        const bool needs_value = is_rip || o->value != RsValue::none;
        if (needs_value && !has_value) {
            ctx.rs_option_without_value(t);
            continue;
        }
        if (!is_rip) {
            if (ctx.checking()) [[unlikely]] {
                if (o->value == RsValue::number) ctx.rs_number(t, tok[i + 1]);
                // -s, -p and -M are the service's, not the entry's.
                wrote_entry |= std::strchr("spM", t[1]) == nullptr;
            }
            o->apply(ctx, vs, e, needs_value ? tok[++i] : nullptr);
            continue;
        }
        named = true;
        if (char* v = tok[++i]; !set_rip(ctx.m, e, pending.addr, v)) {
            if (!ctx.invalid_rs_address(v)) return std::nullopt;
            continue;
        }
        e.enabled = static_cast<std::int8_t>(enabled);
        if (vs.n_rs() + added < MAX_rs_data) ++added;
    }
    if (!named && wrote_entry) ctx.rs_without_address();
    return added;
}

// The pending entry joins the VS, with `added - 1` empty entries behind it.
void commit_pending(bahd_config_t& vs, RsPending& pending, int added) {
    vs.rsinfo.push_back(std::move(pending.entry));
    vs.rsinfo.resize(vs.rsinfo.size() + added - 1);
    pending.addrs.push_back(pending.addr);
    pending.addrs.resize(vs.rsinfo.size());
    pending.entry = rs_info_t{};
    pending.addr = lm_addr{};
}

}  // namespace

bool add_ipvs_info(ReadContext& ctx, char* line, bahd_config_t& vs, RsPending& pending) {
    // Excess tokens beyond the hundredth are ignored.
    char* tok[max_rs_tokens];
    std::size_t ntok = 0;
    char* p = line;
    while (ntok < max_rs_tokens && (tok[ntok] = next_blank_token(p))) ++ntok;
    if (ntok == 0) return true;
    if (ntok == max_rs_tokens && ctx.checking()) [[unlikely]] ctx.rs_tokens_lost(p);
    int enabled;
    if (tok[0][0] == '!')
        enabled = 0;
    else if (tok[0][0] == '-')
        enabled = 1;
    else {
        ctx.rs_line_ignored();
        return true;
    }
    // With the table full, further lines are ignored whole.
    if (vs.n_rs() >= MAX_rs_data) {
        ctx.rs_table_full();
        return true;
    }
    const std::optional<int> added = apply_rs_options(ctx, vs, pending, tok, ntok, enabled);
    if (!added) return false;
    if (*added > 0) commit_pending(vs, pending, *added);
    return true;
}

void add_localbinds(bahd_config_t& vs, char* text) {
    std::vector<lm_addr> binds;
    char* p = text;
    while (binds.size() < max_localbinds) {  // the excess is ignored
        const char* t = next_blank_token(p);
        if (!t) break;
        lm_addr a{};
        if (lm_cvtaddr(&a, t)) binds.push_back(a);
    }
    if (!binds.empty()) vs.localbinds = std::move(binds);
}

bool add_extraports(bahd_config_t& vs, const char* text) {
    vs.extraports.clear();
    return lm_extraports(text, 0, MAX_extraports, vs.extraports) != 0;
}

}  // namespace lbsnap
