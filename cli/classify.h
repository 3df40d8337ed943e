// Derived facts about a VS: its character, transparency, outer port and the
// printed forms of its address.
#pragma once

#include <string>

#include "model.h"

namespace lbsnap {

int vip_character(const bahd_config_t& cur);
int non_http(const char* per, int src);
int hasv6(const bahd_config_t& cur);
int mixedfamily(const bahd_config_t& cur);
int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ);
// 1 if the setting L7_TRANSPARENT is "no" (or absent).
int l7_transparent_off();
// calc_transparent with the setting read beforehand, for walks over many VSs.
int calc_transparent(const bahd_config_t& cur, const bahd_config_t* ms, int typ, int l7_off);
int calc_port(const bahd_config_t& cur);
std::string pp_vip(const bahd_config_t& cur, int vip2);
std::string vs_ip_val(const bahd_config_t& cur);

}  // namespace lbsnap
