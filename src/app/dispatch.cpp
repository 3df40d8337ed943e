// perform_command: one command over the loaded model.
#include <cstdio>
#include <iterator>

#include "app/dispatch.h"
#include "app/vs_argument.h"
#include "lib/exit_status.h"
#include "reports/certs.h"
#include "reports/dump.h"
#include "reports/follow.h"
#include "reports/json.h"
#include "reports/listings.h"
#include "reports/realservers.h"
#include "reports/resolve.h"
#include "reports/rule_output.h"
#include "reports/snat.h"
#include "reports/stats.h"
#include "reports/template.h"

namespace lbsnap {

namespace {

// "one/all": with an argument the located VS (none: named_vs has said why,
// and the command does nothing more), without one every VS in list order.
template <typename Action>
void one_or_all(Ctx& c, const char* arg, Action action) {
    if (arg) {
        if (bahd_config_t* vs = named_vs(c, arg)) action(*vs);
        return;
    }
    for (auto& vs : c.m.bahd) action(*vs);
}

template <typename Action>
void every_vs(Ctx& c, Action action) {
    for (auto& vs : c.m.bahd) action(*vs);
}

// ---- VS dump and listings ----

void dump_of(Ctx& c, const char* arg) {
    FollowEnds ends;
    DumpRun run(ends, c.log);
    one_or_all(c, arg, [&](bahd_config_t& vs) { print_vs(c, vs, run); });
}

void vs_end_points(Ctx& c, const char* arg, int wantsslonly) {
    one_or_all(c, arg, [&](bahd_config_t& vs) { list_vs(c, vs, wantsslonly); });
}

// ---- rule output and template ----

void rule_listing(Ctx& c, const char* arg) {
    if (!arg) {
        for (const auto& rule : c.m.Rules)
            if (rule.get() != c.m.default_rule) print_rule(c, *rule);
        return;
    }
    const Rule_t* rule = find_rule(c.m, arg);
    if (!rule || rule == c.m.default_rule)
        std::fprintf(c.err, "Unknown rule '%s'\n", arg);
    else
        print_rule(c, *rule);
}

int template_of(Ctx& c, const char* arg) {
    if (!arg) {
        std::fprintf(c.err, "No VS specified\n");
        return kExitNoVsGiven;
    }
    const bahd_config_t* vs = named_vs(c, arg);
    if (!vs) {
        std::fprintf(c.err, "Cannot find VS '%s'\n", arg);
        return kExitVsNotFound;
    }
    if (vs->isslave) {
        std::fprintf(c.err, "Cannot generate template from subVS\n");
        return kExitWrongVsKind;
    }
    print_template(c, *vs);
    return 0;
}

// ---- real servers and SNAT ----

void real_servers_of(Ctx& c, const char* arg, int wantrealname) {
    RsNameTable names;
    one_or_all(c, arg, [&](bahd_config_t& vs) {
        names.add_rslist(vs, 1, nullptr);
        if (wantrealname) {
            names.add_oners(vs.vip.c_str(), nullptr, nullptr);
            names.add_oners(vs.vip2.c_str(), nullptr, nullptr);
        }
    });
    names.print_realservers(c, wantrealname);
}

void snat_rules(Ctx& c, const char* arg) {
    RsNameTable names;
    if (arg) {
        if (bahd_config_t* vs = named_vs(c, arg)) {
            names.add_rslist(*vs, 0, vs->proto.c_str());
            gen_snat(c, names, *vs);
        }
    } else {
        // The whole configuration goes into the table before the first rule
        // asks it for duplicates.
        every_vs(c, [&](bahd_config_t& vs) { names.add_rslist(vs, 0, vs.proto.c_str()); });
        every_vs(c, [&](bahd_config_t& vs) { gen_snat(c, names, vs); });
    }
    if (c.opt.dflt_iface) std::fprintf(c.out, "-o %s ", c.opt.dflt_iface);
    if (c.opt.local_snat) std::fprintf(c.out, "-s ! %s ", c.opt.local_snat);
    std::fprintf(c.out, "--to-source %s\n", c.opt.dflt_snat ? c.opt.dflt_snat : "");
}

void gateways_of(Ctx& c, const char* arg, int wantv6) {
    one_or_all(c, arg, [&](bahd_config_t& vs) { list_dflts(c, vs, wantv6); });
}

// ---- certificate reports ----

void old_cert_names(Ctx& c, const char* arg, int isfips) {
    one_or_all(c, arg, [&](bahd_config_t& vs) { oldcertname(c, vs, isfips); });
}

void certificate_names(Ctx& c, const char* arg, int clientcert) {
    one_or_all(c, arg, [&](bahd_config_t& vs) { print_certs(c, vs, clientcert); });
}

void certificate_users(Ctx& c, int clientcert) {
    CertList certs;
    every_vs(c, [&](bahd_config_t& vs) { certs.certname(vs, clientcert); });
    certs.print_certname(c, c.opt.certfile);
}

void certificate_lists(Ctx& c, int reenc) {
    CertCounts counts;
    every_vs(c, [&](bahd_config_t& vs) { get_certlists(c, counts, vs, c.opt.certfile, reenc); });
    std::fprintf(c.out, "NADDRS=\"%d\"\n", counts.NADDRS);
    std::fprintf(c.out, "DELLIST=\"%s\"\n", counts.dellist ? counts.dellist->c_str() : "");
    std::fprintf(c.out, "SERVLIST=\"%s\"\n", counts.servlist ? counts.servlist->c_str() : "");
}

void verification_count(Ctx& c) {
    CertCounts counts;
    every_vs(c, [&](bahd_config_t& vs) { get_3rdcertlists(counts, vs, c.opt.certfile); });
    std::fprintf(c.out, "%d\n", counts.NADDRS);
}

// ---- server lists ----

int addable_servers_of(Ctx& c, const char* arg) {
    // -A always brings its argument; an absent one is simply not found.
    const bahd_config_t* vs = arg ? named_vs(c, arg) : nullptr;
    if (!vs) {
        std::fprintf(c.err, "Cannot find VS '%s'\n", arg ? arg : "");
        return kExitVsNotFound;
    }
    if (vs->ismaster) {
        std::fprintf(c.err, "Cannot generate RS list for master\n");
        return kExitWrongVsKind;
    }
    gen_add_rs_list(c, *vs);
    return 0;
}

void server_counts_of(Ctx& c, const char* sortorder) {
    rs_disp_tab tab;
    every_vs(c, [&](const bahd_config_t& vs) {
        if (!vs.ismaster) add_new_rslist(vs, tab);
    });
    print_realserverlist(c, tab, sortorder);
}

// ---- the JSON forms ----

// The one/all commands give an array of what they select: empty when the
// VS argument names no VS.
template <typename Item>
void json_one_or_all(Ctx& c, const char* arg, Item item) {
    JsonWriter w(c.out);
    w.begin_array();
    one_or_all(c, arg, [&](bahd_config_t& vs) { item(w, vs); });
    w.end_array();
}

void json_dump(Ctx& c, const char* arg) {
    FollowEnds ends;
    DumpRun run(ends, c.log);
    json_one_or_all(c, arg, [&](JsonWriter& w, bahd_config_t& vs) { json_vs(w, c, vs, run); });
}

void json_rule_listing(Ctx& c, const char* arg) {
    JsonWriter w(c.out);
    w.begin_array();
    if (!arg) {
        for (const auto& rule : c.m.Rules)
            if (rule.get() != c.m.default_rule) json_rule(w, c.opt, *rule);
    } else if (const Rule_t* rule = find_rule(c.m, arg); rule && rule != c.m.default_rule) {
        json_rule(w, c.opt, *rule);
    } else {
        std::fprintf(c.err, "Unknown rule '%s'\n", arg);
    }
    w.end_array();
}

void json_real_servers(Ctx& c, const char* arg) {
    RsNameTable names;
    one_or_all(c, arg, [&](bahd_config_t& vs) { names.add_rslist(vs, 1, nullptr); });
    JsonWriter w(c.out);
    json_realservers(w, names);
}

void json_server_counts(Ctx& c, const char* sortorder) {
    rs_disp_tab tab;
    every_vs(c, [&](const bahd_config_t& vs) {
        if (!vs.ismaster) add_new_rslist(vs, tab);
    });
    JsonWriter w(c.out);
    json_realserverlist(w, tab, sortorder);
}

// The report of each command in its text form, which returns the exit
// status, and in its JSON form where it has one. Selection, lookups, messages
// on standard error and writes of the JSON form stay those of the text form.
struct CommandReport {
    Command command;
    int (*text)(Ctx& c, const char* arg);
    void (*json)(Ctx& c, const char* arg) = nullptr;
};

using enum Command;

// One row per command, in the order of the codes.
constexpr CommandReport kReports[] = {
    {dump, [](Ctx& c, const char* arg) { dump_of(c, arg); return 0; }, json_dump},
    {rules, [](Ctx& c, const char* arg) { rule_listing(c, arg); return 0; }, json_rule_listing},
    {checks, [](Ctx& c, const char*) { print_checks(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_checks(w, c.m); }},
    {real_servers, [](Ctx& c, const char* arg) { real_servers_of(c, arg, 0); return 0; },
     json_real_servers},
    {vs_list, [](Ctx& c, const char* arg) { vs_end_points(c, arg, 0); return 0; },
     [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, bahd_config_t& vs) { json_list_vs(w, vs, 0); });
     }},
    {ssl_vs_list, [](Ctx& c, const char* arg) { vs_end_points(c, arg, 1); return 0; },
     [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, bahd_config_t& vs) { json_list_vs(w, vs, 1); });
     }},
    {named_real_servers, [](Ctx& c, const char* arg) { real_servers_of(c, arg, 1); return 0; }},
    {snat, [](Ctx& c, const char* arg) { snat_rules(c, arg); return 0; }},
    {rule_users, [](Ctx& c, const char*) { print_rule_in_vs(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs(c, w); }},
    {gateways, [](Ctx& c, const char* arg) { gateways_of(c, arg, 0); return 0; }},
    {gateways_v6, [](Ctx& c, const char* arg) { gateways_of(c, arg, 1); return 0; }},
    {cert_names, [](Ctx& c, const char* arg) { old_cert_names(c, arg, 0); return 0; }},
    {cert_names_fips, [](Ctx& c, const char* arg) { old_cert_names(c, arg, 1); return 0; }},
    {server_certs, [](Ctx& c, const char* arg) { certificate_names(c, arg, 0); return 0; }},
    {client_certs, [](Ctx& c, const char* arg) { certificate_names(c, arg, 1); return 0; }},
    {reenc_without_cert, [](Ctx& c, const char*) {
         every_vs(c, [&](bahd_config_t& vs) { print_reenc(c, vs, c.opt.certfile); });
         return 0;
     }},
    {cert_users, [](Ctx& c, const char*) { certificate_users(c, 0); return 0; }},
    {client_cert_users, [](Ctx& c, const char*) { certificate_users(c, 1); return 0; }},
    {cert_addable, [](Ctx& c, const char*) {
         every_vs(c, [&](bahd_config_t& vs) { get_addlist(c, vs, c.opt.certfile); });
         return 0;
     }},
    {self_signed, [](Ctx& c, const char*) {
         every_vs(c, [&](bahd_config_t& vs) { get_selfsigned(c, vs); });
         return 0;
     }},
    {cert_lists, [](Ctx& c, const char*) { certificate_lists(c, 0); return 0; }},
    {client_cert_lists, [](Ctx& c, const char*) { certificate_lists(c, 1); return 0; }},
    {vs_follows, [](Ctx& c, const char*) {
         if (c.opt.followid) print_follows(c, c.opt.followid);
         return 0;
     }},
    {vs_template, template_of},
    {rs_follows, [](Ctx& c, const char*) {
         if (c.opt.followid) print_rsfollows(c, c.opt.followid);
         return 0;
     }},
    {rs_followers, [](Ctx& c, const char*) {
         if (c.opt.followid) print_hasfollows(c, c.opt.followid);
         return 0;
     }},
    {resolve_name, [](Ctx& c, const char* arg) { resolv_realnames(c, arg); return 0; }},
    {resolve_all, [](Ctx& c, const char*) { resolv_realnames(c, nullptr); return 0; }},
    {addable_servers, addable_servers_of},
    {server_counts, [](Ctx& c, const char* arg) { server_counts_of(c, arg); return 0; },
     json_server_counts},
    {usage_stats, [](Ctx& c, const char*) { gen_callhomedata(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_callhomedata(c, w); }},
    {verify_cert_count, [](Ctx& c, const char*) { verification_count(c); return 0; }},
    {all_rule_users, [](Ctx& c, const char*) { print_rule_in_vs_all(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs_all(c, w); }},
    {max_check_time, [](Ctx& c, const char*) { print_max_check_time(c); return 0; }},
    {waf_vs, [](Ctx& c, const char*) { print_wafvs(c, kInterceptWaf); return 0; }},
    {owasp_vs, [](Ctx& c, const char*) { print_wafvs(c, kInterceptOwasp); return 0; }},
};

constexpr bool rows_in_code_order() {
    for (int i = 0; i < kCommandCount; ++i)
        if (kReports[i].command != static_cast<Command>(i)) return false;
    return true;
}
static_assert(std::size(kReports) == kCommandCount && rows_in_code_order(),
              "one report row per command, in the order of the codes");

const CommandReport& report_of(Command command) { return kReports[static_cast<int>(command)]; }

}  // namespace

bool has_json_form(Command command) { return report_of(command).json != nullptr; }

int perform_command(Ctx& c, Command command, const char* arg) {
    const CommandReport& report = report_of(command);
    if (!c.opt.json) return report.text(c, arg);
    // The command line refuses --json for commands without a JSON form.
    if (report.json) report.json(c, arg);
    return 0;
}

}  // namespace lbsnap
