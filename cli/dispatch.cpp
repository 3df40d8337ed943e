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

        // ---- template ----

        // ---- follow selectors ----

        // ---- real-server report ----

        // ---- SNAT rules ----

        // ---- certificate reports ----

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
