// The one place that tells the user why a VS argument named no VS.
#include "app/vs_argument.h"

namespace lbsnap {

void print_lookup_failure(std::FILE* err, const char* name, const LookupError& error) {
    switch (error.failure) {
        case LookupFailure::none: return;
        case LookupFailure::not_fully_qualified: std::fprintf(err, "VS not fully qualified\n"); return;
        case LookupFailure::unknown_vs: std::fprintf(err, "Unknown VS\n"); return;
        // A refused address text is followed by the whole argument.
        case LookupFailure::invalid_protocol: std::fprintf(err, "Invalid protocol specifier\n"); break;
        case LookupFailure::invalid_address:
            std::fprintf(err, "Invalid IP spec: '%s'\n", error.refused);
            break;
        case LookupFailure::unknown_vip: break;
    }
    std::fprintf(err, "Unknown VIP <%s>\n", name);
}

const bahd_config_t* named_vs(Ctx& c, const char* name) {
    VsLookup found = locate_vip(c.m, name);
    if (!found.vs) print_lookup_failure(c.err, name, found.error);
    return found.vs;
}

}  // namespace lbsnap
