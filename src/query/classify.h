// Derived facts about a VS: its character, transparency, outer port and the
// printed forms of its address.
#pragma once

#include <string>

#include "store/model.h"

namespace lbsnap {

// The bits of a VS's character (vip_character).
enum VipCharacter : int {
    kCharHttp = 1,    // needs HTTP processing
    kCharProxy = 2,   // needs the layer-7 proxy beyond plain forwarding
    kCharLayer7 = 4,  // served at layer 7
    kCharIpv6 = 8,    // an IPv6 address is involved
};

int vip_character(const bahd_config_t& cur);
int non_http(const char* per, int src);
int hasv6(const bahd_config_t& cur);
int mixedfamily(const bahd_config_t& cur);
// 1 if the setting L7_TRANSPARENT is "no" (or absent).
int l7_transparent_off();
// The transparency of a VS; l7_off is l7_transparent_off(), read once by
// walks over many VSs.
int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ, int l7_off);
int calc_port(const bahd_config_t& cur);
// The index of the master's first entry that names sub-VS `subvs_id`, or -1.
int subvs_index(const bahd_config_t& master, int subvs_id);
std::string pp_vip(const bahd_config_t& cur, bool vip2);
std::string vs_ip_val(const bahd_config_t& cur);

}  // namespace lbsnap
