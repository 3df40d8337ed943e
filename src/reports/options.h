// The options of one run, set while the command line is parsed and
// read-only afterwards.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace lbsnap {

// What -t (given once or twice) leaves in the rule listing.
enum RuleTypeFilter : int { kAllRules, kOnlyContentRules, kOnlyOtherRules };

struct Options {
    // -f; unset means the fixed path /corvane/bahd.conf under the root.
    std::optional<std::string> bahd_file;
    int tflag = 0;     // -t (counts): rule type filter of print_rule
    int aflag = 0;     // -a (counts): raw text in the VS dump
    int Vflag = 0;     // -V (counts): template version line
    int ipv6flag = 0;  // -6: SNAT rules for IPv6
    int hashsm = 0;    // -H: self-signed test under /tmp/certs
    const char* dflt_snat = nullptr;   // -N
    const char* local_snat = nullptr;  // -n
    const char* dflt_iface = nullptr;  // -o
    const char* tst_rule_id = nullptr; // -R
    const char* certfile = nullptr;    // -Z -M -Q -q -I
    int followid = 0;                  // -F -b -B
    int wafid = 0;                     // -w -W
    bool json = false;                 // --json: the report in JSON form
    // --resolve-timeout: how long -S, -D and -d wait for the resolver in all.
    std::optional<std::chrono::duration<double>> resolve_timeout;
};

}  // namespace lbsnap
