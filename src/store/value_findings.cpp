// The reader's findings about values as written: integers that are none or
// do not fit, ports, addresses, word sets, status codes, keys given twice,
// real-server options; and the sections a misplaced marker hides.
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "lib/addrs.h"
#include "lib/config_int.h"
#include "lib/format_text.h"
#include "store/read_context.h"

namespace lbsnap {
namespace {

constexpr int kMaxPort = 65535;
constexpr int kMaxLocalBinds = 256;
constexpr std::size_t kWordsShown = 6;
constexpr std::size_t kUnseenShown = 20;

// The keys whose lines the model's checks report at.
constexpr std::string_view located_keys[] = {"VID:", "FOLLOW:", "FOLLOWVSID:", "SLAVE:", "CERTFILE:"};

// Whether a VS key row is one of located_keys.
bool located_row(std::size_t row) {
    static const std::vector<bool> located = [] {
        std::vector<bool> v;
        for (const VsSetting& s : vs_settings())
            v.push_back(std::find(std::begin(located_keys), std::end(located_keys), s.key) != std::end(located_keys));
        return v;
    }();
    return located[row];
}

bool only_blanks(const char* p) {
    while (*p == ' ' || *p == '\t' || *p == '\r') ++p;
    return *p == '\0';
}

std::string word_list(std::span<const char* const> words) {
    std::string out;
    for (std::size_t i = 0; i < words.size() && i < kWordsShown; ++i) out += (i ? ", " : "") + std::string(words[i]);
    if (words.size() > kWordsShown) out += ", ...";
    return out;
}

// The next blank-separated token of `p` as a string, or empty.
std::string next_token(const char*& p) {
    while (*p == ' ') ++p;
    const char* start = p;
    while (*p && *p != ' ') ++p;
    return std::string(start, p);
}

}  // namespace

bool ReadContext::int_value(const char* value, const char* what) {
    if (!findings_) return true;
    auto name = [&] { return what ? std::string(what) : key_name(); };
    const char* end = nullptr;
    const int v = config_int(value, &end);
    if (end == value) {
        if (only_blanks(value))
            findings_->add(line_no_, Severity::warning, "%s has no value; it is read as 0", name().c_str());
        else
            findings_->add(line_no_, Severity::error, "value '%s' of %s is no integer; it is read as 0",
                           excerpt(value).c_str(), name().c_str());
        return false;
    }
    const char* digits = value;
    while (*digits == ' ' || *digits == '-' || *digits == '+') ++digits;
    while (*digits == '0' && digits[1] >= '0' && digits[1] <= '9') ++digits;
    const std::size_t ndigits = static_cast<std::size_t>(end - digits);
    if ((v == INT_MAX || v == INT_MIN) && ndigits >= 10 &&
        std::strncmp(digits, v == INT_MAX ? "2147483647" : "2147483648", ndigits) != 0)
        findings_->add(line_no_, Severity::error, "value '%.*s' of %s does not fit an integer; it is read as %d",
                       static_cast<int>(end - value), value, name().c_str(), v);
    if (!only_blanks(end))
        findings_->add(line_no_, Severity::warning, "value '%s' of %s is read as %d; '%s' after the number is ignored",
                       excerpt(value).c_str(), name().c_str(), v, excerpt(end).c_str());
    return true;
}

void ReadContext::byte_value(const char* value, int kept) {
    if (!findings_ || !int_value(value)) return;
    const int v = config_int(value);
    if (v != kept)
        findings_->add(line_no_, Severity::error, "value %d of %s does not fit its one-byte field; it is read as %d",
                       v, key_name().c_str(), kept);
}

void ReadContext::match_type_unknown(const char* value) {
    if (!findings_) return;
    findings_->add(line_no_, Severity::warning, "value '%s' of %s is no match type; it is ignored",
                   excerpt(value).c_str(), key_name().c_str());
}

void ReadContext::vs_key(const VsSetting& s, const char* value) {
    const std::size_t row = static_cast<std::size_t>(&s - vs_settings().data());
    if (key_seen_.empty()) key_seen_.assign(vs_settings().size(), 0);
    if (int before = key_seen_[row]; before > section_line_)
        findings_->add(line_no_, Severity::warning, "%s is given again; the value on line %d is replaced",
                       key_name().c_str(), before);
    key_seen_[row] = line_no_;
    if (s.capacity && std::strlen(value) > s.capacity - 1) value_cut(value, s.capacity - 1);
    auto key = [this] { return key_name(); };
    const std::size_t size = std::strlen(value);
    if ((s.value == ValueKind::text || s.value == ValueKind::name) && size && value[size - 1] == '\r')
        findings_->add(line_no_, Severity::warning,
                       "value of %s ends in a carriage return (a CRLF line), which stays part of it", key().c_str());
    switch (s.value) {
        case ValueKind::integer: int_value(value); break;
        case ValueKind::port:
            if (int_value(value)) {
                const int port = config_int(value);
                if (port < 0 || port > kMaxPort)
                    findings_->add(line_no_, Severity::error, "%s %d is no port (0 to %d)", key().c_str(), port,
                                   kMaxPort);
            }
            break;
        case ValueKind::address: {
            lm_addr a{};
            if (*value && !lm_cvtaddr(&a, value))
                findings_->add(line_no_, Severity::error,
                               "%s '%s' is no IP address; no command can reach the VS by it", key().c_str(),
                               excerpt(value).c_str());
            break;
        }
        case ValueKind::name:
            if (strcasecmp(value, "null") == 0)
                findings_->add(line_no_, Severity::warning, "%s '%s' stands for no name; the VS has none",
                               key().c_str(), value);
            else if (size && (value[size - 1] == ' ' || value[size - 1] == '\t'))
                findings_->add(line_no_, Severity::warning,
                               "%s '%s' ends in a blank, which is part of the name: the VS is not found by the name without it",
                               key().c_str(), excerpt(value).c_str());
            break;
        case ValueKind::codes: {
            const char* p = value;
            std::size_t kept = 0;
            for (std::string tok = next_token(p); !tok.empty(); tok = next_token(p)) {
                if (kept == MAX_checkcodes) {
                    findings_->add(line_no_, Severity::warning,
                                   "%s holds more than %d codes; '%s' and what follows is dropped", key().c_str(),
                                   MAX_checkcodes, tok.c_str());
                    break;
                }
                std::vector<int> one;
                if (lm_check2codes(tok.c_str(), 1, one) == 0) ++kept;
                else
                    findings_->add(line_no_, Severity::warning,
                                   "'%s' of %s is not one status code from 300 to 599 (codes are separated by blanks); it is skipped",
                                   tok.c_str(), key().c_str());
            }
            break;
        }
        case ValueKind::addresses: {
            const char* p = value;
            int kept = 0;
            for (std::string tok = next_token(p); !tok.empty(); tok = next_token(p)) {
                if (kept == kMaxLocalBinds) {
                    findings_->add(line_no_, Severity::warning,
                                   "%s holds more than %d addresses; '%s' and what follows is ignored",
                                   key().c_str(), kMaxLocalBinds, tok.c_str());
                    break;
                }
                lm_addr a{};
                if (lm_cvtaddr(&a, tok.c_str())) ++kept;
                else if (lm_family(tok.c_str()))
                    findings_->add(line_no_, Severity::warning,
                                   "%s address '%s' carries a port; it is ignored", key().c_str(), tok.c_str());
                else
                    findings_->add(line_no_, Severity::warning, "%s token '%s' is no address; it is ignored",
                                   key().c_str(), tok.c_str());
            }
            break;
        }
        case ValueKind::text:
        case ValueKind::words:
        case ValueKind::other: break;
    }
    if (located_row(row)) located_.emplace_back(s.key, line_no_);
}

void ReadContext::vs_key_read(const VsSetting& s, const bahd_config_t& vs) {
    if (s.value != ValueKind::words) return;
    const char* held = s.field(vs).text;
    if (!held || !*held) return;
    for (const char* w : s.words)
        if (std::strcmp(held, w) == 0) return;
    findings_->add(line_no_, Severity::warning, "%s '%s' is none of %s; it is kept as written",
                   key_name().c_str(), excerpt(held).c_str(), word_list(s.words).c_str());
}

void ReadContext::rs_number(const char* option, const char* value) {
    if (!findings_ || !int_value(value, option)) return;
    if (config_int(value) < 0)
        findings_->add(line_no_, Severity::warning, "real-server option %s has the negative value %d", option,
                       config_int(value));
}

void ReadContext::rs_tokens_lost(const char* rest) {
    if (!findings_ || only_blanks(rest)) return;
    findings_->add(line_no_, Severity::error,
                   "real-server line has more than %d tokens; '%s' and what follows is lost", max_rs_tokens,
                   excerpt(rest).c_str());
}

void ReadContext::rs_without_address() {
    if (!findings_) return;
    findings_->add(line_no_, Severity::error,
                   "real-server line has no address (-r); its options go to the next real server of the VS");
}

void ReadContext::section_begins() {
    if (!findings_) return;
    section_line_ = line_no_;
    located_.clear();
}

void ReadContext::vs_section_ends(int section_line) {
    if (!findings_) return;
    for (const auto& [key, line] : located_) findings_->note_key_line(section_line, key, line);
}

void ReadContext::marker_mistake(const char* text, int section_line, const char* section, const char* end_marker,
                                 bool starts_section) {
    if (derailed_.line) {
        if (starts_section) section_start_unseen(text);
        return;
    }
    if (starts_section)
        findings_->add(line_no_, Severity::error,
                       "'%s' starts a section inside the %s section begun on line %d; expected '%s' first",
                       excerpt(text).c_str(), section, section_line, end_marker);
    else
        findings_->add(line_no_, Severity::error,
                       "'%s' is no section marker; expected '%s' to close the %s section begun on line %d",
                       excerpt(text).c_str(), end_marker, section, section_line);
    derailed_ = {line_no_, section_line, section, {}};
    if (starts_section) section_start_unseen(text);
    findings_->mute(true);
}

void ReadContext::section_start_unseen(const char* text) {
    std::string name(text);
    name = name.substr(0, name.find('>') + 1);
    derailed_.unseen.emplace_back(line_no_, name);
}

void ReadContext::derailed_summary() {
    if (!derailed_.line) return;
    findings_->mute(false);
    const auto& unseen = derailed_.unseen;
    if (!unseen.empty()) {
        // By marker, in the order met: "<SECTION VS> on lines 6, 15 and 24".
        std::vector<std::pair<std::string, std::vector<int>>> by_marker;
        for (const auto& start : unseen) {
            const std::string& marker = start.second;
            auto it = std::find_if(by_marker.begin(), by_marker.end(),
                                   [&](const auto& g) { return g.first == marker; });
            if (it == by_marker.end()) it = by_marker.insert(by_marker.end(), {marker, {}});
            it->second.push_back(start.first);
        }
        std::string list;
        std::size_t shown = 0;
        for (const auto& [marker, lines] : by_marker) {
            if (shown == kUnseenShown) break;
            list += (list.empty() ? "" : "; ") + marker + (lines.size() == 1 ? " on line " : " on lines ");
            for (std::size_t i = 0; i < lines.size() && shown < kUnseenShown; ++i, ++shown)
                list += (i ? ", " : "") + std::to_string(lines[i]);
        }
        if (unseen.size() > shown) list += format_text(" and %zu more", unseen.size() - shown);
        findings_->add(derailed_.line, Severity::error,
                       "the reports do not see %zu %s (%s): their lines are read into the %s section begun on line %d",
                       unseen.size(), unseen.size() == 1 ? "section" : "sections", list.c_str(), derailed_.section,
                       derailed_.section_line);
    }
    derailed_ = {};
}

}  // namespace lbsnap
