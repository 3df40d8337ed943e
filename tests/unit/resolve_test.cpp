#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/un.h>
#include <syslog.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "report_harness.h"
#include "reports/resolve.h"

namespace lbsnap {
namespace {

// The texts of the records built outside a model.
TextArena texts;

rs_info_t server(const char* rip, const char* dns = "", int enabled = 1, int id = 0) {
    rs_info_t rs;
    rs.rip.assign(texts, rip);
    rs.dns.assign(texts, dns);
    rs.enabled = enabled;
    rs.id = id;
    return rs;
}

bahd_config_t& add_vs(Model& m, int id, std::vector<rs_info_t> servers) {
    auto vs = std::make_unique<bahd_config_t>();
    vs->id = id;
    vs->vip.assign(m.arena, "10.9.9." + std::to_string(id));
    vs->port = 80;
    vs->rsinfo = std::move(servers);
    m.bahd.push_back(std::move(vs));
    return *m.bahd.back();
}

std::vector<std::string> rips(const rs_disp_tab& tab) {
    std::vector<std::string> out;
    for (const auto& e : tab.data) out.push_back(e.rip.str());
    return out;
}

using Harness = testing::ReportHarness;
using testing::LogLine;

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
    EXPECT_EQ(tab.data[1].ntotal, 2);
    EXPECT_EQ(tab.data[1].nok, 1);
    EXPECT_EQ(tab.data[0].ntotal, 2);
}

TEST(AddOneRsList, FoldsByAddressOrNameCountingEnabled) {
    rs_disp_tab tab;
    add_one_rs_list(server("10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1", "", 0), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.5", "app.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.6", "app.example", 0), nullptr, tab, nullptr);
    ASSERT_EQ(tab.data.size(), 2u);
    EXPECT_EQ(tab.data[0].ntotal, 3);
    EXPECT_EQ(tab.data[0].nok, 2);
    EXPECT_EQ(tab.data[1].rip.str(), "10.0.0.5");
    EXPECT_EQ(tab.data[1].ntotal, 2);
    EXPECT_EQ(tab.data[1].nok, 1);
    // An empty name never matches another empty name.
    add_one_rs_list(server("10.0.0.7"), nullptr, tab, nullptr);
    EXPECT_EQ(tab.data.size(), 3u);
}

TEST(AddOneRsList, FirstMatchingEntryInTableOrderWins) {
    rs_disp_tab tab;
    add_one_rs_list(server("10.0.0.1", "m.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.2"), nullptr, tab, nullptr);
    // Matches entry 1 by address and entry 0 by name: entry 0 counts it.
    add_one_rs_list(server("10.0.0.2", "m.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab.data[0].ntotal, 2);
    EXPECT_EQ(tab.data[1].ntotal, 1);
    // The other way round: by address on entry 0 beats the name on entry 2.
    add_one_rs_list(server("10.0.0.3", "n.example"), nullptr, tab, nullptr);
    add_one_rs_list(server("10.0.0.1", "n.example"), nullptr, tab, nullptr);
    EXPECT_EQ(tab.data[0].ntotal, 3);
    EXPECT_EQ(tab.data[2].ntotal, 1);
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

TEST(ResolvRealnames, PrintsTheFirstResolvedAddress) {
    Harness r;
    Ctx c = r.ctx();
    resolv_realnames(c, "localhost");
    resolv_realnames(c, "::1");
    resolv_realnames(c, "nonexistent.invalid");
    EXPECT_EQ(r.out.str(), "127.0.0.1\n::1\n");
    EXPECT_TRUE(r.log.empty());
}

// An answer of a family or length the tool does not handle counts as no
// answer: -d prints nothing for it, -D logs the name as not resolved.
TEST(AnswerAddress, TakesWholeIPv4AndIPv6AnswersOnly) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, "192.0.2.7", &v4.sin_addr);
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "2001:db8::7", &v6.sin6_addr);
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    auto text = [](const void* sa, std::size_t len) {
        addrinfo ai{};
        ai.ai_addr = static_cast<sockaddr*>(const_cast<void*>(sa));
        ai.ai_family = ai.ai_addr->sa_family;
        ai.ai_addrlen = static_cast<socklen_t>(len);
        const std::optional<lm_addr> a = answer_address(ai);
        return a ? lm_print_addr2(*a) : "none";
    };
    EXPECT_EQ(text(&v4, sizeof v4), "192.0.2.7");
    EXPECT_EQ(text(&v6, sizeof v6), "2001:db8::7");
    EXPECT_EQ(text(&v4, sizeof v4 - 1), "none");
    EXPECT_EQ(text(&v6, sizeof v4), "none");
    EXPECT_EQ(text(&local, sizeof local), "none");
}

// Names asked once each, however many servers carry them; the answers that
// arrive last (the first names in list order) still come first.
TEST(ResolvRealnames, ChangeScriptAndLogLinesForEveryNamedServer) {
    Harness r;
    add_vs(r.m, 3, {server("127.0.0.1", "same.example", 1, 1),
                    server("10.0.0.5", "moved.example", 1, 2), server("10.0.0.6", "", 1, 3),
                    server("10.0.0.8:80", "port.example", 1, 4)});
    bahd_config_t& master = add_vs(r.m, 4, {server("#5", "master.example", 1, 5)});
    master.ismaster = 1;
    add_vs(r.m, 5, {server("10.0.0.7", "gone.example", 0, 6)});
    add_vs(r.m, 6, {server("::2", "v6.example", 1, 7), server("10.0.0.9", "moved.example", 1, 8)});
    testing::SlowAnswers resolver{{{"same.example", {"127.0.0.1", 80}},
                                   {"moved.example", {"10.0.0.50", 60}},
                                   {"gone.example", {std::nullopt, 40}},
                                   {"v6.example", {"::1", 20}}}};
    Ctx c = r.ctx();
    resolv_realnames(c, nullptr, [&](const char* name) -> std::optional<lm_addr> {
        lm_addr a;
        const std::optional<std::string> text = resolver(name);
        if (!text || !lm_cvtaddr(&a, text->c_str())) return std::nullopt;
        return a;
    });
    EXPECT_EQ(r.out.str(),
              "vip 3\nserver #2\naddr 10.0.0.50\nexit\nexit\n"
              "vip 6\nserver #7\naddr ::1\nexit\nserver #8\naddr 10.0.0.50\nexit\nexit\n");
    const std::vector<LogLine> want = {
        {LOG_DEBUG, "Resolved to the same address 127.0.0.1 same.example\n"},
        {LOG_INFO, "changing RS#2 (moved.example) from 10.0.0.5 to 10.0.0.50\n"},
        {LOG_INFO, "Resolve of gone.example failed\n"},
        {LOG_INFO, "changing RS#7 (v6.example) from ::2 to ::1\n"},
        {LOG_INFO, "changing RS#8 (moved.example) from 10.0.0.9 to 10.0.0.50\n"},
    };
    EXPECT_EQ(r.log, want);
    EXPECT_EQ(resolver.take_asked(), (std::vector<std::string>{"gone.example", "moved.example",
                                                               "same.example", "v6.example"}));
}

}  // namespace
}  // namespace lbsnap
