// The command table, and the report of each command over the loaded model.
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
#include "reports/server_lists.h"
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
        if (const bahd_config_t* vs = named_vs(c, arg)) action(*vs);
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
    CipherSetRecorder cipher_sets(c.log);
    if (!arg) return print_every_vs(c, cipher_sets);
    if (const bahd_config_t* vs = named_vs(c, arg)) print_vs(c, *vs, cipher_sets);
}

void vs_end_points(Ctx& c, const char* arg, bool wantsslonly) {
    one_or_all(c, arg, [&](const bahd_config_t& vs) { list_vs(c, vs, wantsslonly); });
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

void real_servers_of(Ctx& c, const char* arg, bool wantrealname) {
    RsNameTable names;
    one_or_all(c, arg, [&](const bahd_config_t& vs) {
        names.add_rslist(vs, true, nullptr);
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
        if (const bahd_config_t* vs = named_vs(c, arg)) {
            names.add_rslist(*vs, false, vs->proto.c_str());
            gen_snat(c, names, *vs);
        }
    } else {
        // The whole configuration goes into the table before the first rule
        // asks it for duplicates.
        every_vs(c, [&](const bahd_config_t& vs) { names.add_rslist(vs, false, vs.proto.c_str()); });
        every_vs(c, [&](const bahd_config_t& vs) { gen_snat(c, names, vs); });
    }
    if (c.opt.dflt_iface) std::fprintf(c.out, "-o %s ", c.opt.dflt_iface);
    if (c.opt.local_snat) std::fprintf(c.out, "-s ! %s ", c.opt.local_snat);
    std::fprintf(c.out, "--to-source %s\n", c.opt.dflt_snat ? c.opt.dflt_snat : "");
}

void gateways_of(Ctx& c, const char* arg, bool wantv6) {
    one_or_all(c, arg, [&](const bahd_config_t& vs) { list_dflts(c, vs, wantv6); });
}

// ---- certificate reports ----

void old_cert_names(Ctx& c, const char* arg, bool isfips) {
    one_or_all(c, arg, [&](const bahd_config_t& vs) { oldcertname(c, vs, isfips); });
}

void certificate_names(Ctx& c, const char* arg, bool clientcert) {
    one_or_all(c, arg, [&](const bahd_config_t& vs) { print_certs(c, vs, clientcert); });
}

void certificate_users(Ctx& c, bool clientcert) {
    CertList certs;
    every_vs(c, [&](const bahd_config_t& vs) { certs.certname(vs, clientcert); });
    certs.print_certname(c, c.opt.certfile);
}

void certificate_lists(Ctx& c, bool reenc) {
    CertCounts counts;
    every_vs(c, [&](const bahd_config_t& vs) { get_certlists(c, counts, vs, c.opt.certfile, reenc); });
    std::fprintf(c.out, "NADDRS=\"%d\"\n", counts.NADDRS);
    std::fprintf(c.out, "DELLIST=\"%s\"\n", counts.dellist ? counts.dellist->c_str() : "");
    std::fprintf(c.out, "SERVLIST=\"%s\"\n", counts.servlist ? counts.servlist->c_str() : "");
}

void verification_count(Ctx& c) {
    CertCounts counts;
    every_vs(c, [&](const bahd_config_t& vs) { get_3rdcertlists(counts, vs, c.opt.certfile); });
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
    one_or_all(c, arg, [&](const bahd_config_t& vs) { item(w, vs); });
    w.end_array();
}

void json_dump(Ctx& c, const char* arg) {
    CipherSetRecorder cipher_sets(c.log);
    if (!arg) return json_every_vs(c, cipher_sets);
    DumpRun run(&cipher_sets);
    json_one_or_all(c, arg, [&](JsonWriter& w, const bahd_config_t& vs) { json_vs(w, c.m, vs, run); });
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
    one_or_all(c, arg, [&](const bahd_config_t& vs) { names.add_rslist(vs, true, nullptr); });
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

using enum Command;

constexpr std::nullopt_t any = std::nullopt;  // the letter's own command
constexpr OptionField no_arg = no_argument_field;
constexpr Operand vs_or_all = Operand::vs, rule_or_all = Operand::rule,
                  sort_order = Operand::order, no_operand = Operand::none;

// One row per command, in the order of the codes: the command, its letter,
// the command the letter must follow to select it, what the option does with
// its argument, the command argument, the --help line, the text report and
// the JSON report.
constexpr CommandRow kCommandRows[] = {
    {dump, 'v', any, no_arg, vs_or_all, "dump the settings of the VS, or of every VS (default)",
     [](Ctx& c, const char* arg) { dump_of(c, arg); return 0; }, json_dump},
    {rules, 'r', any, no_arg, rule_or_all, "one summary line for the rule, or for every rule",
     [](Ctx& c, const char* arg) { rule_listing(c, arg); return 0; }, json_rule_listing},
    {checks, 'c', any, no_arg, no_operand, "the global health-check and adaptive parameters",
     [](Ctx& c, const char*) { print_checks(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_checks(w, c.m); }},
    {real_servers, 's', any, no_arg, vs_or_all, "the distinct real-server addresses",
     [](Ctx& c, const char* arg) { real_servers_of(c, arg, false); return 0; }, json_real_servers},
    {vs_list, 'l', any, no_arg, vs_or_all, "the VS end points, as proto/address+port",
     [](Ctx& c, const char* arg) { vs_end_points(c, arg, false); return 0; },
     [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, const bahd_config_t& vs) { json_list_vs(w, vs, false); });
     }},
    {ssl_vs_list, 'L', any, no_arg, vs_or_all, "the SSL VS end points, as address,port",
     [](Ctx& c, const char* arg) { vs_end_points(c, arg, true); return 0; },
     [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, const bahd_config_t& vs) { json_list_vs(w, vs, true); });
     }},
    {named_real_servers, 'S', any, no_arg, vs_or_all,
     "the distinct real-server and VS addresses, with names",
     [](Ctx& c, const char* arg) { real_servers_of(c, arg, true); return 0; }},
    {snat, 'N', any, text(&Options::dflt_snat, "addr"), vs_or_all,
     "iptables SNAT rule arguments, addr as source address",
     [](Ctx& c, const char* arg) { snat_rules(c, arg); return 0; }},
    {rule_users, 'R', any, text(&Options::tst_rule_id, "rule"), no_operand,
     "the VSs that use rule", [](Ctx& c, const char*) { print_rule_in_vs(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs(c, w); }},
    {gateways, 'X', any, no_arg, vs_or_all, "IPv4 VS addresses and default gateways",
     [](Ctx& c, const char* arg) { gateways_of(c, arg, false); return 0; }},
    {gateways_v6, 'X', gateways, no_arg, vs_or_all, "IPv6 VS addresses and default gateways",
     [](Ctx& c, const char* arg) { gateways_of(c, arg, true); return 0; }},
    {cert_names, 'C', any, no_arg, vs_or_all, "certificate names of IPv4 SSL VSs",
     [](Ctx& c, const char* arg) { old_cert_names(c, arg, false); return 0; }},
    {cert_names_fips, 'C', cert_names, no_arg, vs_or_all,
     "certificate names of IPv4 SSL VSs, FIPS naming",
     [](Ctx& c, const char* arg) { old_cert_names(c, arg, true); return 0; }},
    {server_certs, 'z', any, no_arg, vs_or_all, "server certificate names",
     [](Ctx& c, const char* arg) { certificate_names(c, arg, false); return 0; }},
    {client_certs, 'z', server_certs, no_arg, vs_or_all,
     "client certificate names of re-encrypting VSs",
     [](Ctx& c, const char* arg) { certificate_names(c, arg, true); return 0; }},
    {reenc_without_cert, 'Z', client_certs, text(&Options::certfile, "name"), no_operand,
     "re-encrypting VSs that do not use client certificate name",
     [](Ctx& c, const char*) {
         every_vs(c, [&](const bahd_config_t& vs) { print_reenc(c, vs, c.opt.certfile); });
         return 0;
     }},
    {cert_users, 'Z', any, text(&Options::certfile, "name"), no_operand,
     "the VSs that use server certificate name",
     [](Ctx& c, const char*) { certificate_users(c, false); return 0; }},
    {client_cert_users, 'Z', server_certs, text(&Options::certfile, "name"), no_operand,
     "the VSs that use client certificate name",
     [](Ctx& c, const char*) { certificate_users(c, true); return 0; }},
    {cert_addable, 'M', any, text(&Options::certfile, "name"), no_operand,
     "the SSL VSs that certificate name could be added to",
     [](Ctx& c, const char*) {
         every_vs(c, [&](const bahd_config_t& vs) { get_addlist(c, vs, c.opt.certfile); });
         return 0;
     }},
    {self_signed, 'm', any, no_arg, no_operand,
     "the SSL VSs whose certificate counts as self-signed",
     [](Ctx& c, const char*) {
         every_vs(c, [&](const bahd_config_t& vs) { get_selfsigned(c, vs); });
         return 0;
     }},
    {cert_lists, 'Q', any, text(&Options::certfile, "name"), no_operand,
     "the SSL VSs that use certificate name, as shell assignments",
     [](Ctx& c, const char*) { certificate_lists(c, false); return 0; }},
    {client_cert_lists, 'q', any, text(&Options::certfile, "name"), no_operand,
     "the same for name as client certificate",
     [](Ctx& c, const char*) { certificate_lists(c, true); return 0; }},
    {vs_follows, 'F', any, number(&Options::followid, "id"), no_operand,
     "the VSs that VS id can follow",
     [](Ctx& c, const char*) {
         if (c.opt.followid) print_follows(c, c.opt.followid);
         return 0;
     }},
    {vs_template, 'T', any, command_argument("VS"), no_operand, "a template of the VS",
     template_of},
    {rs_follows, 'b', any, number(&Options::followid, "id"), no_operand,
     "the real servers that real server id can follow",
     [](Ctx& c, const char*) {
         if (c.opt.followid) print_rsfollows(c, c.opt.followid);
         return 0;
     }},
    {rs_followers, 'B', any, number(&Options::followid, "id"), no_operand,
     "the real servers that follow real server id",
     [](Ctx& c, const char*) {
         if (c.opt.followid) print_hasfollows(c, c.opt.followid);
         return 0;
     }},
    {resolve_name, 'd', any, command_argument("name"), no_operand,
     "resolve one real-server name",
     [](Ctx& c, const char* arg) { resolv_realnames(c, arg); return 0; }},
    {resolve_all, 'D', any, no_arg, no_operand,
     "a change script for DNS-named real servers that moved",
     [](Ctx& c, const char*) { resolv_realnames(c, nullptr); return 0; }},
    {addable_servers, 'A', any, command_argument("VS"), no_operand,
     "the real servers of other VSs that could be added to VS", addable_servers_of},
    {server_counts, 'Y', any, no_arg, sort_order, "every real server with its use counts",
     [](Ctx& c, const char* arg) { server_counts_of(c, arg); return 0; }, json_server_counts},
    {usage_stats, 'E', any, no_arg, no_operand, "the usage-statistics string",
     [](Ctx& c, const char*) { gen_callhomedata(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_callhomedata(c, w); }},
    {verify_cert_count, 'I', any, text(&Options::certfile, "name"), no_operand,
     "how often name is a verification certificate",
     [](Ctx& c, const char*) { verification_count(c); return 0; }},
    {all_rule_users, 'J', any, no_arg, no_operand,
     "every rule that a VS uses, with the VSs that use it",
     [](Ctx& c, const char*) { print_rule_in_vs_all(c); return 0; },
     [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs_all(c, w); }},
    {max_check_time, 'j', any, no_arg, no_operand,
     "the longest check time on the global interval",
     [](Ctx& c, const char*) { print_max_check_time(c); return 0; }},
    {waf_vs, 'w', any, number(&Options::wafid, "id"), no_operand,
     "the VSs in WAF mode, VS id selected",
     [](Ctx& c, const char*) { print_wafvs(c, kInterceptWaf); return 0; }},
    {owasp_vs, 'W', any, number(&Options::wafid, "id"), no_operand,
     "the VSs in OWASP mode, VS id selected",
     [](Ctx& c, const char*) { print_wafvs(c, kInterceptOwasp); return 0; }},
};

constexpr bool rows_in_code_order() {
    for (int i = 0; i < kCommandCount; ++i)
        if (kCommandRows[i].command != static_cast<Command>(i)) return false;
    return true;
}
static_assert(std::size(kCommandRows) == kCommandCount && rows_in_code_order(),
              "one row per command, in the order of the codes");

// A letter selects its own command, or another one of its rows when the
// command so far is that row's `after`: so each letter needs exactly one row
// of its own, no two rows waiting for the same command, and one argument
// shape for getopt.
constexpr bool letters_select_one_row() {
    for (const CommandRow& r : kCommandRows) {
        int own = 0;
        for (const CommandRow& o : kCommandRows) {
            if (o.letter != r.letter) continue;
            if (!o.after) ++own;
            if (&o != &r && o.after && o.after == r.after) return false;
            if (takes_argument(o.option) != takes_argument(r.option)) return false;
        }
        if (own != 1) return false;
    }
    return true;
}
static_assert(letters_select_one_row(), "each letter: one own command, unambiguous follow-ups");

}  // namespace

std::span<const CommandRow> command_rows() { return kCommandRows; }

const CommandRow& command_row(Command command) { return kCommandRows[static_cast<int>(command)]; }

int perform_command(Ctx& c, Command command, const char* arg) {
    const CommandRow& row = command_row(command);
    if (!c.opt.json) return row.text(c, arg);
    // The command line refuses --json for commands without a JSON form.
    if (row.json) row.json(c, arg);
    return 0;
}

}  // namespace lbsnap
