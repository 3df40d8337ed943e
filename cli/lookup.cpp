// Finding a VS (and a real server) from a user's specification. Every
// search answers as a walk of the VS list from its head would, through the
// indexes built once after loading.
#include "lookup.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "key_table.h"

namespace lbsnap {
namespace {

// The protocol word of a "tcp"/"udp" prefix (any case), or null.
const char* protocol_word(std::string_view prefix) {
    if (prefix.size() != 3) return nullptr;
    if (strncasecmp(prefix.data(), tcp_string, 3) == 0) return tcp_string;
    if (strncasecmp(prefix.data(), udp_string, 3) == 0) return udp_string;
    return nullptr;
}

bool port_matches(const bahd_config_t& vs, int port) {
    if (port == vs.port) return true;
    for (int p : vs.extraports)
        if (p == port) return true;
    return false;
}

// Groups up to this size are searched by walking them; larger ones (many
// VSs on one address) get a port index.
constexpr std::size_t kPortIndexFrom = 32;

void index_ports(VsIndexes::AddrGroup& g) {
    if (g.vss.size() < kPortIndexFrom) return;
    g.by_port = std::make_unique<std::unordered_map<int, std::vector<bahd_config_t*>>>();
    auto& by_port = *g.by_port;
    for (bahd_config_t* vs : g.vss) {
        by_port[vs->port].push_back(vs);
        for (int p : vs->extraports)
            if (p != vs->port) by_port[p].push_back(vs);
    }
}

// The VSs of the group that may serve `port` (0: any), in list order.
const std::vector<bahd_config_t*>* port_candidates(const VsIndexes::AddrGroup& g, int port) {
    static const std::vector<bahd_config_t*> none;
    if (port == 0 || !g.by_port) return &g.vss;
    auto it = g.by_port->find(port);
    return it == g.by_port->end() ? &none : &it->second;
}

}  // namespace

void build_indexes(Model& m) {
    VsIndexes& idx = m.idx;
    idx = VsIndexes{};
    std::size_t nrs = 0;
    for (const auto& vs : m.bahd) nrs += vs->ismaster ? 0 : vs->rsinfo.size();
    idx.rs_by_id.reserve(nrs);
    idx.by_id.reserve(m.bahd.size());
    idx.by_name.reserve(m.bahd.size());
    idx.by_addr.reserve(m.bahd.size());
    for (std::uint32_t i = 0; i < m.bahd.size(); ++i) {
        bahd_config_t* vs = m.bahd[i].get();
        idx.by_id.emplace(vs->id, vs);
        idx.by_name.emplace(std::string_view(vs->name), vs);
        if (!vs->isslave) {
            idx.by_addr[std::string_view(vs->vip)].vss.push_back(vs);
            // A VS whose two addresses are the same text is one candidate.
            if (std::string_view(vs->vip2) != std::string_view(vs->vip))
                idx.by_addr[std::string_view(vs->vip2)].vss.push_back(vs);
        }
        if (!vs->ismaster)
            for (rs_info_t& rs : vs->rsinfo) idx.rs_by_id.push_back({rs.id, i, &rs});
    }
    // Sorted in place (a stable sort would want a second copy of the
    // table); a VS's entries lie in one array, in order.
    auto walk_order = [](const VsIndexes::RsEntry& a, const VsIndexes::RsEntry& b) {
        if (a.id != b.id) return a.id < b.id;
        return a.vs_index != b.vs_index ? a.vs_index < b.vs_index : a.rs < b.rs;
    };
    // Ids often grow with the list already.
    if (!std::is_sorted(idx.rs_by_id.begin(), idx.rs_by_id.end(), walk_order))
        std::sort(idx.rs_by_id.begin(), idx.rs_by_id.end(), walk_order);
    for (auto& [addr, group] : idx.by_addr) index_ports(group);
}

int id_to_vip(const char* name) {
    if (!std::isdigit(static_cast<unsigned char>(name[0]))) return -1;
    char* end = nullptr;
    std::strtol(name, &end, 10);
    if (*end) return -1;
    // Ids beyond int clamp like the configuration's own "VID:" values.
    int id = config_int(name);
    return id >= 1 ? id : -1;
}

bahd_config_t* find_vip_id(const Model& m, int id) {
    auto it = m.idx.by_id.find(id);
    return it == m.idx.by_id.end() ? nullptr : it->second;
}

bahd_config_t* find_vip_name(const Model& m, const char* name) {
    auto it = m.idx.by_name.find(std::string_view(name));
    return it == m.idx.by_name.end() ? nullptr : it->second;
}

int maybe_ip(const char* name) {
    const char* rest = name;
    if (const char* slash = std::strchr(name, '/')) {
        if (!protocol_word(std::string_view(name, slash - name))) return 0;
        rest = slash + 1;
    }
    return std::isdigit(static_cast<unsigned char>(rest[0])) || std::strchr(rest, ':') ? 1 : 0;
}

std::optional<std::string_view> validate_ip(const char* param, const char** rprot, int* port,
                                            AddrText& buf, std::FILE* err, lm_addr* addr) {
    *port = 0;
    if (addr) *addr = lm_addr{};
    const char* text = param;
    if (rprot) {
        *rprot = nullptr;
        if (const char* slash = std::strchr(param, '/')) {
            *rprot = protocol_word(std::string_view(param, slash - param));
            if (!*rprot) {
                std::fprintf(err, "Invalid protocol specifier\n");
                return std::nullopt;
            }
            text = slash + 1;
        }
    }
    if (text[0] == '#') {
        *port = config_int(text + 1);
        return std::string_view(text);
    }
    lm_sockaddr sa{};
    if (!lm_str2addr(&sa, text)) {
        if (err) std::fprintf(err, "Invalid IP spec: '%s'\n", text);
        return std::nullopt;
    }
    *port = lm_addrport(sa);
    lm_addr a{};
    lm_unmapaddr(&a, sa);
    if (addr) *addr = a;
    // A parsed address is always IPv4 or IPv6, which print.
    if (!lm_format_addr(a, buf.data())) buf[0] = '\0';
    return std::string_view(buf.data());
}

std::optional<std::string> validate_ip(const char* param, const char** rprot, int* port,
                                       std::FILE* err) {
    AddrText buf;
    auto text = validate_ip(param, rprot, port, buf, err);
    if (!text) return std::nullopt;
    return std::string(*text);
}

bahd_config_t* find_vip_cur(const Model& m, const bahd_config_t* current, const char* vip,
                            const char* proto, int port, std::FILE* err) {
    bahd_config_t* match = nullptr;
    auto it = m.idx.by_addr.find(std::string_view(vip));
    if (it != m.idx.by_addr.end()) {
        // The candidates are the non-sub VSs that hold vip, in list order.
        for (bahd_config_t* vs : *port_candidates(it->second, port)) {
            if (vs == current) continue;
            if (port != 0 && !port_matches(*vs, port)) continue;
            if (proto && strcasecmp(proto, vs->proto.c_str()) != 0) continue;
            if (!match) {
                match = vs;
                continue;
            }
            if (current) return match;
            std::fprintf(err, "VS not fully qualified\n");
            return nullptr;
        }
    }
    if (!match && !current) std::fprintf(err, "Unknown VS\n");
    return match;
}

bahd_config_t* find_vip(const Model& m, const char* vip, const char* proto, int port,
                        std::FILE* err) {
    return find_vip_cur(m, nullptr, vip, proto, port, err);
}

bahd_config_t* locate_vip(Ctx& c, const char* name) {
    if (int id = id_to_vip(name); id >= 1) {
        bahd_config_t* vs = find_vip_id(c.m, id);
        if (!vs) std::fprintf(c.err, "Unknown VIP <%s>\n", name);
        return vs;
    }
    if (bahd_config_t* vs = find_vip_name(c.m, name)) return vs;
    if (maybe_ip(name)) {
        const char* prot = nullptr;
        int port = 0;
        if (auto addr = validate_ip(name, &prot, &port, c.err))
            return find_vip(c.m, addr->c_str(), prot, port, c.err);
    }
    std::fprintf(c.err, "Unknown VIP <%s>\n", name);
    return nullptr;
}

rs_info_t* find_rs_follow(const Model& m, int id, bahd_config_t** curp) {
    const auto& all = m.idx.rs_by_id;
    auto it = std::lower_bound(all.begin(), all.end(), id,
                               [](const VsIndexes::RsEntry& e, int want) { return e.id < want; });
    if (it == all.end() || it->id != id) return nullptr;
    if (curp) *curp = m.bahd[it->vs_index].get();
    return it->rs;
}

}  // namespace lbsnap
