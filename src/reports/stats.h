// WAF list and usage statistics.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "reports/realservers.h"
#include "reports/report_context.h"

namespace lbsnap {

void print_wafvs(Ctx& c, InterceptMode type);
// Append the client-side (inauth) or server-side (outauth) mode name for
// value to names, once; an out-of-range value is logged instead.
void set_inauth_data(Ctx& c, std::string& clientAuth, int value);
void set_outauth_data(Ctx& c, std::string& serverAuth, int value);
struct callhome_stats {
    int vs_created = 0;
    int rs_available = 0;
    int wafvs_cnt = 0;
    int owaspvs_cnt = 0;
    int espvs_cnt = 0;
    int sdn_inuse = 0;
};

// One entry of waf_info or owasp_info: the VS, or for a sub-VS its master
// and the sub-VS itself; names may be empty.
struct WafEntry {
    int vsid = 0;
    std::string vsn;
    std::string vsip;
    std::optional<int> subvsid;  // set for a sub-VS
    std::string subvsn;
    std::string wrules;
};

// Everything one -E run gathers. The WAF and OWASP lists keep every entry
// and entries are not cut at any length: the line reports the whole
// configuration rather than its first 256 VSs.
struct CallhomeData {
    callhome_stats stats;
    std::vector<WafEntry> waf_info;
    std::vector<WafEntry> owasp_info;
    std::string clientAuth;  // names, each followed by ";"
    std::string serverAuth;
    int ocsp_flag = 0;
    RsNameTable rsnames;
};

// The walk of command 30 over every VS.
CallhomeData collect_callhomedata(Ctx& c);
// Command 30: the usage-statistics line (no trailing newline).
void gen_callhomedata(Ctx& c);
int get_vs_min_interval(const Model& m, const bahd_config_t& vdata);
// Command 33: the largest get_vs_min_interval over VSs without their own
// check interval.
void print_max_check_time(Ctx& c);

}  // namespace lbsnap
