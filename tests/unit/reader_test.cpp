#include "store/reader.h"

#include <gtest/gtest.h>

#include "config_text.h"
#include "store/rules.h"

namespace lbsnap {
namespace {

using testing::load_ok;
using testing::only_vs;
using testing::rule_ids;
using testing::rule_section;
using testing::vs_ids;
using testing::vs_section;
using V = std::vector<int>;

TEST(Reader, TextWithoutSectionsGivesAnEmptyModel) {
    auto m = load_ok("# comment\n<END VS>\nVID: 3\n\n");
    EXPECT_TRUE(m->bahd.empty());
    ASSERT_EQ(m->Rules.size(), 1u);
    EXPECT_EQ(m->default_rule, m->Rules[0].get());
}

TEST(Reader, KeysStartTheLineInAnyCaseAndKeepTrailingText) {
    auto m = load_ok(
        "<section vs> trailing words\nvip: 10.0.0.1\n  VID: 5\nPORT:80\nNAME:\t web \r\n<End VS>\n");
    const bahd_config_t& vs = only_vs(*m);
    EXPECT_EQ(vs.vip.str(), "10.0.0.1");
    EXPECT_EQ(vs.id, 0);
    EXPECT_EQ(vs.port, 80);
    EXPECT_EQ(vs.name.str(), "web \r");
}

TEST(Reader, LinesAreReadInPiecesOf8190AndEndAtANul) {
    // 9000 characters: the second piece starts with a key of its own.
    std::string line = "CHECKURL: " + std::string(8180, 'x') + "PORT: 81" + std::string(802, ' ');
    ASSERT_EQ(line.size(), 9000u);
    auto m = load_ok(vs_section(line + "\n"));
    EXPECT_EQ(only_vs(*m).port, 81);
    EXPECT_EQ(only_vs(*m).check_url.str(), std::string(127, 'x'));
    // A NUL byte ends the line's text.
    auto nul = load_ok(vs_section(std::string("NAME: web\0PORT: 99\nPORT: 80\n", 28)));
    EXPECT_EQ(only_vs(*nul).name.str(), "web");
    EXPECT_EQ(only_vs(*nul).port, 80);
}

TEST(Reader, EmptyAndUnclosedSectionsAddNothing) {
    auto m = load_ok("<SECTION VS>\n<END VS>\n" + vs_section("VID: 1\n") +
                     "<SECTION VS>\nVID: 2\n<RULE>\nID: 4\nNAME: n\nVALUE: v\n<END RULE>\n");
    EXPECT_EQ(vs_ids(*m), V({1}));
    // The rule markers were lines of the open VS section, not a rule.
    EXPECT_EQ(m->Rules.size(), 1u);
}

TEST(Reader, RulesJoinOnlyWhenConsistent) {
    auto m = load_ok(rule_section(3) +
                     "<RULE>\nID: 3\nNAME: again\nVALUE: v\n<END RULE>\n"      // repeated number
                     "<RULE>\nID: 4\nVALUE: v\n<END RULE>\n"                   // no name
                     "<RULE>\nID: 5\nNAME: n\nTYPE: 7\nVALUE: v\n<END RULE>\n"  // unknown type
                     "<RULE>\nID: 6\nNAME: n\nTYPE: 1\nHEADER: h\n<END RULE>\n"  // no replacement
                     "<RULE>\nID: 7\nNAME: n\nTYPE: 1\nREPLACEMENT: x\n<END RULE>\n"  // no header
                     "<RULE>\nID: 0\nNAME: n\nVALUE: v\n<END RULE>\n"
                     "<RULE>\nID: 8\nNAME: n\nTYPE: 3\nVALUE: v\nHEADER: h\nREPLACEMENT: x\n<END RULE>\n"
                     "<RULE>\nID: 9\nNAME: n\nTYPE: 2\nVALUE: v\n<END RULE>\n"
                     "<RULE>\nID: 10\nNAME: open\nVALUE: v\n");
    std::vector<int> ids;
    for (const auto& r : m->Rules) ids.push_back(r->id);
    EXPECT_EQ(ids, V({0, 3, 8, 9}));
    EXPECT_EQ(m->Rules[1]->rule_name.str(), "r3");
}

TEST(Reader, VsListOrdersByAddressPortThenSubVsById) {
    auto m = load_ok(vs_section("VID: 3\nSLAVE: 9\nPORT: 80\n") +
                     vs_section("VID: 1\nVIP: 10.0.0.2\nPORT: 80\n") +
                     vs_section("VID: 2\nVIP: 10.0.0.1\nPORT: 443\n") +
                     vs_section("VID: 4\nVIP: 9.0.0.1\nPORT: 443\n") +
                     vs_section("VID: 5\nVIP: host.example\nPORT: 1\n") +
                     vs_section("VID: 6\nVIP: 2001:db8::1\nPORT: 80\n") +
                     vs_section("VID: 7\nVIP: 10.0.0.1\nPORT: 80\n") +
                     vs_section("VID: 8\nVIP: 10.0.0.1\nPORT: 80\n") +
                     vs_section("VID: 2\nSLAVE: 9\nPORT: 81\n") +
                     vs_section("VID: 2\nSLAVE: 9\nPORT: 80\n"));
    // IPv6 before IPv4, numeric IPv4 order, ties in file order, text that is
    // no address after every address, sub-VSs last by id and port.
    std::vector<std::pair<int, int>> got;
    for (const auto& vs : m->bahd) got.emplace_back(vs->id, vs->port);
    std::vector<std::pair<int, int>> want{{6, 80}, {4, 443}, {7, 80}, {8, 80}, {2, 443},
                                          {1, 80}, {5, 1},   {2, 80}, {2, 81}, {3, 80}};
    EXPECT_EQ(got, want);
}

TEST(Reader, RealServersSortByAddressThenPortAndMastersByNumber) {
    auto m = load_ok(vs_section("VID: 1\nVIP: 10.0.0.1\n<IPVSADM>\n"
                                "-a -r 10.0.0.10:80\n-a -r 10.0.0.9:80\n-a -r 10.0.0.9:22\n<END>\n") +
                     vs_section("VID: 2\nVIP: 10.0.0.2\nMASTER: 1\n<IPVSADM>\n"
                                "-a -r #12\n-a -r #3\n<END>\n"));
    std::vector<std::string> rips;
    for (const rs_info_t& rs : m->bahd.at(0)->rsinfo)
        rips.push_back(rs.rip.str() + "/" + std::to_string(rs.port));
    EXPECT_EQ(rips, (std::vector<std::string>{"10.0.0.9/22", "10.0.0.9/80", "10.0.0.10/80"}));
    const auto& master = m->bahd.at(1)->rsinfo;
    ASSERT_EQ(master.size(), 2u);
    EXPECT_EQ(master[0].rip.str(), "#3");
    EXPECT_EQ(master[1].port, 12);
}

TEST(Reader, RealServerRulesMergeIntoTheVsList) {
    auto m = load_ok(rule_section(3) + rule_section(4) + rule_section(5) +
                     vs_section("VIP: 10.0.0.1\nRULES: 3,0\n<IPVSADM>\n-a -r 10.0.0.1:80 -y 5,3\n"
                                "-a -r 10.0.0.2:80 -y 4,0\n<END>\n") +
                     vs_section("VIP: 10.0.0.2\nRULES: 3\n<IPVSADM>\n-a -r 10.0.0.1:80 -y 0\n"));
    const bahd_config_t& vs = *m->bahd.at(0);
    EXPECT_EQ(rule_ids(vs.r), V({3, 5, 4, 0}));
    EXPECT_EQ(rule_ids(vs.rsinfo.at(1).r), V({4, 0}));
    EXPECT_EQ(rule_ids(m->bahd.at(1)->r), V({3, 0}));
}

}  // namespace
}  // namespace lbsnap
