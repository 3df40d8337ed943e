// Facts the reports derive from a VS of the loaded model. Each depends on
// the configuration alone, never on what a report did before, and is worked
// out where a report needs it: computed for every VS after loading, they
// would cost every command a walk over the whole model that few use. The
// fields they come from keep what the file says, because the configuration
// check and the certificate lists (-M -m -Q -q) read those as written.
#pragma once

#include "store/model.h"

namespace lbsnap {

// The VS a VS follows, by id: the other VS on the address that serves the
// port FOLLOW: names, else the id of FOLLOWVSID:.
struct FollowedVs {
    int id;
    bool port_unserved;  // FOLLOW: names a port no other VS on the address serves
};
FollowedVs followed_vs(const Model& m, const bahd_config_t& vs);
// The id FOLLOWVSID: shows: followed_vs(m, vs).id.
int shown_followvsid(const Model& m, const bahd_config_t& vs);

// The certificate name an SSL VS offers: CERTFILE:, or without one the name
// its address and the low 16 bits of its port give (none when the address
// does not convert). Other VSs: CERTFILE: as written.
class ShownCertfile {
public:
    explicit ShownCertfile(const bahd_config_t& vs);

    const char* c_str() const { return derived_ ? hash_ : text_; }
    bool empty() const { return *c_str() == '\0'; }
    // True when the name is derived (and lives in this object).
    bool derived() const { return derived_; }

private:
    const char* text_;
    bool derived_ = false;
    char hash_[33];
};

}  // namespace lbsnap
