// Listings.
#pragma once


#include "reports/report_context.h"

namespace lbsnap {

void list_vs(Ctx& c, const bahd_config_t& cur, bool wantsslonly);
// 1 for the VSs that -L lists: TCP, SSL-accelerated, not reverse.
bool is_ssl_endpoint(const bahd_config_t& cur);
void list_dflts(Ctx& c, const bahd_config_t& cur, bool wantv6);
void print_checks(Ctx& c);

}  // namespace lbsnap
