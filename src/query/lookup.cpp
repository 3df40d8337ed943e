// Finding a VS (and a real server) from what a user names it by. Every
// search answers as a walk of the VS list from its head would, through the
// indexes built once after loading.
#include "query/lookup.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "lib/config_int.h"
#include "store/indexes.h"

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

}  // namespace

int id_to_vip(const char* name) {
    if (!std::isdigit(static_cast<unsigned char>(name[0]))) return -1;
    char* end = nullptr;
    std::strtol(name, &end, 10);
    if (*end) return -1;
    // Ids beyond int clamp like the configuration's own "VID:" values.
    int id = config_int(name);
    return id >= 1 ? id : -1;
}

const bahd_config_t* find_vip_id(const Model& m, int id) {
    const auto& by_id = id_index(m).by_id;
    auto it = by_id.find(id);
    return it == by_id.end() ? nullptr : it->second;
}

const bahd_config_t* find_vip_name(const Model& m, const char* name) {
    const auto& by_name = name_index(m).by_name;
    auto it = by_name.find(std::string_view(name));
    return it == by_name.end() ? nullptr : it->second;
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
                                            AddrText& buf, LookupError* error) {
    const char* text = param;
    if (rprot) {
        *rprot = nullptr;
        if (const char* slash = std::strchr(param, '/')) {
            *rprot = protocol_word(std::string_view(param, slash - param));
            if (!*rprot) {
                *port = 0;
                *error = {LookupFailure::invalid_protocol};
                return std::nullopt;
            }
            text = slash + 1;
        }
    }
    auto address = normal_address(text, port, buf);
    if (!address) *error = {LookupFailure::invalid_address, text};
    return address;
}

VsLookup find_vip_cur(const Model& m, const bahd_config_t* current, std::string_view vip,
                      const char* proto, int port) {
    const bahd_config_t* match = nullptr;
    const auto& by_addr = addr_index(m).by_addr;
    auto it = by_addr.find(vip);
    if (it != by_addr.end()) {
        // The candidates are the non-sub VSs that hold vip, in list order.
        for (const bahd_config_t* vs : port_candidates(it->second, port)) {
            if (vs == current) continue;
            if (port != 0 && !port_matches(*vs, port)) continue;
            if (proto && strcasecmp(proto, vs->proto.c_str()) != 0) continue;
            if (!match) {
                match = vs;
                continue;
            }
            if (current) return {match};
            return {nullptr, {LookupFailure::not_fully_qualified}};
        }
    }
    if (!match && !current) return {nullptr, {LookupFailure::unknown_vs}};
    return {match};
}

VsLookup find_vip(const Model& m, std::string_view vip, const char* proto, int port) {
    return find_vip_cur(m, nullptr, vip, proto, port);
}

VsLookup locate_vip(const Model& m, const char* name) {
    if (int id = id_to_vip(name); id >= 1) {
        if (const bahd_config_t* vs = find_vip_id(m, id)) return {vs};
        return {nullptr, {LookupFailure::unknown_vip}};
    }
    if (const bahd_config_t* vs = find_vip_name(m, name)) return {vs};
    if (!maybe_ip(name)) return {nullptr, {LookupFailure::unknown_vip}};
    const char* prot = nullptr;
    int port = 0;
    AddrText buf;
    LookupError error;
    auto addr = validate_ip(name, &prot, &port, buf, &error);
    if (!addr) return {nullptr, error};
    return find_vip(m, *addr, prot, port);
}

const rs_info_t* find_rs_follow(const Model& m, int id, const bahd_config_t** curp) {
    const VsIndexes::RsEntry* e = first_rs_entry(indexes(m).rs_by_id, id);
    if (!e) return nullptr;
    if (curp) *curp = m.bahd[e->vs_index].get();
    return e->rs;
}

}  // namespace lbsnap
