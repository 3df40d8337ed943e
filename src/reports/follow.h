// Follow selectors.
#pragma once

#include <cstdint>
#include <vector>

#include "reports/report_context.h"

namespace lbsnap {

// Persistence mode number of a VS: index in l7_persist_types, -1 for an
// unknown word; without a word 1 if it has a persistence time-out, else 0.
int map_persist(const bahd_config_t& vs);
// 1 for the persistence modes that include the client address.
int has_src_addr(int mode);
void print_follows(Ctx& c, int followid);
// 1 if letting `me` follow `candidate` would close a follow cycle.
int detect_loop(const Model& m, const rs_info_t& me, const rs_info_t& candidate);

// detect_loop for every candidate of one edited entry, in time linear in the
// entries visited overall: where each follow chain leads is worked out once
// and remembered, instead of walking it again for every candidate.
class LoopTest {
public:
    LoopTest(const Model& m, const rs_info_t& me) : m_(m), me_(me) {}
    bool refused(const rs_info_t& candidate);

private:
    struct Fate {
        bool reaches_me;  // the chain meets `me` before it repeats an entry
        bool on_cycle;    // the entry lies on a cycle of follows
    };
    Fate fate(const rs_info_t& e);
    // A chain goes on at the first entry of an id: such entries are named by
    // their place in the model's index of entries by id.
    Fate fate_at(std::size_t place);
    std::size_t first_place(int id) const;

    const Model& m_;
    const rs_info_t& me_;
    // What is known of the entry at each place: a byte per entry, where a
    // map of entries costs a heap node each.
    std::vector<std::uint8_t> known_;
};
void print_rsfollows(Ctx& c, int rsid);
void print_hasfollows(Ctx& c, int rsid);

}  // namespace lbsnap
