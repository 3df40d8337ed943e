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

        // ---- listings ----

        // ---- rule output ----

        // ---- template ----

        // ---- follow selectors ----

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
