// Finding a VS (and a real server) from what a user names it by. The
// searches say why they found nothing rather than telling the user: what
// is printed, and where, is the caller's.
#pragma once

#include <optional>
#include <string_view>

#include "lib/normal_address.h"
#include "store/model.h"

namespace lbsnap {

// Why a search names no VS.
enum class LookupFailure {
    none,
    unknown_vip,          // the argument is no id, name or address of a VS
    invalid_protocol,     // the text before "/" is neither tcp nor udp
    invalid_address,      // the address text is no address
    not_fully_qualified,  // more than one VS matches the address
    unknown_vs,           // no VS matches the address
};

struct LookupError {
    LookupFailure failure = LookupFailure::none;
    // invalid_address: the address text, without any protocol prefix (a
    // view into the searched text, which runs to its end).
    const char* refused = nullptr;
};

// The VS found, or null and why.
struct VsLookup {
    const bahd_config_t* vs = nullptr;
    LookupError error = {};
};

VsLookup locate_vip(const Model& m, const char* name);
int id_to_vip(const char* name);
const bahd_config_t* find_vip_id(const Model& m, int id);
const bahd_config_t* find_vip_name(const Model& m, const char* name);
int maybe_ip(const char* name);
// The normalised address text of an address argument: a view into
// param (a sub-VS reference, kept as written) or into buf (the printed
// address). rprot may be null: then no protocol prefix is accepted. On
// failure nullopt, and *error says why (invalid_protocol or
// invalid_address).
std::optional<std::string_view> validate_ip(const char* param, const char** rprot, int* port,
                                            AddrText& buf, LookupError* error);
VsLookup find_vip(const Model& m, std::string_view vip, const char* proto, int port);
// With a current VS the first other match is the answer however many more
// there are, and no match is no failure.
VsLookup find_vip_cur(const Model& m, const bahd_config_t* current, std::string_view vip,
                      const char* proto, int port);
const rs_info_t* find_rs_follow(const Model& m, int id, const bahd_config_t** curp);

}  // namespace lbsnap
