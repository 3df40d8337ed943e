// --diff: two configurations read as the reports read them, compared entry
// by entry of the dump. VSs pair by number, and an ordinary VS whose
// number changed but whose protocol, address and port did not pairs as
// renumbered; real servers pair by id, those without one by address and
// port; rules by number. What differs is shown in the dump's own lines,
// or as the JSON dump's members.
#include "reports/diff.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "lib/format_text.h"
#include "query/classify.h"
#include "reports/dump.h"
#include "reports/json.h"
#include "reports/listings.h"
#include "reports/rule_output.h"

namespace lbsnap {

namespace {

using Vs = bahd_config_t;

enum class Status { same, changed, added, removed };

// One VS of either file, or the two that pair.
struct VsPair {
    const Vs* old = nullptr;
    const Vs* now = nullptr;
    Status status = Status::same;
    bool renumbered() const { return old && now && old->id != now->id; }
};

// Where an ordinary VS is served: the same in both files for a VS that was
// only renumbered. Empty for an address that does not convert.
std::string place_of(const Vs& vs) {
    std::string place = vs_ip_val(vs);
    return place == "<invalid>" ? std::string() : place;
}

// The old file's VSs grouped by a key, each group in list order and taken
// from its front; `paired` marks the VSs taken by any group. Tens of
// thousands of groups, most of one VS, must cost little beside the two
// models: a group is a run of a sorted list and a place in it.
template <class Key>
class VsQueues {
public:
    VsQueues(const Model& m, std::vector<bool>& paired) : m_(m), paired_(paired) {}

    void add(Key key, std::uint32_t place) { entries_.push_back({std::move(key), place}); }
    // Once every VS is added: groups in key order, each in list order.
    void sort() {
        std::sort(entries_.begin(), entries_.end());
        next_.assign(entries_.size(), 0);
    }
    // The group's first VS not paired yet, now paired; null when none is left.
    const Vs* take(const Key& key) {
        const auto first = std::lower_bound(entries_.begin(), entries_.end(), key,
                                            [](const Entry& e, const Key& k) { return e.key < k; });
        if (first == entries_.end() || first->key != key) return nullptr;
        const auto start = static_cast<std::size_t>(first - entries_.begin());
        for (std::size_t i = start + next_[start]; i < entries_.size() && entries_[i].key == key; ++i) {
            next_[start] = static_cast<std::uint32_t>(i - start);
            if (paired_[entries_[i].place]) continue;
            paired_[entries_[i].place] = true;
            return m_.bahd[entries_[i].place].get();
        }
        return nullptr;
    }

private:
    struct Entry {
        Key key;
        std::uint32_t place;  // in the old file's VS list
        bool operator<(const Entry& o) const { return key != o.key ? key < o.key : place < o.place; }
    };
    const Model& m_;
    std::vector<bool>& paired_;
    std::vector<Entry> entries_;
    std::vector<std::uint32_t> next_;  // by a group's first entry: how far it is taken
};

// Pairs the VSs: the new file's in list order, then those only in the old.
std::vector<VsPair> pair_vss(const Model& o, const Model& n) {
    std::vector<bool> paired(o.bahd.size());
    VsQueues<int> old_by_id(o, paired);
    for (std::uint32_t i = 0; i < o.bahd.size(); ++i) old_by_id.add(o.bahd[i]->id, i);
    old_by_id.sort();
    std::vector<VsPair> pairs;
    pairs.reserve(n.bahd.size());
    for (const auto& vs : n.bahd) pairs.push_back({old_by_id.take(vs->id), vs.get()});
    VsQueues<std::string> old_by_place(o, paired);
    for (std::uint32_t i = 0; i < o.bahd.size(); ++i)
        if (!paired[i] && !o.bahd[i]->isslave) old_by_place.add(place_of(*o.bahd[i]), i);
    old_by_place.sort();
    for (VsPair& p : pairs) {
        if (p.old || p.now->isslave) continue;
        if (const std::string place = place_of(*p.now); !place.empty()) p.old = old_by_place.take(place);
    }
    for (std::uint32_t i = 0; i < o.bahd.size(); ++i)
        if (!paired[i]) pairs.push_back({o.bahd[i].get(), nullptr});
    return pairs;
}

// The order the text shows: each ordinary VS of the new file followed by
// its sub-VSs, then the sub-VSs whose master is not there, then the VSs
// only in the old file.
std::vector<const VsPair*> shown_order(const std::vector<VsPair>& pairs) {
    std::unordered_map<int, std::vector<const VsPair*>> subs;
    for (const VsPair& p : pairs)
        if (p.now && p.now->isslave) subs[p.now->isslave].push_back(&p);
    std::vector<const VsPair*> order;
    std::unordered_set<const VsPair*> placed;
    for (const VsPair& p : pairs) {
        if (!p.now || p.now->isslave) continue;
        order.push_back(&p);
        if (auto it = subs.find(p.now->id); it != subs.end())
            for (const VsPair* s : it->second)
                if (placed.insert(s).second) order.push_back(s);
    }
    for (const VsPair& p : pairs)
        if (p.now && p.now->isslave && placed.insert(&p).second) order.push_back(&p);
    for (const VsPair& p : pairs)
        if (!p.now) order.push_back(&p);
    return order;
}

// One difference of a VS, in the dump's order: an entry only in one file,
// or in both with other values; of the real servers, one server.
struct Change {
    const DumpEntry* old = nullptr;
    const DumpEntry* now = nullptr;
    const RsLine* old_rs = nullptr;
    const RsLine* now_rs = nullptr;
    bool is_rs() const { return (old ? old : now)->kind == EntryKind::real_server; }
};

bool same_address(const lm_addr& a, const lm_addr& b) {
    if (a.af != b.af) return false;
    return a.af == AF_INET ? std::memcmp(&a.ad.v4, &b.ad.v4, sizeof a.ad.v4) == 0
                           : std::memcmp(&a.ad.v6, &b.ad.v6, sizeof a.ad.v6) == 0;
}

// Rules of two files are other records: they show by name.
bool same_rules(const Rule_list& a, const Rule_list& b) {
    return std::equal(a.rule_list.begin(), a.rule_list.end(), b.rule_list.begin(),
                      b.rule_list.end(), [](const Rule_t* x, const Rule_t* y) {
                          return std::string_view(x->rule_name) == std::string_view(y->rule_name);
                      });
}

bool same_value(const DumpEntry& a, const DumpEntry& b) {
    if (a.kind != b.kind) return false;
    switch (a.kind) {
        case EntryKind::number: return a.number == b.number;
        case EntryKind::text: return a.text == b.text;
        case EntryKind::ints: return *a.ints == *b.ints;
        case EntryKind::addresses:
            return std::equal(a.addresses->begin(), a.addresses->end(), b.addresses->begin(),
                              b.addresses->end(), same_address);
        case EntryKind::rules: return same_rules(*a.rules, *b.rules);
        case EntryKind::real_server: return false;  // compared server by server
    }
    return false;
}

// A real server is the same one in both files by its id; without one, by
// its address and port.
std::string server_key(const RsLine& rs) {
    if (rs.rs->id != 0) return "id " + std::to_string(rs.rs->id);
    return rs.rs->rip.str() + " " + std::to_string(rs.rs->port);
}

bool same_server(const RsLine& a, const RsLine& b) {
    if (a.rs->id != 0 || b.rs->id != 0) return a.rs->id == b.rs->id;
    return a.rs->port == b.rs->port && std::string_view(a.rs->rip) == std::string_view(b.rs->rip);
}

// Compares two VSs' entries, written in the dump's order.
class VsComparison {
public:
    VsComparison(const Model& o, const Model& n, bool raw)
        : o_(o), n_(n), raw_(raw), old_run_(nullptr), new_run_(nullptr) {}

    const DumpEntries& old_entries() const { return old_run_.entries; }
    const DumpEntries& new_entries() const { return new_run_.entries; }

    // The differences of the pair; one side may be missing (all of the
    // other's entries then differ).
    const std::vector<Change>& compare(const VsPair& p) {
        changes_.clear();
        build(old_run_, o_, p.old);
        build(new_run_, n_, p.now);
        const auto& a = old_run_.entries.entries;
        const auto& b = new_run_.entries.entries;
        std::size_t i = 0, j = 0;
        while (i < a.size() || j < b.size()) {
            if (j == b.size() || (i < a.size() && a[i].row < b[j].row)) {
                one_side(&a[i++], nullptr);
            } else if (i == a.size() || b[j].row < a[i].row) {
                one_side(nullptr, &b[j++]);
            } else {
                both(a[i++], b[j++]);
            }
        }
        return changes_;
    }

private:
    static void build(DumpRun& run, const Model& m, const Vs* vs) {
        run.entries.entries.clear();
        if (vs) run.entries.build(m, *vs, run);
    }

    void one_side(const DumpEntry* old, const DumpEntry* now) {
        const DumpEntry& e = old ? *old : *now;
        if (e.kind != EntryKind::real_server) return changes_.push_back({old, now});
        for (const RsLine& rs : *e.rs_lines)
            changes_.push_back({old, now, old ? &rs : nullptr, now ? &rs : nullptr});
    }

    void both(const DumpEntry& a, const DumpEntry& b) {
        if (a.kind == EntryKind::real_server && b.kind == EntryKind::real_server)
            return servers(a, b);
        if (!same_value(a, b)) changes_.push_back({&a, &b});
    }

    // The lines of a server with the index left out: a server keeps being
    // the same one when those before it come and go.
    const std::string& server_text(std::string& text, const Vs& vs, const DumpLine& l, RsLine rs) {
        text.clear();
        rs.index = 0;
        dump_rs_text(text, vs, l, rs, raw_);
        return text;
    }

    void server_pair(const DumpEntry& a, const DumpEntry& b, const RsLine& old, const RsLine& now) {
        if (server_text(old_text_, *old_run_.entries.vs, a.row->line, old) !=
            server_text(new_text_, *new_run_.entries.vs, b.row->line, now))
            changes_.push_back({&a, &b, &old, &now});
    }

    void servers(const DumpEntry& a, const DumpEntry& b) {
        const std::vector<RsLine>& olds = *a.rs_lines;
        const std::vector<RsLine>& nows = *b.rs_lines;
        // Mostly the servers are the same ones in the same order.
        if (olds.size() == nows.size() &&
            std::equal(olds.begin(), olds.end(), nows.begin(), same_server)) {
            for (std::size_t i = 0; i < olds.size(); ++i) server_pair(a, b, olds[i], nows[i]);
            return;
        }
        std::unordered_map<std::string, std::deque<const RsLine*>> old_by_key;
        for (const RsLine& rs : olds) old_by_key[server_key(rs)].push_back(&rs);
        std::unordered_set<const RsLine*> paired;
        for (const RsLine& rs : nows) {
            auto it = old_by_key.find(server_key(rs));
            if (it == old_by_key.end() || it->second.empty()) {
                changes_.push_back({nullptr, &b, nullptr, &rs});
                continue;
            }
            const RsLine* old = it->second.front();
            it->second.pop_front();
            paired.insert(old);
            server_pair(a, b, *old, rs);
        }
        for (const RsLine& rs : olds)
            if (!paired.count(&rs)) changes_.push_back({&a, nullptr, &rs, nullptr});
    }

    const Model& o_;
    const Model& n_;
    bool raw_;
    DumpRun old_run_;
    DumpRun new_run_;
    std::vector<Change> changes_;
    std::string old_text_, new_text_;
};

std::string captured(void (*write)(std::FILE*, const void*), const void* what) {
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&buf, &size);
    if (!f) return {};
    write(f, what);
    std::fclose(f);
    std::string text(buf, size);
    std::free(buf);
    return text;
}

struct RuleOf {
    const Model& m;
    const Rule_t& rule;
};

// A rule as the rule listing (-r) shows it, without the type filter.
std::string rule_line(const Model& m, const Rule_t& rule) {
    const RuleOf of{m, rule};
    return captured(
        [](std::FILE* f, const void* p) {
            const auto& r = *static_cast<const RuleOf*>(p);
            const Options all;
            Ctx c{r.m, all, f, f};
            print_rule(c, r.rule);
        },
        &of);
}

// The global parameters as -c shows them.
std::string global_lines(const Model& m) {
    return captured(
        [](std::FILE* f, const void* p) {
            const Options none;
            Ctx c{*static_cast<const Model*>(p), none, f, f};
            print_checks(c);
        },
        &m);
}

std::vector<std::string_view> lines_of(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

struct RulePair {
    const Rule_t* old = nullptr;
    const Rule_t* now = nullptr;
    Status status = Status::same;
};

// The rules paired by number, the default rule left out: the new file's in
// its order, then those only in the old.
std::vector<RulePair> pair_rules(const Model& o, const Model& n) {
    std::unordered_map<int, const Rule_t*> old_by_id;
    for (const auto& r : o.Rules)
        if (r.get() != o.default_rule) old_by_id.try_emplace(r->id, r.get());
    std::vector<RulePair> pairs;
    for (const auto& r : n.Rules) {
        if (r.get() == n.default_rule) continue;
        auto it = old_by_id.find(r->id);
        pairs.push_back({it == old_by_id.end() ? nullptr : it->second, r.get()});
        if (it != old_by_id.end()) old_by_id.erase(it);
    }
    for (const auto& r : o.Rules)
        if (r.get() != o.default_rule && old_by_id.count(r->id) && old_by_id[r->id] == r.get())
            pairs.push_back({r.get(), nullptr});
    for (RulePair& p : pairs) {
        if (!p.old) p.status = Status::added;
        else if (!p.now) p.status = Status::removed;
        else if (rule_line(o, *p.old) != rule_line(n, *p.now)) p.status = Status::changed;
    }
    return pairs;
}

struct Counts {
    int changed = 0, added = 0, removed = 0;
    void count(Status s) {
        if (s == Status::changed) ++changed;
        if (s == Status::added) ++added;
        if (s == Status::removed) ++removed;
    }
    bool any() const { return changed || added || removed; }
};

const char* status_word(Status s) {
    switch (s) {
        case Status::added: return "added";
        case Status::removed: return "removed";
        default: return "changed";
    }
}

class Diff {
public:
    explicit Diff(const DiffInput& in)
        : in_(in), raw_(in.opt.aflag != 0), cmp_(in.old_model, in.new_model, raw_) {}

    int run() {
        vss_ = pair_vss(in_.old_model, in_.new_model);
        if (in_.vs) keep_named_vs();
        for (VsPair& p : vss_) p.status = status_of(p);
        if (!in_.vs) {
            rules_ = pair_rules(in_.old_model, in_.new_model);
            old_global_ = global_lines(in_.old_model);
            new_global_ = global_lines(in_.new_model);
        }
        Counts vs_counts, rule_counts;
        for (const VsPair& p : vss_) vs_counts.count(p.status);
        for (const RulePair& p : rules_) rule_counts.count(p.status);
        const bool global_changed = old_global_ != new_global_;
        if (in_.opt.json)
            write_json(global_changed);
        else
            write_text(vs_counts, rule_counts, global_changed);
        return vs_counts.any() || rule_counts.any() || global_changed ? 1 : 0;
    }

private:
    void keep_named_vs() {
        const Vs* named = in_.vs;
        std::erase_if(vss_, [named](const VsPair& p) { return p.old != named && p.now != named; });
    }

    Status status_of(const VsPair& p) {
        if (!p.old) return Status::added;
        if (!p.now) return Status::removed;
        return cmp_.compare(p).empty() ? Status::same : Status::changed;
    }

    // ---- text ----

    void lines(char sign, const std::string& text) {
        for (std::string_view l : lines_of(text))
            std::fprintf(in_.out, "%c %.*s\n", sign, static_cast<int>(l.size()), l.data());
    }

    void change_lines(const Change& c) {
        std::string text;
        if (c.old) {
            text.clear();
            if (c.old_rs) dump_rs_text(text, *cmp_.old_entries().vs, c.old->row->line, *c.old_rs, raw_);
            else dump_entry_text(text, cmp_.old_entries(), *c.old, raw_);
            lines('-', text);
        }
        if (c.now) {
            text.clear();
            if (c.now_rs) dump_rs_text(text, *cmp_.new_entries().vs, c.now->row->line, *c.now_rs, raw_);
            else dump_entry_text(text, cmp_.new_entries(), *c.now, raw_);
            lines('+', text);
        }
    }

    void vs_header(const VsPair& p) {
        const Vs& vs = p.now ? *p.now : *p.old;
        if (vs.isslave)
            std::fprintf(in_.out, "VS %d \"%s\" subVS of VS %d ", vs.id, vs.name.c_str(), vs.isslave);
        else
            std::fprintf(in_.out, "VS %d \"%s\" %s ", vs.id, vs.name.c_str(), vs_ip_val(vs).c_str());
        if (p.renumbered())
            std::fprintf(in_.out, "renumbered from %d\n", p.old->id);
        else
            std::fprintf(in_.out, "%s\n", status_word(p.status));
    }

    void write_text(const Counts& vs, const Counts& rules, bool global_changed) {
        for (const VsPair* p : shown_order(vss_)) {
            if (p->status == Status::same) continue;
            vs_header(*p);
            for (const Change& c : cmp_.compare(*p)) change_lines(c);
        }
        for (const RulePair& p : rules_) {
            if (p.status == Status::same) continue;
            const Rule_t& r = p.now ? *p.now : *p.old;
            std::fprintf(in_.out, "rule %d \"%s\" %s\n", r.id, r.rule_name.c_str(), status_word(p.status));
            if (p.old) lines('-', rule_line(in_.old_model, *p.old));
            if (p.now) lines('+', rule_line(in_.new_model, *p.now));
        }
        if (global_changed) global_text();
        summary(vs, rules, global_changed);
    }

    void global_text() {
        std::fputs("global parameters changed\n", in_.out);
        const auto old_lines = lines_of(old_global_);
        const auto new_lines = lines_of(new_global_);
        for (std::size_t i = 0; i < std::max(old_lines.size(), new_lines.size()); ++i) {
            const std::string_view a = i < old_lines.size() ? old_lines[i] : std::string_view();
            const std::string_view b = i < new_lines.size() ? new_lines[i] : std::string_view();
            if (a == b) continue;
            lines('-', std::string(a));
            lines('+', std::string(b));
        }
    }

    void summary(const Counts& vs, const Counts& rules, bool global_changed) {
        std::fprintf(in_.out, "%d %s changed, %d added, %d removed", vs.changed,
                     vs.changed == 1 ? "VS" : "VSs", vs.added, vs.removed);
        if (!in_.vs)
            std::fprintf(in_.out, "; %d %s changed, %d added, %d removed; global parameters %s",
                         rules.changed, rules.changed == 1 ? "rule" : "rules", rules.added,
                         rules.removed, global_changed ? "changed" : "unchanged");
        std::fputs("\n", in_.out);
    }

    // ---- JSON ----

    void json_vss(JsonWriter& w, Status status) {
        const bool added = status == Status::added;
        const Model& m = added ? in_.new_model : in_.old_model;
        DumpRun run(nullptr);
        w.key(status_word(status)).begin_array();
        for (const VsPair& p : vss_)
            if (p.status == status) json_vs(w, m, added ? *p.now : *p.old, run);
        w.end_array();
    }

    void json_member(JsonWriter& w, const Change& c) {
        w.key(dump_member_name(*(c.now ? c.now : c.old)->row).c_str()).begin_object();
        if (c.old) json_dump_value(w.key("old"), cmp_.old_entries(), *c.old);
        if (c.now) json_dump_value(w.key("new"), cmp_.new_entries(), *c.now);
        w.end_object();
    }

    // The real servers added, removed and changed, as the dump's "rs" holds them.
    void json_servers(JsonWriter& w, const std::vector<Change>& changes) {
        const Vs& old_vs = *cmp_.old_entries().vs;
        const Vs& new_vs = *cmp_.new_entries().vs;
        w.key("rs").begin_object();
        w.key("added").begin_array();
        for (const Change& c : changes)
            if (c.is_rs() && !c.old_rs) json_real_server(w, new_vs, *c.now_rs);
        w.end_array();
        w.key("removed").begin_array();
        for (const Change& c : changes)
            if (c.is_rs() && !c.now_rs) json_real_server(w, old_vs, *c.old_rs);
        w.end_array();
        w.key("changed").begin_array();
        for (const Change& c : changes) {
            if (!c.is_rs() || !c.old_rs || !c.now_rs) continue;
            w.begin_object();
            json_real_server(w.key("old"), old_vs, *c.old_rs);
            json_real_server(w.key("new"), new_vs, *c.now_rs);
            w.end_object();
        }
        w.end_array();
        w.end_object();
    }

    void json_changed(JsonWriter& w) {
        w.key("changed").begin_array();
        for (const VsPair& p : vss_) {
            if (p.status != Status::changed) continue;
            w.begin_object();
            w.field("vid", p.now->id);
            w.field("name", std::string_view(p.now->name));
            if (p.renumbered()) w.field("renumbered_from", p.old->id);
            w.key("members").begin_object();
            const std::vector<Change>& changes = cmp_.compare(p);
            bool servers_written = false;
            for (const Change& c : changes) {
                if (!c.is_rs())
                    json_member(w, c);
                else if (!servers_written) {
                    json_servers(w, changes);
                    servers_written = true;
                }
            }
            w.end_object();
            w.end_object();
        }
        w.end_array();
    }

    void json_rules(JsonWriter& w) {
        const Options all;
        w.key("rules").begin_object();
        for (Status s : {Status::added, Status::removed}) {
            w.key(status_word(s)).begin_array();
            for (const RulePair& p : rules_)
                if (p.status == s) json_rule(w, all, s == Status::added ? *p.now : *p.old);
            w.end_array();
        }
        w.key("changed").begin_array();
        for (const RulePair& p : rules_) {
            if (p.status != Status::changed) continue;
            w.begin_object();
            w.field("id", p.now->id);
            w.field("name", std::string_view(p.now->rule_name));
            json_rule(w.key("old"), all, *p.old);
            json_rule(w.key("new"), all, *p.now);
            w.end_object();
        }
        w.end_array();
        w.end_object();
    }

    void write_json(bool global_changed) {
        JsonWriter w(in_.out);
        w.begin_object();
        json_vss(w, Status::added);
        json_vss(w, Status::removed);
        json_changed(w);
        if (!in_.vs) {
            json_rules(w);
            if (global_changed) {
                w.key("global").begin_object();
                json_checks(w.key("old"), in_.old_model);
                json_checks(w.key("new"), in_.new_model);
                w.end_object();
            }
        }
        w.end_object();
    }

    const DiffInput& in_;
    bool raw_;
    VsComparison cmp_;
    std::vector<VsPair> vss_;
    std::vector<RulePair> rules_;
    std::string old_global_, new_global_;
};

}  // namespace

int print_diff(const DiffInput& in) { return Diff(in).run(); }

}  // namespace lbsnap
