// The derived VS facts.
#include "query/derived.h"

#include <cstdint>

#include "lib/addrs.h"
#include "query/lookup.h"

namespace lbsnap {

FollowedVs followed_vs(const Model& m, const bahd_config_t& vs) {
    if (!vs.follow) return FollowedVs{vs.followvsid, false};
    if (const bahd_config_t* f = find_vip_cur(m, &vs, vs.vip.c_str(), vs.proto.c_str(), vs.follow).vs)
        return FollowedVs{f->id, false};
    return FollowedVs{vs.followvsid, true};
}

int shown_followvsid(const Model& m, const bahd_config_t& vs) { return followed_vs(m, vs).id; }

ShownCertfile::ShownCertfile(const bahd_config_t& vs) : text_(vs.certfile.c_str()) {
    if (!vs.certfile.empty() || vs.sslaccel.empty()) return;
    if (lm_addr_hash(vs.vip.c_str(), static_cast<std::uint16_t>(vs.port), hash_))
        derived_ = true;
}

}  // namespace lbsnap
