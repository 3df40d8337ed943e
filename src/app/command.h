// What the command line asks for: the command to run and its options.
#pragma once

#include "reports/options.h"

namespace lbsnap {

// The commands, in the order of their codes 0 to 35 (the manual gives the
// codes); the option that selects each one is noted beside it.
enum class Command {
    dump,                // -v, and without a command option
    rules,               // -r
    checks,              // -c
    real_servers,        // -s
    vs_list,             // -l
    ssl_vs_list,         // -L
    named_real_servers,  // -S
    snat,                // -N
    rule_users,          // -R
    gateways,            // -X
    gateways_v6,         // -XX
    cert_names,          // -C
    cert_names_fips,     // -CC
    server_certs,        // -z
    client_certs,        // -zz
    reenc_without_cert,  // -zz -Z
    cert_users,          // -Z
    client_cert_users,   // -z -Z
    cert_addable,        // -M
    self_signed,         // -m
    cert_lists,          // -Q
    client_cert_lists,   // -q
    vs_follows,          // -F
    vs_template,         // -T
    rs_follows,          // -b
    rs_followers,        // -B
    resolve_name,        // -d
    resolve_all,         // -D
    addable_servers,     // -A
    server_counts,       // -Y
    usage_stats,         // -E
    verify_cert_count,   // -I
    all_rule_users,      // -J
    max_check_time,      // -j
    waf_vs,              // -w
    owasp_vs,            // -W
};
inline constexpr int kCommandCount = static_cast<int>(Command::owasp_vs) + 1;

// The long options that print something about the tool itself instead of
// running it.
enum class About { nothing, help, version };

// What the command line asks for.
struct CommandLine {
    Options opt;
    Command cmd = Command::dump;
    const char* arg = nullptr;
    bool check = false;  // --check: test the configuration instead of a command
    bool strict = false; // --strict: a check's warnings count for its status
    // --diff OLD NEW [VS]: compare two configurations instead of a command.
    const char* diff_old = nullptr;
    const char* diff_new = nullptr;
    About about = About::nothing;  // --help, --version
    // Why a long option's value cannot be taken; said once parsing is done.
    const char* refusal = nullptr;
};

}  // namespace lbsnap
