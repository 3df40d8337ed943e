#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "config_text.h"
#include "reports/server_lists.h"

namespace lbsnap {
namespace {

// A real server as the reader leaves it, from one real-server line ("!"
// first disables it). Its model lives as long as the test program.
const rs_info_t& server(const std::string& line) {
    static std::vector<std::unique_ptr<Model>> models;
    models.push_back(testing::load_ok(testing::tcp_vs("<IPVSADM>\n" + line + "\n")));
    return models.back()->bahd.at(0)->rsinfo.at(0);
}

std::vector<std::string> rips(const rs_disp_tab& tab) {
    std::vector<std::string> out;
    for (const auto& e : tab.entries()) out.push_back(e.rip.str());
    return out;
}

// The orders themselves are checked end to end; here, that the lookup
// indexes follow the table to its new order.
TEST(SortRsTab, IndexesFollowTheNewOrder) {
    rs_disp_tab tab;
    add_one_rs_list(server("!-a -r 10.0.0.10"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.9"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.20 -d web.example"), nullptr, tab, nullptr);
    sort_rs_tab(tab, 0);
    ASSERT_EQ(rips(tab), (std::vector<std::string>{"10.0.0.20", "10.0.0.9", "10.0.0.10"}));
    add_one_rs_list(server("!-a -r 10.0.0.9"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.1 -d web.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[1].ntotal, 2);
    EXPECT_EQ(tab[1].nok, 1);
    EXPECT_EQ(tab[0].ntotal, 2);
}

TEST(AddOneRsList, FoldsByAddressOrNameCountingEnabled) {
    rs_disp_tab tab;
    add_one_rs_list(server("-a -r 10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("!-a -r 10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.5 -d app.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("!-a -r 10.0.0.6 -d app.example"), nullptr, tab, nullptr);
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[0].ntotal, 3);
    EXPECT_EQ(tab[0].nok, 2);
    EXPECT_EQ(tab[1].rip.str(), "10.0.0.5");
    EXPECT_EQ(tab[1].ntotal, 2);
    EXPECT_EQ(tab[1].nok, 1);
    // An empty name never matches another empty name.
    add_one_rs_list(server("-a -r 10.0.0.7"), nullptr, tab, nullptr);
    EXPECT_EQ(tab.size(), 3u);
}

TEST(AddOneRsList, FirstMatchingEntryInTableOrderWins) {
    rs_disp_tab tab;
    add_one_rs_list(server("-a -r 10.0.0.1 -d m.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.2"), nullptr, tab, nullptr);
    // Matches entry 1 by address and entry 0 by name: entry 0 counts it.
    add_one_rs_list(server("-a -r 10.0.0.2 -d m.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[0].ntotal, 2);
    EXPECT_EQ(tab[1].ntotal, 1);
    // The other way round: by address on entry 0 beats the name on entry 2.
    add_one_rs_list(server("-a -r 10.0.0.3 -d n.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("-a -r 10.0.0.1 -d n.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[0].ntotal, 3);
    EXPECT_EQ(tab[2].ntotal, 1);
}

TEST(AddOneRsList, SkipsServersOfCurAndOfTheExclusionTable) {
    // The second line leaves an empty entry behind its own.
    const auto m = testing::load_ok(testing::tcp_vs(
        "<IPVSADM>\n-a -r 10.0.0.1\n-a -d shop.example -r 10.0.0.4 -r 10.0.0.2\n"));
    const bahd_config_t& cur = testing::only_vs(*m);
    const VsServerKeys keys(cur);
    rs_disp_tab excl;
    add_one_rs_list(server("-a -r 10.0.0.3 -d sib.example"), nullptr, excl, nullptr);

    rs_disp_tab tab;
    add_one_rs_list(server("-a -r 10.0.0.1"), &keys, tab, &excl);
    add_one_rs_list(server("-a -r 10.0.0.8 -d shop.example"), &keys, tab, &excl);
    add_one_rs_list(server("-a -r 10.0.0.9 -d sib.example"), &keys, tab, &excl);
    add_one_rs_list(server("-a -r 10.0.0.3"), &keys, tab, &excl);
    // cur's empty entry counts by its empty address.
    add_one_rs_list(cur.rsinfo.at(2), &keys, tab, &excl);
    add_one_rs_list(server("-a -r 10.0.0.11"), &keys, tab, &excl);
    EXPECT_EQ(rips(tab), (std::vector<std::string>{"10.0.0.11"}));
}

}  // namespace
}  // namespace lbsnap
