// perform_command: one command over the loaded model.
#include <cstdio>

#include "command_line.h"
#include "lookup.h"
#include "reports.h"

namespace lbsnap {

namespace {

// "one/all": with an argument the located VS (none: locate_vip has said why,
// and the command does nothing more), without one every VS in list order.
template <typename Action>
void one_or_all(Ctx& c, const char* arg, Action action) {
    if (arg) {
        if (bahd_config_t* vs = locate_vip(c, arg)) action(*vs);
        return;
    }
    for (auto& vs : c.m.bahd) action(*vs);
}

template <typename Action>
void every_vs(Ctx& c, Action action) {
    for (auto& vs : c.m.bahd) action(*vs);
}

}  // namespace

int perform_command(Ctx& c, int operation, const char* arg) {
    switch (operation) {
        // ---- VS dump ----
        case 0: {
            FollowEnds ends;
            one_or_all(c, arg, [&](bahd_config_t& vs) { print_vs(c, vs, ends); });
            break;
        }

        // ---- listings ----
        case 2:
            print_checks(c);
            break;
        case 4:
        case 5:
            one_or_all(c, arg, [&](bahd_config_t& vs) { list_vs(c, vs, operation == 5); });
            break;
        case 9:
        case 10:
            one_or_all(c, arg, [&](bahd_config_t& vs) { list_dflts(c, vs, operation == 10); });
            break;

        // ---- rule output ----
        case 1:
            if (arg) {
                const Rule_t* rule = find_rule(c.m, arg);
                if (!rule || rule == c.m.defRule_id)
                    std::fprintf(c.err, "Unknown rule '%s'\n", arg);
                else
                    print_rule(c, *rule);
            } else {
                for (const auto& rule : c.m.Rules)
                    if (rule.get() != c.m.defRule_id) print_rule(c, *rule);
            }
            break;
        case 8: print_rule_in_vs(c); break;
        case 32: print_rule_in_vs_all(c); break;

        // ---- template ----
        case 23: {
            if (!arg) {
                std::fprintf(c.err, "No VS specified\n");
                return 1;
            }
            const bahd_config_t* vs = locate_vip(c, arg);
            if (!vs) {
                std::fprintf(c.err, "Cannot find VS '%s'\n", arg);
                return 2;
            }
            if (vs->isslave) {
                std::fprintf(c.err, "Cannot generate template from subVS\n");
                return 3;
            }
            print_template(c, *vs);
            break;
        }

        // ---- follow selectors ----
        case 22:
            if (c.opt.followid) print_follows(c, c.opt.followid);
            break;
        case 24:
            if (c.opt.followid) print_rsfollows(c, c.opt.followid);
            break;
        case 25:
            if (c.opt.followid) print_hasfollows(c, c.opt.followid);
            break;

        // ---- real-server report ----
        case 3:
        case 6: {
            RsNameTable names;
            one_or_all(c, arg, [&](bahd_config_t& vs) {
                names.add_rslist(vs, 1, nullptr);
                if (operation == 6) {
                    names.add_oners(vs.vip.c_str(), nullptr, nullptr);
                    names.add_oners(vs.vip2.c_str(), nullptr, nullptr);
                }
            });
            names.print_realservers(c, operation == 6);
            break;
        }

        // ---- SNAT rules ----
        case 7: {
            RsNameTable names;
            if (arg) {
                if (bahd_config_t* vs = locate_vip(c, arg)) {
                    names.add_rslist(*vs, 0, vs->proto.c_str());
                    gen_snat(c, names, *vs);
                }
            } else {
                // The whole configuration goes into the table before the
                // first rule asks it for duplicates.
                every_vs(c, [&](bahd_config_t& vs) { names.add_rslist(vs, 0, vs.proto.c_str()); });
                every_vs(c, [&](bahd_config_t& vs) { gen_snat(c, names, vs); });
            }
            if (c.opt.dflt_iface) std::fprintf(c.out, "-o %s ", c.opt.dflt_iface);
            if (c.opt.local_snat) std::fprintf(c.out, "-s ! %s ", c.opt.local_snat);
            std::fprintf(c.out, "--to-source %s\n", c.opt.dflt_snat ? c.opt.dflt_snat : "");
            break;
        }

        // ---- certificate reports ----
        case 11:
        case 12:
            one_or_all(c, arg, [&](bahd_config_t& vs) { oldcertname(c, vs, operation == 12); });
            break;
        case 13:
        case 14:
            one_or_all(c, arg, [&](bahd_config_t& vs) { print_certs(c, vs, operation == 14); });
            break;
        case 15:
            every_vs(c, [&](bahd_config_t& vs) { print_reenc(c, vs, c.opt.certfile); });
            break;
        case 16:
        case 17: {
            CertList certs;
            every_vs(c, [&](bahd_config_t& vs) { certs.certname(vs, operation == 17); });
            certs.print_certname(c, c.opt.certfile);
            break;
        }
        case 18:
            every_vs(c, [&](bahd_config_t& vs) { get_addlist(c, vs, c.opt.certfile); });
            break;
        case 19:
            every_vs(c, [&](bahd_config_t& vs) { get_selfsigned(c, vs); });
            break;
        case 20:
        case 21: {
            CertCounts counts;
            every_vs(c, [&](bahd_config_t& vs) {
                get_certlists(c, counts, vs, c.opt.certfile, operation == 21);
            });
            std::fprintf(c.out, "NADDRS=\"%d\"\n", counts.NADDRS);
            std::fprintf(c.out, "DELLIST=\"%s\"\n", counts.dellist ? counts.dellist->c_str() : "");
            std::fprintf(c.out, "SERVLIST=\"%s\"\n", counts.servlist ? counts.servlist->c_str() : "");
            break;
        }
        case 31: {
            CertCounts counts;
            every_vs(c, [&](bahd_config_t& vs) { get_3rdcertlists(counts, vs, c.opt.certfile); });
            std::fprintf(c.out, "%d\n", counts.NADDRS);
            break;
        }

        // ---- name resolution and server lists ----
        case 26:
            resolv_realnames(c, arg);
            break;
        case 27:
            resolv_realnames(c, nullptr);
            break;
        case 28: {
            // -A always brings its argument; an absent one is simply not found.
            const bahd_config_t* vs = arg ? locate_vip(c, arg) : nullptr;
            if (!vs) {
                std::fprintf(c.err, "Cannot find VS '%s'\n", arg ? arg : "");
                return 2;
            }
            if (vs->ismaster) {
                std::fprintf(c.err, "Cannot generate RS list for master\n");
                return 3;
            }
            gen_add_rs_list(c, *vs);
            break;
        }
        case 29: {
            rs_disp_tab tab;
            every_vs(c, [&](const bahd_config_t& vs) {
                if (!vs.ismaster) add_new_rslist(vs, tab);
            });
            print_realserverlist(c, tab, arg);
            break;
        }

        // ---- WAF list and usage statistics ----
        case 30:
            gen_callhomedata(c);
            break;
        case 33:
            print_max_check_time(c);
            break;
        case 34:
            print_wafvs(c, 1);
            break;
        case 35:
            print_wafvs(c, 2);
            break;

        default:
            break;
    }
    return 0;
}

}  // namespace lbsnap
