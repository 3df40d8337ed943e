// Finding a VS (and a real server) from a user's specification.
#pragma once

#include <netinet/in.h>

#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "context.h"
#include "model.h"

namespace lbsnap {

// Fills m.idx from the VS list; called once after loading.
void build_indexes(Model& m);

bahd_config_t* locate_vip(Ctx& c, const char* name);
int id_to_vip(const char* name);
bahd_config_t* find_vip_id(const Model& m, int id);
bahd_config_t* find_vip_name(const Model& m, const char* name);
int maybe_ip(const char* name);
// The normalised address text, or nullopt after a message on err. rprot may
// be null (no protocol prefix accepted then); so may err when no protocol
// prefix is accepted (no message then).
std::optional<std::string> validate_ip(const char* param, const char** rprot, int* port,
                                       std::FILE* err);
// Room for the printed form of any address.
using AddrText = std::array<char, INET6_ADDRSTRLEN>;
// The same without an allocation: the text is a view into param (a sub-VS
// reference, kept as written) or into buf (the printed address); *addr, if
// given, gets the address (family 0 for a sub-VS reference).
std::optional<std::string_view> validate_ip(const char* param, const char** rprot, int* port,
                                            AddrText& buf, std::FILE* err,
                                            lm_addr* addr = nullptr);
bahd_config_t* find_vip(const Model& m, const char* vip, const char* proto, int port,
                        std::FILE* err);
bahd_config_t* find_vip_cur(const Model& m, const bahd_config_t* current, const char* vip,
                            const char* proto, int port, std::FILE* err);
rs_info_t* find_rs_follow(const Model& m, int id, bahd_config_t** curp);

}  // namespace lbsnap
