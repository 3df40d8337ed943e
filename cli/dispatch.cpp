// perform_command: one command over the loaded model.
#include <cstdio>

#include "command_line.h"
#include "vs_argument.h"
#include "reports.h"
#include "reports/json.h"

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

void dump(Ctx& c, const char* arg) {
    FollowEnds ends;
    DumpRun run(ends);
    one_or_all(c, arg, [&](bahd_config_t& vs) { print_vs(c, vs, run); });
}

// ---- rule output and template ----

void rule_listing(Ctx& c, const char* arg) {
    if (!arg) {
        for (const auto& rule : c.m.Rules)
            if (rule.get() != c.m.defRule_id) print_rule(c, *rule);
        return;
    }
    const Rule_t* rule = find_rule(c.m, arg);
    if (!rule || rule == c.m.defRule_id)
        std::fprintf(c.err, "Unknown rule '%s'\n", arg);
    else
        print_rule(c, *rule);
}

int template_of(Ctx& c, const char* arg) {
    if (!arg) {
        std::fprintf(c.err, "No VS specified\n");
        return 1;
    }
    const bahd_config_t* vs = named_vs(c, arg);
    if (!vs) {
        std::fprintf(c.err, "Cannot find VS '%s'\n", arg);
        return 2;
    }
    if (vs->isslave) {
        std::fprintf(c.err, "Cannot generate template from subVS\n");
        return 3;
    }
    print_template(c, *vs);
    return 0;
}

// ---- real servers and SNAT ----

void real_servers(Ctx& c, const char* arg, int wantrealname) {
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

void snat(Ctx& c, const char* arg) {
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

// ---- certificate reports ----

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

int addable_servers(Ctx& c, const char* arg) {
    // -A always brings its argument; an absent one is simply not found.
    const bahd_config_t* vs = arg ? named_vs(c, arg) : nullptr;
    if (!vs) {
        std::fprintf(c.err, "Cannot find VS '%s'\n", arg ? arg : "");
        return 2;
    }
    if (vs->ismaster) {
        std::fprintf(c.err, "Cannot generate RS list for master\n");
        return 3;
    }
    gen_add_rs_list(c, *vs);
    return 0;
}

void server_counts(Ctx& c, const char* sortorder) {
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
    DumpRun run(ends);
    json_one_or_all(c, arg, [&](JsonWriter& w, bahd_config_t& vs) { json_vs(w, c, vs, run); });
}

void json_rule_listing(Ctx& c, const char* arg) {
    JsonWriter w(c.out);
    w.begin_array();
    if (!arg) {
        for (const auto& rule : c.m.Rules)
            if (rule.get() != c.m.defRule_id) json_rule(w, c.opt, *rule);
    } else if (const Rule_t* rule = find_rule(c.m, arg); rule && rule != c.m.defRule_id) {
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

// The commands with a JSON form, and that form. Selection, lookups, messages
// on standard error and writes stay those of the text form.
struct JsonCommand {
    int operation;
    void (*run)(Ctx& c, const char* arg);
};

constexpr JsonCommand kJsonCommands[] = {
    {0, json_dump},
    {1, json_rule_listing},
    {2, [](Ctx& c, const char*) { JsonWriter w(c.out); json_checks(w, c.m); }},
    {3, json_real_servers},
    {4, [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, bahd_config_t& vs) { json_list_vs(w, vs, 0); });
     }},
    {5, [](Ctx& c, const char* arg) {
         json_one_or_all(c, arg, [](JsonWriter& w, bahd_config_t& vs) { json_list_vs(w, vs, 1); });
     }},
    {8, [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs(c, w); }},
    {29, json_server_counts},
    {30, [](Ctx& c, const char*) { JsonWriter w(c.out); json_callhomedata(c, w); }},
    {32, [](Ctx& c, const char*) { JsonWriter w(c.out); json_rule_in_vs_all(c, w); }},
};

const JsonCommand* json_command(int operation) {
    for (const JsonCommand& jc : kJsonCommands)
        if (jc.operation == operation) return &jc;
    return nullptr;
}

}  // namespace

bool has_json_form(int operation) { return json_command(operation) != nullptr; }

int perform_command(Ctx& c, int operation, const char* arg) {
    const Options& o = c.opt;
    if (o.json) {
        // The command line refuses --json for commands without a JSON form.
        if (const JsonCommand* jc = json_command(operation)) jc->run(c, arg);
        return 0;
    }
    switch (operation) {
        case 0: dump(c, arg); break;
        case 1: rule_listing(c, arg); break;
        case 2: print_checks(c); break;
        case 3:
        case 6: real_servers(c, arg, operation == 6); break;
        case 4:
        case 5:
            one_or_all(c, arg, [&](bahd_config_t& vs) { list_vs(c, vs, operation == 5); });
            break;
        case 7: snat(c, arg); break;
        case 8: print_rule_in_vs(c); break;
        case 9:
        case 10:
            one_or_all(c, arg, [&](bahd_config_t& vs) { list_dflts(c, vs, operation == 10); });
            break;
        case 11:
        case 12:
            one_or_all(c, arg, [&](bahd_config_t& vs) { oldcertname(c, vs, operation == 12); });
            break;
        case 13:
        case 14:
            one_or_all(c, arg, [&](bahd_config_t& vs) { print_certs(c, vs, operation == 14); });
            break;
        case 15: every_vs(c, [&](bahd_config_t& vs) { print_reenc(c, vs, o.certfile); }); break;
        case 16:
        case 17: certificate_users(c, operation == 17); break;
        case 18: every_vs(c, [&](bahd_config_t& vs) { get_addlist(c, vs, o.certfile); }); break;
        case 19: every_vs(c, [&](bahd_config_t& vs) { get_selfsigned(c, vs); }); break;
        case 20:
        case 21: certificate_lists(c, operation == 21); break;
        case 22:
            if (o.followid) print_follows(c, o.followid);
            break;
        case 23: return template_of(c, arg);
        case 24:
            if (o.followid) print_rsfollows(c, o.followid);
            break;
        case 25:
            if (o.followid) print_hasfollows(c, o.followid);
            break;
        case 26: resolv_realnames(c, arg); break;
        case 27: resolv_realnames(c, nullptr); break;
        case 28: return addable_servers(c, arg);
        case 29: server_counts(c, arg); break;
        case 30: gen_callhomedata(c); break;
        case 31: verification_count(c); break;
        case 32: print_rule_in_vs_all(c); break;
        case 33: print_max_check_time(c); break;
        case 34: print_wafvs(c, 1); break;
        case 35: print_wafvs(c, 2); break;
        default: break;
    }
    return 0;
}

}  // namespace lbsnap
