// Reading the daemon configuration file: sections, completing records, and
// the order of the VS list and of each VS's real servers.
#include "store/reader.h"

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "lib/format_text.h"
#include "lib/heap_prep.h"
#include "store/diagnostics.h"
#include "store/indexes.h"
#include "store/key_table.h"
#include "store/line_source.h"
#include "store/read_context.h"
#include "store/rules.h"

namespace lbsnap {
namespace {

enum class Section { none, checker, adapt_http, adapt_sdn, vs, rule };
constexpr std::size_t kSectionKinds = static_cast<std::size_t>(Section::rule) + 1;

struct Marker {
    Section section;
    const char* start;
    const char* end;
    const char* name;  // as findings name the section
};

// In the order in which they are tested outside a section.
constexpr Marker markers[] = {
    {Section::checker, "<CHECKER_ARGS>", "<END CHECKER_ARGS>", "checker"},
    {Section::adapt_http, "<ADAPTIVE_ARGS_HTTP_RS>", "<END ADAPTIVE_ARGS_HTTP_RS>", "adaptive HTTP"},
    {Section::adapt_sdn, "<ADAPTIVE_ARGS_SDN_GSTATS>", "<END ADAPTIVE_ARGS_SDN_GSTATS>", "adaptive SDN"},
    {Section::vs, "<SECTION VS>", "<END VS>", "VS"},
    {Section::rule, "<RULE>", "<END RULE>", "rule"},
};

const Marker* start_marker(const char* text) {
    for (const Marker& mk : markers)
        if (find_key(mk.start, text)) return &mk;
    return nullptr;
}

// "<...>" alone on its line, as every marker is written.
bool looks_like_marker(const char* text) {
    if (text[0] != '<') return false;
    std::size_t n = std::strlen(text);
    while (n > 0 && (text[n - 1] == ' ' || text[n - 1] == '\t' || text[n - 1] == '\r')) --n;
    return text[n - 1] == '>';
}

// The reader's state while one file is read: the section and the record
// under construction, and the context the line handlers share.
class Loader {
public:
    Loader(Model& m, Diagnostics* findings) : ctx_(m, findings) {}

    // One line, its newline already dropped (which changes no marker test:
    // markers match the start of a line). False when the line ends the load.
    bool line(char* text, int line_no, std::size_t raw_size, bool goes_on) {
        ctx_.read_line(line_no, text, raw_size, goes_on);
        if (section_ == Section::none) {
            if (const Marker* mk = start_marker(text)) {
                section_ = mk->section;
                end_ = mk->end;
                name_ = mk->name;
                section_line_ = line_no;
                ++begun_[static_cast<std::size_t>(mk->section)];
                ctx_.section_begins();
                return true;
            }
            ctx_.outside_section();
            return true;
        }
        if (find_key(end_, text)) {
            complete();
            return true;
        }
        if (ctx_.checking()) [[unlikely]] check_marker(text);
        return inside(text);
    }

    // A section still open here is dropped: its record dies with the Loader.
    void end_of_file() {
        ctx_.section_closed();
        if (section_ != Section::none)
            ctx_.section_open(section_line_, end_, vs_ ? "VS" : rule_ ? "rule" : nullptr);
        if (sections_begun() == 0) ctx_.no_sections();
        ctx_.end_of_file();
    }

    const LoadResult& result() const { return ctx_.result(); }

    // No section is open: the next line is read as the first of a file.
    bool between_sections() const { return section_ == Section::none; }
    int sections_begun(Section s) const { return begun_[static_cast<std::size_t>(s)]; }
    int sections_begun() const { return std::accumulate(begun_.begin(), begun_.end(), 0); }
    // The sections begun that are not VS sections.
    int other_sections_begun() const { return sections_begun() - sections_begun(Section::vs); }

private:
    // A marker where the section's end was due; the VS section's own
    // real-server markers are none.
    void check_marker(const char* text) {
        if (text[0] != '<') return;  // as every marker starts
        const Marker* mk = start_marker(text);
        if (!mk && !looks_like_marker(text)) return;
        if (!mk && section_ == Section::vs && (find_key("<IPVSADM>", text) || find_key("<END>", text)))
            return;
        ctx_.marker_mistake(text, section_line_, name_, end_, mk != nullptr);
    }

    bool inside(char* text) {
        switch (section_) {
            case Section::checker: add_chk_line(ctx_, text); break;
            case Section::adapt_http: add_adapt_line(ctx_, text); break;
            case Section::adapt_sdn: add_sdn_adapt_line(ctx_, text); break;
            case Section::vs:
                if (!vs_) {
                    vs_ = std::make_unique<bahd_config_t>();
                    vs_->line = section_line_;
                    vs_->rsinfo = std::move(rs_work_);
                }
                rs_pending_.entry.line = ctx_.line_no();
                return add_vs_line(ctx_, text, *vs_, has_ipvsadm_, rs_pending_);
            case Section::rule:
                if (!rule_) {
                    rule_ = std::make_unique<Rule_t>();
                    rule_->line = section_line_;
                }
                add_rule_line(ctx_, text, *rule_);
                break;
            case Section::none: break;
        }
        return true;
    }

    void complete() {
        Model& m = ctx_.m;
        ctx_.section_closed();
        if (vs_) {
            ctx_.vs_section_ends(section_line_);
            merge_rs_rules(m, *vs_);
            sort_rs(*vs_, rs_pending_.addrs);
            fit_rs(*vs_);
            ctx_.vs_completed(*vs_);
            // The list is put in order once the whole file is read.
            m.bahd.push_back(std::move(vs_));
            rs_pending_.entry = rs_info_t{};
            rs_pending_.addr = lm_addr{};
            rs_pending_.addrs.clear();
        }
        has_ipvsadm_ = 0;
        if (rule_) {
            if (RuleFault f = rule_fault(m, *rule_); f == RuleFault::none) {
                m.rule_by_id.emplace(rule_->id, rule_.get());
                m.Rules.push_back(std::move(rule_));
            } else {
                ctx_.rule_dropped(*rule_, f);
            }
            rule_.reset();
        }
        section_ = Section::none;
    }

    ReadContext ctx_;
    Section section_ = Section::none;
    const char* end_ = nullptr;
    const char* name_ = nullptr;
    int section_line_ = 0;
    std::array<int, kSectionKinds> begun_{};
    std::unique_ptr<bahd_config_t> vs_;
    std::unique_ptr<Rule_t> rule_;
    int has_ipvsadm_ = 0;
    RsPending rs_pending_;
    // The list a VS's real servers are gathered in, its room kept from
    // one VS to the next.
    std::vector<rs_info_t> rs_work_;

    // The VS's content rules take those its real servers name.
    void merge_rs_rules(Model& m, bahd_config_t& vs) {
        auto named = [](const rs_info_t& rs) { return !rs.r.empty(); };
        if (std::none_of(vs.rsinfo.begin(), vs.rsinfo.end(), named)) return;
        std::vector<const Rule_t*>& rules = ctx_.rules_at_hand();
        rules.assign(vs.r.rule_list.begin(), vs.r.rule_list.end());
        for (const rs_info_t& rs : vs.rsinfo) merge_rules(m, rules, rs.r);
        vs.r.rule_list = m.rule_lists.keep(rules);
    }

    // The VS gets a list of exactly its real servers: no VS pays for the
    // growth of its list or keeps its slack.
    void fit_rs(bahd_config_t& vs) {
        std::vector<rs_info_t> fitted;
        fitted.reserve(vs.rsinfo.size());
        std::move(vs.rsinfo.begin(), vs.rsinfo.end(), std::back_inserter(fitted));
        rs_work_ = std::move(vs.rsinfo);
        rs_work_.clear();
        vs.rsinfo = std::move(fitted);
    }
};

// The address a record sorts by. Text that is no address without a port
// (empty, a name, an address with a port, a sub-VS reference) sorts as an
// address of family 0, which lm_addrcmp places after every IPv4 address and
// level with any other such text.
lm_addr sort_addr(const char* text) {
    lm_addr a{};
    if (!lm_cvtaddr(&a, text)) a = lm_addr{};
    return a;
}

// Reorders v by the permutation `order` (order[i] = old index of new i).
template <class T>
void permute(std::vector<T>& v, const std::vector<std::size_t>& order) {
    std::vector<T> out;
    out.reserve(v.size());
    for (std::size_t i : order) out.push_back(std::move(v[i]));
    v = std::move(out);
}

// The same, one cycle of the permutation after the other, without a copy
// of v; order is used up.
template <class T>
void permute_in_place(std::vector<T>& v, std::vector<std::size_t>& order) {
    for (std::size_t start = 0; start < order.size(); ++start) {
        if (order[start] == start) continue;
        T held = std::move(v[start]);
        std::size_t at = start;
        while (order[at] != start) {
            const std::size_t from = order[at];
            v[at] = std::move(v[from]);
            order[at] = at;
            at = from;
        }
        v[at] = std::move(held);
        order[at] = at;
    }
}

std::vector<std::size_t> identity(std::size_t n) {
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

}  // namespace

void clean_up(Model& m) {
    m.bahd.clear();
    m.parts.clear();
    m.id_idx.reset();
    m.idx.reset();
    m.name_idx.reset();
    m.addr_idx.reset();
    m.Rules.clear();
    m.rule_by_id.clear();
    auto def = std::make_unique<Rule_t>();
    def->rule_name.set_view("default");
    m.default_rule = def.get();
    m.rule_by_id.emplace(0, def.get());
    m.Rules.push_back(std::move(def));
    m.got_adapt_args = 0;
    m.adapt_args = def_adapt_args;
    m.sdn_adapt_args = def_sdn_adapt_args;
    m.chk_args = def_chk_args;
}

void merge_rules(const Model& m, std::vector<const Rule_t*>& rv, const Rule_list& rl) {
    bool saw_default = false;
    if (!rv.empty() && rv.back() == m.default_rule) {
        rv.pop_back();
        saw_default = true;
    }
    std::size_t n = rl.rule_list.size();
    if (n && rl.rule_list.back() == m.default_rule) {
        --n;
        saw_default = true;
    }
    for (std::size_t i = 0; i < n; ++i) add_ruleid(m, rv, rl.rule_list[i]);
    if (saw_default) add_ruleid(m, rv, m.default_rule);
}

int consistent_rule(const Model& m, const Rule_t& r) { return rule_fault(m, r) == RuleFault::none; }

RuleFault rule_fault(const Model& m, const Rule_t& r) {
    if (r.id < 1) return RuleFault::no_number;
    if (id_to_rule(m, r.id)) return RuleFault::number_taken;
    if (r.rule_name.empty()) return RuleFault::no_name;
    if (r.rule_type < 0 || r.rule_type >= kRuleTypeCount) return RuleFault::bad_type;
    // The texts each type needs, tested in field order: content and
    // delheader a pattern; addheader a header and a replacement;
    // replaceheader all three; replaceuri, replacebody a pattern and a
    // replacement.
    const bool pattern = r.rule_type != kRuleAddHeader,
               header = r.rule_type == kRuleAddHeader || r.rule_type == kRuleReplaceHeader,
               replacement = r.rule_type != kRuleContent && r.rule_type != kRuleDelHeader;
    if (pattern && r.pattern.empty()) return RuleFault::no_pattern;
    if (header && r.header.empty()) return RuleFault::no_header;
    if (replacement && r.replacement.empty()) return RuleFault::no_replacement;
    return RuleFault::none;
}

void sort_vs_list(Model& m) {
    struct Key {
        bool sub;
        lm_addr addr;  // ordinary VSs
        int id;        // sub-VSs
        int port;
    };
    std::vector<Key> keys;
    keys.reserve(m.bahd.size());
    for (const auto& vs : m.bahd) {
        bool sub = vs->isslave != 0;
        keys.push_back({sub, sub ? lm_addr{} : sort_addr(vs->vip.c_str()), vs->id, vs->port});
    }
    auto order = identity(keys.size());
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const Key& x = keys[a];
        const Key& y = keys[b];
        if (x.sub != y.sub) return !x.sub;
        if (x.sub) {
            if (x.id != y.id) return x.id < y.id;
        } else if (int c = lm_addrcmp(x.addr, y.addr)) {
            return c < 0;
        }
        return x.port < y.port;
    });
    permute(m.bahd, order);
}

void sort_rs(bahd_config_t& vs, const std::vector<lm_addr>& addrs) {
    auto& rs = vs.rsinfo;
    if (rs.size() < 2) return;
    // Each address was converted once, when its line was read.
    auto before = [&](std::size_t a, std::size_t b) {
        if (!vs.ismaster)
            if (int c = lm_addrcmp(addrs[a], addrs[b])) return c < 0;
        return rs[a].port < rs[b].port;
    };
    std::size_t i = 1;
    while (i < rs.size() && !before(i, i - 1)) ++i;
    if (i == rs.size()) return;  // in order as written, as most lists are
    auto order = identity(rs.size());
    std::stable_sort(order.begin(), order.end(), before);
    permute_in_place(rs, order);
}

namespace {

// Text, not a binary: few bytes of its start are control characters other
// than the layout ones (tabs, line ends, form feeds).
bool looks_like_text(const char* text, std::size_t size) {
    constexpr std::size_t looked_at = 1 << 16;
    constexpr std::size_t share = 32;  // one byte in this many at most
    const std::size_t n = std::min(size, looked_at);
    std::size_t control = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const auto ch = static_cast<unsigned char>(text[i]);
        if ((ch < ' ' && ch != '\t' && ch != '\n' && ch != '\r' && ch != '\f') || ch == 0x7f) ++control;
    }
    return control * share <= n;
}

// Hands the lines to the loader until the end, or until a line ends the
// load (false); `after` sees the loader after each line and may stop the
// reading (false).
template <class After>
bool read_lines(LineSplitter& lines, Loader& loader, After after) {
    while (char* line = lines.next()) {
        if (!loader.line(line, lines.line_no(), lines.raw_size(), lines.line_goes_on())) return false;
        if (!after(loader)) break;
    }
    return true;
}

// The start of a VS section's marker line at or after `from` (past the
// file's first byte), or 0 when a stretch of the file there holds none.
std::size_t vs_section_from(const ByteSource& source, std::size_t from) {
    static constexpr std::string_view marker = "\n<SECTION VS>\n";
    constexpr std::size_t stretch = 1 << 16;
    std::string seen(stretch, '\0');
    seen.resize(source.read_at(from - 1, seen.data(), stretch));
    const std::size_t found = seen.find(marker);
    return found == std::string::npos ? 0 : from + found;
}

// The second part of a file read in two parts at once, read on a thread of
// its own into a model of its own from the start of a VS section on. Its
// VSs name rules as the rule list stood when it began.
class SecondPart {
public:
    // checking: the part keeps the findings of a check.
    SecondPart(const ByteSource& file, std::size_t at, const Model& m, bool checking)
        : part_(std::make_unique<Model>()), checking_(checking) {
        part_->default_rule = m.default_rule;
        part_->rule_by_id = m.rule_by_id;
        thread_ = std::jthread([this, file, at] { read(file, at); });
    }

    // Waits for the thread: the part's model when it holds VS sections
    // only, all read to their end without a fault; else null.
    std::unique_ptr<Model> joined() {
        if (thread_.joinable()) thread_.join();
        return clean_ ? std::move(part_) : nullptr;
    }
    Diagnostics& findings() { return findings_; }

private:
    void read(const ByteSource& file, std::size_t at) {
        try {
            prepare_thread_heap(file.size() - at);
            const auto lines_before = static_cast<int>(file.newlines_before(at));
            ByteSource source = file.from(at);
            LineSplitter lines(source, lines_before);
            Loader loader(*part_, checking_ ? &findings_ : nullptr);
            // At another section's marker the part stops, inside that section.
            const bool read = read_lines(lines, loader, [](const Loader& l) { return l.other_sections_begun() == 0; });
            clean_ = read && loader.between_sections() && !source.error();
        } catch (const std::exception&) {
            // Not clean: the first thread reads the part again, and meets the same.
        }
    }

    std::unique_ptr<Model> part_;
    const bool checking_;
    Diagnostics findings_;
    bool clean_ = false;
    std::jthread thread_;
};

// A large file is read in two parts at once: this thread reads from the
// start, and once the first VS section begins, a second part starts
// halfway through the rest, at a VS section. The first part stops there.
// The second part's VSs join the list when reading the whole file would
// have read them the same: the first part ends between sections, without a
// read error, and with no rule section after the second part began.
// Otherwise the first part reads on, as if there were no second part.
class TwoParts {
public:
    // findings: a check's, to which the second part's are added when it joins.
    TwoParts(bool wanted, Diagnostics* findings) : due_(wanted), findings_(findings) {}

    // After each line of the first part.
    void after_line(const Loader& loader, const LineSplitter& lines, ByteSource& source, const Model& m) {
        if (!due_ || loader.sections_begun(Section::vs) == 0) return;
        due_ = false;
        const std::size_t here = lines.offset(), size = source.size();
        if (size <= here) return;
        const std::size_t at = vs_section_from(source, here + (size - here) / 2);
        if (at == 0 || at < source.taken()) return;
        source.stop_at(at);
        at_ = at;
        rule_sections_ = loader.sections_begun(Section::rule);
        try {
            second_.emplace(source, at, m, findings_ != nullptr);
        } catch (const std::system_error&) {
            // No thread to be had: one pass reads it all.
            source.resume();
        }
    }

    bool started() const { return second_.has_value(); }

    // Once the first part is read: the second part's model when its VSs
    // join the list; else null, and the source reads on past the stop.
    std::unique_ptr<Model> joined(const Loader& loader, ByteSource& source) {
        std::unique_ptr<Model> part = second_->joined();
        Diagnostics part_findings = std::move(second_->findings());
        second_.reset();
        const bool ends_there = loader.between_sections() && source.taken() == at_ && !source.error() &&
                                loader.sections_begun(Section::rule) == rule_sections_;
        if (part && ends_there) {
            if (findings_) findings_->append(std::move(part_findings));
            return part;
        }
        source.resume();
        return nullptr;
    }

private:
    bool due_;
    Diagnostics* findings_;
    std::size_t at_ = 0;
    int rule_sections_ = 0;
    std::optional<SecondPart> second_;
};

// The second part's VSs follow the first part's, as in the file; its model
// keeps their texts, rule lists and groups.
void join_part(Model& m, std::unique_ptr<Model> part) {
    m.bahd.reserve(m.bahd.size() + part->bahd.size());
    std::move(part->bahd.begin(), part->bahd.end(), std::back_inserter(m.bahd));
    part->bahd.clear();
    part->rule_by_id.clear();
    m.parts.push_back(std::move(part));
}

// Loads the configuration that `source` reads. A check says a file that
// cannot be read is unreadable; commands read what could be read.
LoadResult load_from(Model& m, ByteSource& source, Diagnostics* findings, const char* path,
                     std::size_t two_parts_from) {
    clean_up(m);
    LineSplitter lines(source);
    if (findings && !source.error() && !looks_like_text(lines.head().data(), lines.head().size())) {
        findings->add(kWholeFile, Severity::error,
                      "the file is not text (it holds NUL bytes or other control characters); nothing is read");
        return {};
    }
    Loader loader(m, findings);
    TwoParts two(source.size() >= two_parts_from, findings);
    auto after = [&](const Loader& l) {
        two.after_line(l, lines, source, m);
        return true;
    };
    if (!read_lines(lines, loader, after)) return loader.result();
    if (two.started()) {
        if (std::unique_ptr<Model> part = two.joined(loader, source)) {
            join_part(m, std::move(part));
        } else if (!source.error()) {
            lines.resume();
            if (!read_lines(lines, loader, after)) return loader.result();
        }
    }
    if (findings && source.error())
        return {LoadStatus::cannot_read, format_text("%s: cannot read: %s\n", path, std::strerror(source.error()))};
    loader.end_of_file();
    if (m.got_adapt_args && m.adapt_args.http_port == 0) m.adapt_args.http_port = 80;
    sort_vs_list(m);
    return {};
}

}  // namespace

LoadResult load_text(Model& m, std::string_view text, Diagnostics* findings, std::size_t two_parts_from) {
    ByteSource source(text);
    return load_from(m, source, findings, "", two_parts_from);
}

LoadResult load_data(Model& m, const std::string& path, Diagnostics* findings, std::size_t two_parts_from) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {LoadStatus::cannot_open, "Cannot open config file\n"};
    ByteSource source(fd);
    LoadResult result = load_from(m, source, findings, path.c_str(), two_parts_from);
    close(fd);
    return result;
}

}  // namespace lbsnap
