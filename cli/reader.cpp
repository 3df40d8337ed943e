// Reading the daemon configuration file: sections, completing records, and
// the order of the VS list and of each VS's real servers.
#include "reader.h"

#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <numeric>

#include "diagnostics.h"
#include "lookup.h"
#include "rules.h"

namespace lbsnap {
namespace {

enum class Section { none, checker, adapt_http, adapt_sdn, vs, rule };

struct Marker {
    Section section;
    const char* start;
    const char* end;
};

// In the order in which they are tested outside a section.
constexpr Marker markers[] = {
    {Section::checker, "<CHECKER_ARGS>", "<END CHECKER_ARGS>"},
    {Section::adapt_http, "<ADAPTIVE_ARGS_HTTP_RS>", "<END ADAPTIVE_ARGS_HTTP_RS>"},
    {Section::adapt_sdn, "<ADAPTIVE_ARGS_SDN_GSTATS>", "<END ADAPTIVE_ARGS_SDN_GSTATS>"},
    {Section::vs, "<SECTION VS>", "<END VS>"},
    {Section::rule, "<RULE>", "<END RULE>"},
};

// Hands out the file's lines as fgets would: at most max_read bytes each,
// ending after a newline; the text of a line is what a C string function
// sees, so it ends at the first NUL byte. Counts the file's lines, so the
// pieces of a longer line share its number.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool next(std::string& line) {
        if (pos_ >= text_.size()) return false;
        if (ended_) ++line_no_;
        std::string_view rest = text_.substr(pos_, max_read);
        std::size_t nl = rest.find('\n');
        ended_ = nl != std::string_view::npos;
        std::size_t len = ended_ ? nl + 1 : rest.size();
        pos_ += len;
        std::string_view chunk = rest.substr(0, len);
        line.assign(chunk.substr(0, chunk.find('\0')));
        return true;
    }

    int line_no() const { return line_no_; }
    // The last piece handed out is not the whole rest of its line.
    bool line_goes_on() const { return !ended_ && pos_ < text_.size(); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    int line_no_ = 0;
    bool ended_ = true;
};

void drop_first_newline(std::string& line) {
    std::size_t nl = line.find('\n');
    if (nl != std::string::npos) line.resize(nl);
}

// The reader's state while one file is read.
class Loader {
public:
    Loader(Model& m, std::FILE* err) : m_(m), err_(err) {}

    LoadStatus line(std::string& text, int line_no) {
        if (section_ == Section::none) {
            for (const Marker& mk : markers)
                if (find_key(mk.start, text.c_str())) {
                    section_ = mk.section;
                    end_ = mk.end;
                    section_line_ = line_no;
                    return LoadStatus::ok;
                }
            if (m_.diag) m_.diag->outside_section();
            return LoadStatus::ok;
        }
        if (find_key(end_, text.c_str())) {
            complete();
            return LoadStatus::ok;
        }
        drop_first_newline(text);
        return inside(text.c_str(), line_no);
    }

    // A section still open at the end of the file is dropped.
    void report_open_section() const {
        if (section_ != Section::none)
            m_.diag->section_open(section_line_, end_, vs_ ? "VS" : rule_ ? "rule" : nullptr);
    }

private:
    LoadStatus inside(const char* text, int line_no) {
        switch (section_) {
            case Section::checker: add_chk_line(m_, text); break;
            case Section::adapt_http: add_adapt_line(m_, text); break;
            case Section::adapt_sdn: add_sdn_adapt_line(m_, text); break;
            case Section::vs:
                if (!vs_) {
                    vs_ = std::make_unique<bahd_config_t>();
                    vs_->line = section_line_;
                    ++m_.nbahd;
                }
                vs_->rs_pending.line = line_no;
                if (!add_vs_line(m_, text, *vs_, has_ipvsadm_, err_))
                    return LoadStatus::invalid_rs_address;
                break;
            case Section::rule:
                if (!rule_) {
                    rule_ = std::make_unique<Rule_t>();
                    rule_->line = section_line_;
                }
                add_rule_line(text, *rule_, m_.diag);
                break;
            case Section::none: break;
        }
        return LoadStatus::ok;
    }

    void complete() {
        if (vs_) {
            for (const rs_info_t& rs : vs_->rsinfo) merge_rules(m_, vs_->r, rs.r);
            sort_rs(*vs_);
            // The list is put in order once the whole file is read.
            m_.bahd.push_back(std::move(vs_));
        }
        has_ipvsadm_ = 0;
        if (rule_) {
            if (RuleFault f = rule_fault(m_, *rule_); f == RuleFault::none) {
                m_.rule_by_id.emplace(rule_->id, rule_.get());
                m_.Rules.push_back(std::move(rule_));
            } else if (m_.diag) {
                m_.diag->rule_dropped(m_, *rule_, f);
            }
            rule_.reset();
        }
        section_ = Section::none;
    }

    Model& m_;
    std::FILE* err_;
    Section section_ = Section::none;
    const char* end_ = nullptr;
    int section_line_ = 0;
    std::unique_ptr<bahd_config_t> vs_;
    std::unique_ptr<Rule_t> rule_;
    int has_ipvsadm_ = 0;
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

std::vector<std::size_t> identity(std::size_t n) {
    std::vector<std::size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    return order;
}

}  // namespace

const char* find_key(const char* val, const char* line) {
    std::size_t n = std::strlen(val);
    if (strncasecmp(val, line, n) != 0) return nullptr;
    const char* v = line + n;
    while (*v == ' ' || *v == '\t') ++v;
    return v;
}

void clean_up(Model& m) {
    m.bahd.clear();
    m.idx = VsIndexes{};
    m.Rules.clear();
    m.rule_by_id.clear();
    auto def = std::make_unique<Rule_t>();
    def->rule_name = "default";
    m.defRule_id = def.get();
    m.rule_by_id.emplace(0, def.get());
    m.Rules.push_back(std::move(def));
    m.got_adapt_args = 0;
    m.adapt_args = def_adapt_args;
    m.sdn_adapt_args = def_sdn_adapt_args;
    m.chk_args = def_chk_args;
}

void merge_rules(const Model& m, Rule_list& rv, const Rule_list& rl) {
    bool saw_default = false;
    if (!rv.empty() && rv.rule_list.back() == m.defRule_id) {
        rv.rule_list.pop_back();
        saw_default = true;
    }
    std::size_t n = rl.rule_list.size();
    if (n && rl.rule_list.back() == m.defRule_id) {
        --n;
        saw_default = true;
    }
    for (std::size_t i = 0; i < n; ++i) add_ruleid(m, rv, rl.rule_list[i]);
    if (saw_default) add_ruleid(m, rv, m.defRule_id);
}

int consistent_rule(const Model& m, const Rule_t& r) { return rule_fault(m, r) == RuleFault::none; }

RuleFault rule_fault(const Model& m, const Rule_t& r) {
    if (r.id < 1) return RuleFault::no_number;
    if (id_to_rule(m, r.id)) return RuleFault::number_taken;
    if (r.rule_name.empty()) return RuleFault::no_name;
    if (r.rule_type < 0 || r.rule_type > 5) return RuleFault::bad_type;
    // The texts each type needs, tested in field order: content (0) and
    // delheader (2) a pattern; addheader (1) a header and a replacement;
    // replaceheader (3) all three; replaceuri (4), replacebody (5) a pattern
    // and a replacement.
    const bool pattern = r.rule_type != 1, header = r.rule_type == 1 || r.rule_type == 3,
               replacement = r.rule_type != 0 && r.rule_type != 2;
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

void sort_rs(bahd_config_t& vs) {
    auto& rs = vs.rsinfo;
    if (rs.size() < 2) return;
    auto order = identity(rs.size());
    if (vs.ismaster) {
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return rs[a].port < rs[b].port; });
    } else {
        std::vector<lm_addr> addrs;
        addrs.reserve(rs.size());
        for (const rs_info_t& r : rs) addrs.push_back(sort_addr(r.rip.c_str()));
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            if (int c = lm_addrcmp(addrs[a], addrs[b])) return c < 0;
            return rs[a].port < rs[b].port;
        });
    }
    permute(rs, order);
}

LoadStatus load_text(Model& m, std::string_view text, std::FILE* err, Diagnostics* diag) {
    clean_up(m);
    m.diag = diag;
    Loader loader(m, err);
    LineReader reader(text);
    std::string line;
    while (reader.next(line)) {
        if (diag) diag->read_line(reader.line_no(), line, reader.line_goes_on());
        if (LoadStatus s = loader.line(line, reader.line_no()); s != LoadStatus::ok) return s;
    }
    // A section still open here is dropped: the Loader's record dies with it.
    if (diag) loader.report_open_section();
    m.diag = nullptr;
    if (m.got_adapt_args && m.adapt_args.http_port == 0) m.adapt_args.http_port = 80;
    sort_vs_list(m);
    build_indexes(m);
    return LoadStatus::ok;
}

LoadStatus load_data(Model& m, const std::string& path, std::FILE* err, Diagnostics* diag) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fputs("Cannot open config file\n", err);
        return LoadStatus::cannot_open;
    }
    std::string text;
    // Sized up front: configurations run to tens of megabytes.
    struct stat st {};
    if (fstat(fileno(f), &st) == 0 && st.st_size > 0) text.reserve(static_cast<std::size_t>(st.st_size));
    char buf[1 << 16];
    std::size_t n;
    // A read error ends the text as the end of the file would.
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return load_text(m, text, err, diag);
}

}  // namespace lbsnap
