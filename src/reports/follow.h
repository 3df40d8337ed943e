// Follow selectors.
#pragma once

#include "query/follow_chain.h"
#include "reports/report_context.h"

namespace lbsnap {

// Persistence mode number of a VS: index in l7_persist_types, -1 for an
// unknown word; without a word 1 if it has a persistence time-out, else 0.
int map_persist(const bahd_config_t& vs);
// 1 for the persistence modes that include the client address.
int has_src_addr(int mode);
void print_follows(Ctx& c, int followid);
// Whether letting `me` follow a candidate would close a loop of follows,
// for every candidate of one edited real server.
class LoopTest {
public:
    LoopTest(const Model& m, const rs_info_t& me) : chains_(m, ZeroFollow::looked_up, &me) {}
    bool refused(const rs_info_t& candidate);

private:
    RsFollowChains chains_;
};
void print_rsfollows(Ctx& c, int rsid);
void print_hasfollows(Ctx& c, int rsid);

}  // namespace lbsnap
