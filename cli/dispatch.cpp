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
        case 0:
            one_or_all(c, arg, [&](bahd_config_t& vs) { print_vs(c, vs); });
            break;

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

        // ---- SNAT rules ----

        // ---- certificate reports ----

        // ---- name resolution and server lists ----

        // ---- WAF list and usage statistics ----

        default:
            break;
    }
    return 0;
}

}  // namespace lbsnap
