#include <gtest/gtest.h>

#include <string>

#include "config_text.h"
#include "reports/dump.h"

namespace lbsnap {
namespace {

// Real servers 1 -> 2 -> 3 -> 4 -> 2 (a cycle through 2, 3, 4) and 5 -> 3,
// each in a VS of its own id. A walk stops at the first repeat, so each id
// of the cycle ends at its predecessor's VS, whichever walk met it first.
const char* const follow_graph =
    "<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.1:80 -I 1 -f 2\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 2\nVIP: 10.0.0.2\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.2:80 -I 2 -f 3\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 3\nVIP: 10.0.0.3\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.3:80 -I 3 -f 4\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 4\nVIP: 10.0.0.4\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.4:80 -I 4 -f 2\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 5\nVIP: 10.0.0.5\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.5:80 -I 5 -f 3\n<END>\n<END VS>\n";

TEST(FollowEnds, DoNotDependOnQueryOrder) {
    const auto m = testing::load_ok(follow_graph);
    const int expected_end[] = {0, 4, 4, 2, 3, 2};  // by id; id 6 does not exist
    const int orders[][5] = {{1, 2, 3, 4, 5}, {5, 1, 4, 3, 2}, {3, 5, 2, 1, 4}};
    for (const auto& order : orders) {
        FollowEnds ends;
        for (int id : order) {
            const bahd_config_t* end = ends.end_of(*m, id);
            ASSERT_NE(end, nullptr) << id;
            EXPECT_EQ(end->id, expected_end[id]) << "id " << id << " first " << order[0];
        }
        EXPECT_EQ(ends.end_of(*m, 6), nullptr);
        EXPECT_EQ(ends.end_of(*m, 0), nullptr);
    }
}

}  // namespace
}  // namespace lbsnap
