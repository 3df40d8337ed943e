// The derived VS facts. They go into fields of their own: the fields they
// are derived from keep what the file says, because the configuration check
// and the certificate lists (-M -m -Q -q) read those as written.
#include "derived.h"

#include <cstdint>

#include "addrs.h"
#include "lookup.h"

namespace lbsnap {

namespace {

// The other VS on the address that serves the port FOLLOW: names, else the
// id of FOLLOWVSID:. A VS's own follow depends on no other VS's derived
// facts, so the order of the walk does not matter.
int followed_vs_id(const Model& m, const bahd_config_t& vs) {
    if (vs.follow)
        // With a current VS the search is silent, so it needs no stream.
        if (const bahd_config_t* f =
                find_vip_cur(m, &vs, vs.vip.c_str(), vs.proto.c_str(), vs.follow, nullptr))
            return f->id;
    return vs.followvsid;
}

// An SSL VS without CERTFILE: offers the certificate named after its
// address and the low 16 bits of its port; an address that does not
// convert gives no name.
const char* shown_certfile(TextArena& arena, const bahd_config_t& vs) {
    if (!vs.certfile.empty() || vs.sslaccel.empty()) return vs.certfile.c_str();
    char name[33];
    if (!lm_addr_hash(vs.vip.c_str(), static_cast<std::uint16_t>(vs.port), name)) return "";
    return arena.keep(name);
}

}  // namespace

void derive_facts(Model& m) {
    for (const auto& vs : m.bahd) {
        vs->shown_followvsid = followed_vs_id(m, *vs);
        vs->shown_certfile.set_view(shown_certfile(m.arena, *vs));
    }
}

}  // namespace lbsnap
