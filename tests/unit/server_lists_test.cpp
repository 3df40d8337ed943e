#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/addrs.h"
#include "reports/server_lists.h"
#include "store/model.h"

namespace lbsnap {
namespace {

// The texts of the records built outside a model.
TextArena texts;

rs_info_t server(const char* rip, const char* dns = "", int enabled = 1) {
    rs_info_t rs;
    rs.rip.assign(texts, rip);
    rs.dns.assign(texts, dns);
    rs.enabled = enabled;
    return rs;
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
    add_one_rs_list(server("10.0.0.10", "", 0), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.9"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.20", "web.example"), nullptr, tab, nullptr);
    sort_rs_tab(tab, 0);
    ASSERT_EQ(rips(tab), (std::vector<std::string>{"10.0.0.20", "10.0.0.9", "10.0.0.10"}));
    add_one_rs_list(server("10.0.0.9", "", 0), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1", "web.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[1].ntotal, 2);
    EXPECT_EQ(tab[1].nok, 1);
    EXPECT_EQ(tab[0].ntotal, 2);
}

TEST(AddOneRsList, FoldsByAddressOrNameCountingEnabled) {
    rs_disp_tab tab;
    add_one_rs_list(server("10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1", "", 0), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.5", "app.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.6", "app.example", 0), nullptr, tab, nullptr);
    ASSERT_EQ(tab.size(), 2u);
    EXPECT_EQ(tab[0].ntotal, 3);
    EXPECT_EQ(tab[0].nok, 2);
    EXPECT_EQ(tab[1].rip.str(), "10.0.0.5");
    EXPECT_EQ(tab[1].ntotal, 2);
    EXPECT_EQ(tab[1].nok, 1);
    // An empty name never matches another empty name.
    add_one_rs_list(server("10.0.0.7"), nullptr, tab, nullptr);
    EXPECT_EQ(tab.size(), 3u);
}

TEST(AddOneRsList, FirstMatchingEntryInTableOrderWins) {
    rs_disp_tab tab;
    add_one_rs_list(server("10.0.0.1", "m.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.2"), nullptr, tab, nullptr);
    // Matches entry 1 by address and entry 0 by name: entry 0 counts it.
    add_one_rs_list(server("10.0.0.2", "m.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[0].ntotal, 2);
    EXPECT_EQ(tab[1].ntotal, 1);
    // The other way round: by address on entry 0 beats the name on entry 2.
    add_one_rs_list(server("10.0.0.3", "n.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1", "n.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab[0].ntotal, 3);
    EXPECT_EQ(tab[2].ntotal, 1);
}

TEST(AddOneRsList, SkipsServersOfCurAndOfTheExclusionTable) {
    bahd_config_t cur;
    cur.rsinfo = {server("10.0.0.1"), server("10.0.0.2", "shop.example"), server("", "gap.example")};
    const VsServerKeys keys(cur);
    rs_disp_tab excl;
    add_one_rs_list(server("10.0.0.3", "sib.example"), nullptr, excl, nullptr);

    rs_disp_tab tab;
    add_one_rs_list(server("10.0.0.1"), &keys, tab, &excl);
    add_one_rs_list(server("10.0.0.8", "shop.example"), &keys, tab, &excl);
    add_one_rs_list(server("10.0.0.9", "sib.example"), &keys, tab, &excl);
    add_one_rs_list(server("10.0.0.3"), &keys, tab, &excl);
    // cur's entry with an empty rip still counts, by its name and by its
    // empty address.
    add_one_rs_list(server("10.0.0.4", "gap.example"), &keys, tab, &excl);
    add_one_rs_list(server(""), &keys, tab, &excl);
    add_one_rs_list(server("10.0.0.11"), &keys, tab, &excl);
    EXPECT_EQ(rips(tab), (std::vector<std::string>{"10.0.0.11"}));
}

}  // namespace
}  // namespace lbsnap
