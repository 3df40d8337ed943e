// SNAT rules.
#pragma once


#include "reports/realservers.h"
#include "reports/report_context.h"

namespace lbsnap {

void gen_snat(Ctx& c, const RsNameTable& names, const bahd_config_t& cur);
void print_snat_iptables(Ctx& c, const RsNameTable& names, const bahd_config_t& cur,
                         const bahd_config_t& rscur);

}  // namespace lbsnap
