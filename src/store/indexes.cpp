// The lookup indexes over the VS list. Each keeps the first match in list
// order, so a search through them answers as a walk of the list would.
#include "store/indexes.h"

#include <algorithm>
#include <memory>
#include <numeric>
#include <optional>
#include <string_view>
#include <unordered_map>

namespace lbsnap {
namespace {

// Groups up to this size are searched by walking them; larger ones (many
// VSs on one address) get a port index.
constexpr std::size_t kPortIndexFrom = 32;

void index_ports(VsAddrIndex::AddrGroup& g) {
    if (g.vss.size() < kPortIndexFrom) return;
    g.by_port = std::make_unique<std::unordered_map<int, std::vector<const bahd_config_t*>>>();
    auto& by_port = *g.by_port;
    for (const bahd_config_t* vs : g.vss) {
        by_port[vs->port].push_back(vs);
        for (int p : vs->extraports)
            if (p != vs->port) by_port[p].push_back(vs);
    }
}

}  // namespace

namespace {

std::vector<std::uint32_t> file_order(const Model& m) {
    std::vector<std::uint32_t> order(m.bahd.size());
    std::iota(order.begin(), order.end(), 0);
    // Each VS has a line of its own: no ties.
    std::sort(order.begin(), order.end(),
              [&m](std::uint32_t a, std::uint32_t b) { return m.bahd[a]->line < m.bahd[b]->line; });
    return order;
}

std::unique_ptr<VsIndexes> build_indexes(const Model& m) {
    auto built = std::make_unique<VsIndexes>();
    VsIndexes& idx = *built;
    std::size_t nrs = 0;
    for (const auto& vs : m.bahd) nrs += vs->ismaster ? 0 : vs->rsinfo.size();
    idx.rs_by_id.reserve(nrs);
    idx.in_file_order = file_order(m);
    // Sorted in place (a stable sort would want a second copy of the
    // table); a VS's entries lie in one array, in order.
    auto walk_order = [](const VsIndexes::RsEntry& a, const VsIndexes::RsEntry& b) {
        if (a.id != b.id) return a.id < b.id;
        return a.vs_index != b.vs_index ? a.vs_index < b.vs_index : a.rs < b.rs;
    };
    // Ids mostly grow down the file, so entries taken in file order (each
    // VS's few put in order, its list being sorted by address) are often
    // in walk order already and need no sort of the whole. Of the real
    // servers without an id only the first in walk order is kept: a
    // follow of 0 reaches no other.
    std::optional<VsIndexes::RsEntry> first_without_id;
    for (std::uint32_t i : idx.in_file_order) {
        if (m.bahd[i]->ismaster) continue;
        const std::size_t from = idx.rs_by_id.size();
        for (const rs_info_t& rs : m.bahd[i]->rsinfo) {
            const VsIndexes::RsEntry e{rs.id, i, &rs};
            if (rs.id != 0) idx.rs_by_id.push_back(e);
            else if (!first_without_id || walk_order(e, *first_without_id)) first_without_id = e;
        }
        std::sort(idx.rs_by_id.begin() + static_cast<std::ptrdiff_t>(from), idx.rs_by_id.end(), walk_order);
    }
    if (first_without_id) idx.rs_by_id.insert(idx.rs_by_id.begin(), *first_without_id);
    if (!std::is_sorted(idx.rs_by_id.begin(), idx.rs_by_id.end(), walk_order))
        std::sort(idx.rs_by_id.begin(), idx.rs_by_id.end(), walk_order);
    return built;
}

std::unique_ptr<VsIdIndex> build_id_index(const Model& m) {
    auto built = std::make_unique<VsIdIndex>();
    built->by_id.reserve(m.bahd.size());
    for (const auto& vs : m.bahd) built->by_id.emplace(vs->id, vs.get());
    return built;
}

std::unique_ptr<VsNameIndex> build_name_index(const Model& m) {
    auto built = std::make_unique<VsNameIndex>();
    built->by_name.reserve(m.bahd.size());
    for (const auto& vs : m.bahd) built->by_name.emplace(std::string_view(vs->name), vs.get());
    return built;
}

std::unique_ptr<VsAddrIndex> build_addr_index(const Model& m) {
    auto built = std::make_unique<VsAddrIndex>();
    VsAddrIndex& idx = *built;
    idx.by_addr.reserve(m.bahd.size());
    for (const auto& vs : m.bahd) {
        if (vs->isslave) continue;
        idx.by_addr[std::string_view(vs->vip)].vss.push_back(vs.get());
        // A VS whose two addresses are the same text is one candidate.
        if (std::string_view(vs->vip2) != std::string_view(vs->vip))
            idx.by_addr[std::string_view(vs->vip2)].vss.push_back(vs.get());
    }
    for (auto& [addr, group] : idx.by_addr) index_ports(group);
    return built;
}

}  // namespace

const VsIdIndex& id_index(const Model& m) { return m.id_idx.get([&] { return build_id_index(m); }); }
const VsIndexes& indexes(const Model& m) { return m.idx.get([&] { return build_indexes(m); }); }
const VsNameIndex& name_index(const Model& m) { return m.name_idx.get([&] { return build_name_index(m); }); }
const VsAddrIndex& addr_index(const Model& m) { return m.addr_idx.get([&] { return build_addr_index(m); }); }

const std::vector<const bahd_config_t*>& port_candidates(const VsAddrIndex::AddrGroup& g, int port) {
    static const std::vector<const bahd_config_t*> none;
    if (port == 0 || !g.by_port) return g.vss;
    auto it = g.by_port->find(port);
    return it == g.by_port->end() ? none : it->second;
}

const VsIndexes::RsEntry* first_rs_entry(std::span<const VsIndexes::RsEntry> all, int id) {
    auto it = std::lower_bound(all.begin(), all.end(), id,
                               [](const VsIndexes::RsEntry& e, int want) { return e.id < want; });
    return it == all.end() || it->id != id ? nullptr : &*it;
}

}  // namespace lbsnap
