// The real-server name table: order, duplicate counts, growth and printing.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "report_harness.h"
#include "reports/realservers.h"

namespace lbsnap {
namespace {

using testing::TempRoot;

std::vector<std::string> names_of(const RsNameTable& t) {
    std::vector<std::string> v;
    for (const rsdups_t& e : t.entries()) v.push_back(std::string(e.name) + "/" + e.proto);
    return v;
}

// The table order after sorting entries added in the given order.
std::vector<std::string> sorted(std::vector<std::pair<const char*, const char*>> added) {
    RsNameTable t;
    for (const auto& [name, proto] : added) t.add_oners(name, proto, nullptr);
    t.sort_rsnames();
    return names_of(t);
}

TEST(RsNameTable, SortsByAddressThenProtocolThenOtherTexts) {
    using V = std::vector<std::string>;
    EXPECT_EQ(sorted({{"10.0.0.10", ""}, {"10.0.0.9", ""}}), (V{"10.0.0.9/", "10.0.0.10/"}));
    EXPECT_EQ(sorted({{"1.2.3.4", ""}, {"2001:db8::1", ""}, {"::1", ""}}),
              (V{"::1/", "2001:db8::1/", "1.2.3.4/"}));
    EXPECT_EQ(sorted({{"10.0.0.1", "udp"}, {"10.0.0.1", "tcp"}}), (V{"10.0.0.1/tcp", "10.0.0.1/udp"}));
    // The address decides before the protocol does.
    EXPECT_EQ(sorted({{"10.0.0.2", "tcp"}, {"10.0.0.1", "udp"}}), (V{"10.0.0.1/udp", "10.0.0.2/tcp"}));
    // Texts that are no address go last, by text.
    EXPECT_EQ(sorted({{"beta", ""}, {"10.0.0.1:80", ""}, {"alpha", ""}, {"255.255.255.255", ""},
                      {"10.0.0.2", ""}}),
              (V{"10.0.0.2/", "255.255.255.255/", "10.0.0.1:80/", "alpha/", "beta/"}));
}

TEST(RsNameTable, CountsOccurrencesPerNameAndProtocolIgnoringEmptyNames) {
    RsNameTable t;
    t.add_oners(nullptr, "tcp", nullptr);
    t.add_oners("", "tcp", nullptr);
    for (int i = 0; i < 3; ++i) t.add_oners("10.0.0.1", "tcp", nullptr);
    t.add_oners("10.0.0.1", "udp", nullptr);
    EXPECT_EQ(t.size(), 2);
    EXPECT_EQ(t.has_dup("10.0.0.1", "tcp"), 2);
    EXPECT_EQ(t.has_dup("10.0.0.1", "udp"), 0);
    EXPECT_EQ(t.has_dup("10.0.0.2", "tcp"), 0);
    EXPECT_EQ(t.has_dup("", "tcp"), 0);
    EXPECT_EQ(t.has_dup(nullptr, "tcp"), 0);
}

TEST(RsNameTable, NullProtocolMatchesTheFirstEntryOfAnyProtocol) {
    RsNameTable t;
    t.add_oners("10.0.0.1", "udp", "first");
    t.add_oners("10.0.0.1", "tcp", "second");
    t.add_oners("10.0.0.1", nullptr, nullptr);
    ASSERT_EQ(t.size(), 2);
    EXPECT_EQ(t.has_dup("10.0.0.1", "udp"), 1);
    EXPECT_EQ(t.has_dup("10.0.0.1", "tcp"), 0);
    // Without a protocol the entry holds the empty one.
    t.add_oners("10.0.0.7", nullptr, nullptr);
    EXPECT_STREQ(t.entries().back().proto, "");
    EXPECT_EQ(t.has_dup("10.0.0.7", ""), 0);
    t.add_oners("10.0.0.7", "", nullptr);
    EXPECT_EQ(t.has_dup("10.0.0.7", ""), 1);
}

// The first DNS name stays; entries keep their order and are found again
// after the table has grown.
TEST(RsNameTable, FirstDnsNameStaysAndGrowthKeepsEntries) {
    std::vector<std::string> texts;
    for (int i = 0; i < 40; ++i) texts.push_back("10.1.0." + std::to_string(i));
    RsNameTable t;
    t.add_oners(texts[0].c_str(), nullptr, "www");
    t.add_oners(texts[0].c_str(), nullptr, "other");
    for (int i = 1; i < 40; ++i) t.add_oners(texts[i].c_str(), nullptr, nullptr);
    ASSERT_EQ(t.size(), 40);
    EXPECT_STREQ(t.entries()[0].dnsname, "www");
    for (int i = 0; i < 40; ++i) EXPECT_EQ(t.entries()[i].name, texts[i].c_str());
    t.add_oners(texts[0].c_str(), nullptr, nullptr);
    EXPECT_EQ(t.size(), 40);
    EXPECT_EQ(t.has_dup(texts[0].c_str(), ""), 2);
}

TEST(RsNameTable, AddRslistTakesServersByEnableFlag) {
    // The third line leaves an empty entry behind its own.
    const auto m = testing::load_ok(testing::tcp_vs(
        "<IPVSADM>\n-a -r 10.0.0.1:80\n!-a -r 10.0.0.2:80\n-a -r 10.0.0.3:80 -r 10.0.0.1:80\n"));
    const bahd_config_t& vs = testing::only_vs(*m);
    RsNameTable all;
    all.add_rslist(vs, true, nullptr);
    EXPECT_EQ(names_of(all), (std::vector<std::string>{"10.0.0.1/", "10.0.0.2/"}));
    EXPECT_EQ(all.has_dup("10.0.0.1", ""), 1);

    RsNameTable enabled;
    enabled.add_rslist(vs, false, "tcp");
    EXPECT_EQ(names_of(enabled), (std::vector<std::string>{"10.0.0.1/tcp"}));
    EXPECT_EQ(enabled.has_dup("10.0.0.1", "tcp"), 1);
}

// Two spellings of one address compare equal and keep their insertion order.
TEST(RsNameTable, SortIsStableAndKeepsDuplicateLookupsWorking) {
    RsNameTable t;
    t.add_oners("10.0.0.10", "udp", nullptr);
    t.add_oners("2001:db8:0::5", "tcp", nullptr);
    t.add_oners("10.0.0.9", "tcp", nullptr);
    t.add_oners("10.0.0.10", "tcp", nullptr);
    t.add_oners("2001:db8::5", "tcp", nullptr);
    t.add_oners("10.0.0.10", "tcp", nullptr);
    t.sort_rsnames();
    EXPECT_EQ(names_of(t), (std::vector<std::string>{"2001:db8:0::5/tcp", "2001:db8::5/tcp",
                                                     "10.0.0.9/tcp", "10.0.0.10/tcp",
                                                     "10.0.0.10/udp"}));
    EXPECT_EQ(t.has_dup("10.0.0.10", "tcp"), 1);
    t.add_oners("10.0.0.10", nullptr, nullptr);
    EXPECT_EQ(t.has_dup("10.0.0.10", "tcp"), 2);
}

class PrintRealservers : public ::testing::Test {
protected:
    void SetUp() override {
        t.add_oners("192.0.2.20", nullptr, "web.example");
        t.add_oners("192.0.2.3", nullptr, nullptr);
        t.add_oners("not-an-address", nullptr, "x");
        t.add_oners("2001:db8::9", nullptr, "");
        t.add_oners("192.0.2.3", "udp", nullptr);
        t.add_oners("[2001:db8::9]", nullptr, nullptr);
        t.set_reverse_lookup([this](const lm_sockaddr& sa) {
            lm_addr a;
            lm_unmapaddr(&a, sa);
            return resolver(lm_print_addr2(a));
        });
    }
    std::string print(bool wantrealname) {
        testing::ReportHarness r;
        Ctx c = r.ctx();
        t.print_realservers(c, wantrealname);
        EXPECT_EQ(r.err.str(), "");
        return r.out.str();
    }
    TempRoot root;
    RsNameTable t;
    // The first in table order answers last.
    testing::SlowAnswers resolver{{{"2001:db8::9", {"v6.reverse", 60}},
                                   {"192.0.2.3", {std::nullopt, 30}},
                                   {"192.0.2.20", {"twenty.reverse", 0}}}};
};

// The lines are checked end to end; here, which entries are looked up, once
// per address whatever its text, and that late answers keep their line.
TEST_F(PrintRealservers, ReverseLookupOnlyWhereNoConfiguredName) {
    using Asked = std::vector<std::string>;
    root.write("/corvane/cfg/_DNSNAMES_ENABLE", "yes\n");
    EXPECT_EQ(print(true),
              "2001:db8::9 (v6.reverse)\n[2001:db8::9] (v6.reverse)\n192.0.2.3\n192.0.2.3\n"
              "192.0.2.20 (web.example)\nnot-an-address\n");
    EXPECT_EQ(resolver.take_asked(), (Asked{"192.0.2.3", "2001:db8::9"}));
    root.write("/corvane/cfg/_DNSNAMES_ENABLE", "0\n");
    EXPECT_EQ(print(true),
              "2001:db8::9 (v6.reverse)\n[2001:db8::9] (v6.reverse)\n192.0.2.3\n192.0.2.3\n"
              "192.0.2.20 (twenty.reverse)\nnot-an-address\n");
    EXPECT_EQ(resolver.take_asked(), (Asked{"192.0.2.20", "192.0.2.3", "2001:db8::9"}));
    print(false);
    EXPECT_EQ(resolver.take_asked(), Asked{});
}

// A reverse answer goes into the line only when it is a host name; anything
// else prints the line as for an address without a name.
TEST(PrintRealserversNames, OnlyHostNamesAreShown) {
    const std::pair<std::string, bool> answers[] = {
        {"web-1.Example.COM", true},          {"8.example", true},
        {"az-AZ.09", true},
        {std::string(63, 'a') + ".x", true},  {"bad\nname.example", false},
        {"<b>x</b>", false},                  {"under_score.example", false},
        {"-lead.example", false},             {"trail-.example", false},
        {"a..b", false},                      {"dot.example.", false},
        {"", false},                          {std::string(64, 'a') + ".x", false},
        {std::string(250, 'a') + ".x.y", false},
        // 253 characters at most, in labels of 63 at most
        {std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." + std::string(61, 'd'), true},
        {std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + "." + std::string(62, 'd'), false},
    };
    for (const auto& [answer, shown] : answers) {
        TempRoot root;
        RsNameTable t;
        t.add_oners("192.0.2.1", nullptr, nullptr);
        t.set_reverse_lookup([&answer = answer](const lm_sockaddr&) { return std::optional<std::string>(answer); });
        testing::ReportHarness r;
        Ctx c = r.ctx();
        t.print_realservers(c, true);
        EXPECT_EQ(r.out.str(), shown ? "192.0.2.1 (" + answer + ")\n" : "192.0.2.1\n") << answer;
    }
}

}  // namespace
}  // namespace lbsnap
