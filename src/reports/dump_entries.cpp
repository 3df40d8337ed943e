// Works out the VS dump's entries: the setting rows' values, and the values
// the dump derives (the VS's character, labels, the VS the outside sees,
// certificate and cipher-set names, the real servers and their health).
#include "reports/dump_entries.h"

#include <cstddef>
#include <cstdint>
#include <string>

#include "lib/format_text.h"
#include "query/derived.h"
#include "query/lookup.h"
#include "store/rule_list.h"

namespace lbsnap {

namespace {

// The number of a sub-VS is its master's entry index plus 1; without an
// entry it counts as one past the master's last entry.
int subvs_number_index(const bahd_config_t& ms, const bahd_config_t& cur) {
    const int i = subvs_index(ms, cur.id);
    return i < 0 ? ms.n_rs() : i;
}

// What the dump derives from a VS besides its character.
struct DumpFacts {
    DumpFacts(const Model& m, const bahd_config_t& v)
        : cur(v), ms(v.isslave ? find_vip_id(m, v.isslave) : nullptr), typ(vip_character(v)),
          subvs_idx(ms ? subvs_number_index(*ms, v) : 0) {}

    const bahd_config_t& cur;
    const bahd_config_t* ms;  // the master of a sub-VS, or null
    int typ;                  // vip_character
    int subvs_idx;            // the master's entry for this sub-VS; ms->n_rs() when none

    // PORT: a sub-VS of a master on the wildcard port shows that port.
    int port() const { return (ms && ms->port == kWildcardPort) ? ms->port : cur.port; }
    // The VS whose address the outside sees: the master, or the VS itself.
    const bahd_config_t& top() const { return ms ? *ms : cur; }
    // The master's entry that stands for this sub-VS, or null.
    const rs_info_t* subvs_entry() const {
        return (cur.isslave && ms && subvs_idx < ms->n_rs()) ? &ms->rsinfo[subvs_idx] : nullptr;
    }
    int slave_encrypt() const { return (ms && !ms->sslaccel.empty() && ms->reencrypt) ? 1 : 0; }
    int has_rs_follow() const {
        return (cur.extendedhealth && cur.ismaster == 0 && (typ & kCharLayer7)) ? 1 : 0;
    }
    // A sub-VS whose master is missing gets the plain label: there is no
    // master to number it against.
    std::string label() const {
        if (cur.isslave && ms)
            return format_text("subVS %d (Id:%d) of %s", subvs_idx + 1, cur.id,
                               vs_ip_val(*ms).c_str());
        return format_text("%s (Id:%d)", vs_ip_val(cur).c_str(), cur.id);
    }
};

// An SSL VS that names no cipher set but lists ciphers has a custom set of
// its own.
bool has_custom_cipherset(const bahd_config_t& cur) {
    return !cur.sslaccel.empty() && !cur.cipher_set && cur.ciphers;
}

std::string custom_cipherset_name(const bahd_config_t& cur) {
    return "Custom_" + std::to_string(cur.id);
}

// The cipher set the dump shows: CIPHERSET:, else for an SSL VS "Default",
// or "Custom_<id>" when it lists ciphers; nullopt for none.
std::optional<std::string> shown_cipherset(const bahd_config_t& cur) {
    if (cur.cipher_set) return cur.cipher_set->str();
    if (cur.sslaccel.empty()) return std::nullopt;
    if (!cur.ciphers) return "Default";
    return custom_cipherset_name(cur);
}

// A master's entries are sub-VSs, whose health the master checks. A real
// server that follows another needs the VS's check only when its chain of
// follows ends in this VS.
bool entry_needs_health(const bahd_config_t& cur, const rs_info_t& e, RsFollowChains& follows) {
    if (cur.ismaster || e.rsfollow == 0) return true;
    const std::optional<RsFollowChains::Chain> chain = follows.from_id(e.rsfollow);
    return chain && chain->end_vs == &cur;
}

// The add-on controller text of VS id without one leading "+"; nullopt
// when no add-on controls the VS.
std::optional<std::string> controller_text(int id) {
    // The controller list is cut to the room of the dump's buffer for it.
    constexpr int kControllerTextSize = 256;
    std::string tmpname;
    chk_ext_ctrl(id, tmpname, kControllerTextSize);
    if (tmpname.empty()) return std::nullopt;
    if (tmpname.front() == '+') tmpname.erase(0, 1);
    return tmpname;
}

// Builds the entries of one VS.
class Builder {
public:
    Builder(const Model& m, const bahd_config_t& cur, DumpRun& run, DumpEntries& out,
            std::vector<RsLine>& rs_lines, std::string* texts)
        : m_(m), v_(cur), run_(run), out_(out), rs_lines_(rs_lines), texts_(texts), f_(m, cur) {}

    void run() {
        for (const VsSetting& row : vs_settings()) {
            if (row.line.kind == LineKind::none || !gate_open(row.gate, v_)) continue;
            if (row.line.kind == LineKind::derived)
                derived(row);
            else if (row.line.kind == LineKind::real_servers)
                real_servers(row);
            else
                field(row, row.field(v_));
        }
    }

private:
    void number(const VsSetting& row, int n) {
        out_.entries.push_back({&row, EntryKind::number, n});
    }
    void text(const VsSetting& row, std::string_view s) {
        out_.entries.push_back({&row, EntryKind::text, 0, s});
    }
    // A text this builder made; it lives until the next VS.
    void own_text(const VsSetting& row, std::string s) {
        std::string& kept = texts_[static_cast<std::size_t>(row.line.derived)];
        kept = std::move(s);
        text(row, kept);
    }

    void field(const VsSetting& row, const FieldValue& f) {
        DumpEntry e{&row, EntryKind::number};
        switch (f.kind) {
            case FieldKind::number:
                if (row.line.kind == LineKind::nonzero && f.number == 0) return;
                e.number = f.number;
                break;
            case FieldKind::text:
                if (row.line.kind != LineKind::always && *f.text == '\0') return;
                e.kind = EntryKind::text;
                e.text = f.text;
                break;
            case FieldKind::opt_text:
                if (!f.text) return;
                e.kind = EntryKind::text;
                e.text = f.text;
                break;
            case FieldKind::ints:
                e.kind = EntryKind::ints;
                e.ints = f.ints_value;
                break;
            case FieldKind::addresses:
                e.kind = EntryKind::addresses;
                e.addresses = f.addresses_value;
                break;
            case FieldKind::rules:
                e.kind = EntryKind::rules;
                e.rules = f.rules_value;
                break;
            case FieldKind::none:
                return;
        }
        out_.entries.push_back(e);
    }

    void derived(const VsSetting& row) {
        const bahd_config_t& top = f_.top();
        switch (row.line.derived) {
            case Derived::port: return number(row, f_.port());
            case Derived::is_http: return number(row, (f_.typ & kCharHttp) ? 1 : 0);
            case Derived::is_7layer: return number(row, (f_.typ & kCharProxy) ? 7 : 4);
            case Derived::layer: return number(row, (f_.typ & kCharLayer7) ? 7 : 4);
            case Derived::has_v6: return number(row, (f_.typ & kCharIpv6) ? 1 : 0);
            case Derived::certfile:
                if (const ShownCertfile cert(v_); !cert.empty()) own_text(row, cert.c_str());
                return;
            case Derived::followvsid:
                followvsid_ = shown_followvsid(m_, v_);
                return number(row, followvsid_);
            case Derived::followvs:
                if (v_.isslave == 0 && followvsid_)
                    if (const bahd_config_t* f = find_vip_id(m_, followvsid_))
                        own_text(row, vs_ip_val(*f));
                return;
            case Derived::label: return own_text(row, f_.label());
            case Derived::subvs_weight:
                if (const rs_info_t* e = f_.subvs_entry()) number(row, e->weight);
                return;
            case Derived::subvs_limit:
                if (const rs_info_t* e = f_.subvs_entry()) number(row, e->limit);
                return;
            case Derived::subvs_ratelimit:
                if (const rs_info_t* e = f_.subvs_entry()) number(row, e->ratelimit);
                return;
            case Derived::is_transparent:
                return number(row, calc_transparent(v_, f_.ms, f_.typ, run_.l7_transparent_off()));
            case Derived::slave_encrypt: return number(row, f_.slave_encrypt());
            case Derived::topport: return number(row, calc_port(top));
            case Derived::topprot: return text(row, top.proto);
            case Derived::topvip: return text(row, top.vip);
            case Derived::topnextraports: return number(row, top.nextraports());
            case Derived::topqos: return number(row, top.qos);
            case Derived::cipherset:
                record_custom_cipherset(run_.cipher_sets(), v_);
                if (auto set = shown_cipherset(v_)) own_text(row, std::move(*set));
                return;
            case Derived::hasrsfollow: return number(row, f_.has_rs_follow());
            case Derived::nrs: return number(row, v_.n_rs());
            case Derived::needhealth: return number(row, needhealth_ ? 1 : 0);
            case Derived::controller:
                if (run_.may_have_controller(v_.id))
                    if (auto t = controller_text(v_.id)) own_text(row, std::move(*t));
                return;
            case Derived::none: return;
        }
    }

    void real_servers(const VsSetting& row) {
        rs_lines_.clear();
        if (v_.n_rs() == 0) needhealth_ = true;
        for (int i = 0; i < v_.n_rs(); ++i) {
            const rs_info_t& e = v_.rsinfo[i];
            if (e.rip.empty()) continue;
            if (entry_needs_health(v_, e, run_.follows(m_))) needhealth_ = true;
            rs_lines_.push_back({i, &e, v_.ismaster ? find_vip_id(m_, e.port) : nullptr});
        }
        DumpEntry e{&row, EntryKind::real_server};
        e.rs_lines = &rs_lines_;
        out_.entries.push_back(e);
    }

    const Model& m_;
    const bahd_config_t& v_;
    DumpRun& run_;
    DumpEntries& out_;
    std::vector<RsLine>& rs_lines_;
    std::string* texts_;
    const DumpFacts f_;
    int followvsid_ = 0;
    bool needhealth_ = false;
};

}  // namespace

void record_custom_cipherset(CipherSetRecorder* sets, const bahd_config_t& cur) {
    if (sets && has_custom_cipherset(cur))
        sets->update(custom_cipherset_name(cur).c_str(), cur.ciphers->c_str());
}

void DumpEntries::build(const Model& m, const bahd_config_t& cur, DumpRun& run) {
    vs = &cur;
    entries.clear();
    Builder(m, cur, run, *this, rs_lines_, texts_.data()).run();
}

std::vector<const Rule_t*> entry_rules(const bahd_config_t& cur, const rs_info_t& e) {
    std::vector<const Rule_t*> named;
    for (const Rule_t* rule : cur.r.rule_list)
        if (rule_is_in(e.r, rule)) named.push_back(rule);
    return named;
}

RsFollowChains& DumpRun::follows(const Model& m) {
    // Past a real server that follows nobody, the dump's chain ends.
    if (!follows_) follows_ = std::make_shared<RsFollowChains>(m, ZeroFollow::ends, nullptr, ChainMembers::named);
    return *follows_;
}

DumpRun DumpRun::for_other_thread(const Model& m) {
    DumpRun other(nullptr);
    follows(m).settle_all();
    other.follows_ = follows_;
    return other;
}

int DumpRun::l7_transparent_off() {
    if (!l7_off_) l7_off_ = lbsnap::l7_transparent_off();
    return *l7_off_;
}

bool DumpRun::may_have_controller(int id) {
    if (!listed_) {
        ctrl_dirs_ = ext_ctrl_dirs();
        listed_ = true;
    }
    return !ctrl_dirs_ || ctrl_dirs_->count(std::to_string(id)) != 0;
}

}  // namespace lbsnap
