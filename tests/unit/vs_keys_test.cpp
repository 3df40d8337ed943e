#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

#include "config_text.h"

namespace lbsnap {
namespace {

using testing::load_ok;
using testing::only_vs;
using testing::tcp_vs;
using testing::vs_section;
using V = std::vector<int>;

std::unique_ptr<Model> one_vs(const std::string& body) { return load_ok(vs_section(body)); }

TEST(VsKeys, IntegersReadAsStrtolAndClampToInt) {
    auto m = one_vs("PORT: 99999999999\nSTDBYPORT: -99999999999\nCHKPORT: 12abc\nTLIMIT: abc\n"
                    "ENABLE: 0\nIOPTS: +7\nCONNLIMIT:   -3\nBANDWIDTH:\v\f\r 9\n");
    const bahd_config_t& vs = only_vs(*m);
    EXPECT_EQ(vs.port, INT_MAX);
    EXPECT_EQ(vs.stdb_port, INT_MIN);
    EXPECT_EQ(vs.chk_port, 12);
    EXPECT_EQ(vs.tlimit, 0);
    EXPECT_EQ(vs.enabled, 0);
    EXPECT_EQ(vs.waf->iopts, 7);
    EXPECT_EQ(vs.connlimit, -3);
    EXPECT_EQ(vs.bandwidth, 9);  // strtol's white space, the line's own blanks past
    EXPECT_EQ(only_vs(*one_vs("VID: 1\n")).enabled, 1);
}

TEST(VsKeys, TextsAreCutToTheirFieldsAndStringsKeepEmptyValues) {
    auto m = one_vs("VIP: " + std::string(100, '1') + "\nMTYPE: abcdefgh\nCHECKPAT: " +
                    std::string(300, 'p') + "\nHOSTALLOW:\nDIRALLOW: a\nDIRALLOW: b\n");
    const bahd_config_t& vs = only_vs(*m);
    EXPECT_EQ(vs.vip.str(), std::string(63, '1'));
    EXPECT_EQ(vs.mtype.str(), "abcde");
    EXPECT_EQ(vs.check_pattern.str(), std::string(254, 'p'));
    EXPECT_EQ(vs.esp->hostallow, std::optional<std::string>(""));
    EXPECT_EQ(vs.esp->dirallow, std::optional<std::string>("b"));
    EXPECT_FALSE(vs.esp->excludedir.has_value());
}

// The firewall's and ESP's settings are kept in groups that VSs share:
// what one VS writes must reach neither the VS after it nor the defaults.
TEST(VsKeys, GroupsOfSettingsBelongToTheVsThatWritesThem) {
    auto m = load_ok(tcp_vs("VID: 1\nESPLOG: 3\nESPGROUPS:\nIRULES: a\n") +
                     tcp_vs("VID: 2\nPORT: 81\nESPLOG: 3\nESPGROUPS:\nIRULES: a\n") +
                     tcp_vs("VID: 3\nPORT: 82\nESPLOG: 3\nIOPTS: 0\n") +
                     tcp_vs("VID: 4\nPORT: 83\nESPLOG: 0\n"));
    auto vs = [&](int id) -> const bahd_config_t& {
        for (const auto& v : m->bahd)
            if (v->id == id) return *v;
        throw std::out_of_range("no VS " + std::to_string(id));
    };
    EXPECT_EQ(vs(1).esp->espgroups, std::optional<std::string>(""));
    EXPECT_EQ(vs(1).waf->irules, std::optional<std::string>("a"));
    EXPECT_EQ(vs(2).esp, vs(1).esp);  // the same values: one copy
    EXPECT_EQ(vs(2).waf, vs(1).waf);
    EXPECT_EQ(vs(3).esp->esplog, 3);
    EXPECT_FALSE(vs(3).esp->espgroups.has_value());  // set-but-empty is not unset
    EXPECT_FALSE(vs(3).waf->irules.has_value());
    EXPECT_EQ(vs(3).waf, &kDefaultSettings<VsWafSettings>);  // the defaults written
    EXPECT_EQ(vs(4).esp, &kDefaultSettings<VsEspSettings>);
    EXPECT_EQ(kDefaultSettings<VsEspSettings>.esplog, 0);
    EXPECT_EQ(m->esp_settings.size() + m->waf_settings.size(), 3u);
}

TEST(VsKeys, PersistAndNameSpecialValues) {
    for (auto [text, want] : {std::pair{"PERSIST: cookie\nPERSIST: none\n", ""},
                              {"persist: SrcAddr\n", "src"}, {"PERSIST: cookie\n", "cookie"}})
        EXPECT_EQ(only_vs(*one_vs(text)).persist.str(), want) << text;
    EXPECT_EQ(only_vs(*one_vs("NAME: web\nNAME: NULL\n")).name.str(), "web");
}

TEST(VsKeys, PortListsAndCheckCodes) {
    // RANGE counts from the port read so far; lists replace earlier ones.
    const std::pair<const char*, V> ports[] = {
        {"PORT: 80\nRANGE: 3\n", {81, 82, 83}}, {"PORT: 80\nRANGE: 1\n", {}},
        {"RANGE: 3\nPORT: 80\n", {}}, {"PORT: 2147483647\nRANGE: 5\n", {}},
        {"EXTRAPORTS: 8443,8080\n", {8080, 8443}}, {"EXTRAPORTS: 8080\nEXTRAPORTS: 2\n", {}},
    };
    for (const auto& [text, want] : ports) EXPECT_EQ(only_vs(*one_vs(text)).extraports, want) << text;
    EXPECT_EQ(only_vs(*one_vs("EXTRAPORTS: 1000-2000\n")).extraports.size(), 511u);
    EXPECT_EQ(only_vs(*one_vs("CHKCODES: 301 302\n")).checkcodes, V({301, 302}));
    EXPECT_EQ(only_vs(*one_vs("CHKCODES: 301\nCHKCODES: 200 302\n")).checkcodes, V({302}));
}

TEST(VsKeys, FollowAndMasterInteractions) {
    const auto a = one_vs("FOLLOW: 5\nFOLLOWVSID: 7\n");
    EXPECT_EQ(only_vs(*a).follow, 0);
    EXPECT_EQ(only_vs(*a).followvsid, 7);
    EXPECT_EQ(only_vs(*one_vs("FOLLOWVSID: 0\nFOLLOW: 5\n")).follow, 5);
    EXPECT_EQ(only_vs(*one_vs("FOLLOW: 5\nFOLLOWVSID: 0\n")).follow, 5);
    EXPECT_EQ(only_vs(*one_vs("MASTER: 1\nEXTENDEDHEALTH: 0\n")).extendedhealth, 1);
    EXPECT_EQ(only_vs(*one_vs("EXTENDEDHEALTH: 4\n")).extendedhealth, 4);
}

TEST(VsKeys, LocalBinds) {
    std::string many = "LOCALBIND:";
    for (int i = 0; i < 300; ++i) many += " 10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250);
    const std::pair<std::string, int> binds[] = {
        {"LOCALBIND: 10.0.0.1  10.0.0.2 bogus\n", 2}, {"LOCALBIND: 10.0.0.1\nLOCALBIND: bogus\n", 1},
        {"LOCALBIND: 10.0.0.1:80\n", 0}, {"LOCALBIND: 10.0.0.1\t10.0.0.2\n", 0}, {many + "\n", 256},
    };
    for (const auto& [text, want] : binds) EXPECT_EQ(only_vs(*one_vs(text)).nlocalbinds(), want) << text;
}

TEST(RealServerLines, OptionsFillTheEntryAndTheVs) {
    auto m = one_vs("<IPVSADM>\n-A -t 10.0.0.1:80 -s roundrobin -p 300\n"
                    "-a -t 10.0.0.1:80 -r 192.168.1.5:80 -m -w 2 -I 7 -d www.example -S 99\n"
                    "!-a -t 10.0.0.1:80 -r [2001:DB8::1]+443 -g -l 10 -R 11 -c 1 -f 3\n"
                    "VIP: 10.0.0.9\n<END>\nPORT: 81\n");
    const bahd_config_t& vs = only_vs(*m);
    EXPECT_EQ(vs.schedule.str(), "round");
    EXPECT_EQ(vs.timeout, 300);
    EXPECT_EQ(vs.vip.str(), "");
    EXPECT_EQ(vs.port, 81);
    ASSERT_EQ(vs.n_rs(), 2);
    const rs_info_t& v6 = vs.rsinfo[0];  // IPv6 sorts first
    EXPECT_EQ(v6.rip.str(), "2001:db8::1");
    EXPECT_EQ(v6.port, 443);
    EXPECT_EQ(v6.enabled, 0);
    EXPECT_STREQ(v6.for_method_str(), "route");
    EXPECT_EQ(std::vector<int>({v6.limit, v6.ratelimit, v6.critical, v6.rsfollow}), V({10, 11, 1, 3}));
    const rs_info_t& v4 = vs.rsinfo[1];
    EXPECT_EQ(v4.rip.str(), "192.168.1.5");
    EXPECT_EQ(v4.for_method, 'm');
    EXPECT_STREQ(v4.for_method_str(), "nat");
    EXPECT_EQ(std::vector<int>({v4.port, v4.weight, v4.id, v4.snat_port, v4.enabled}),
              V({80, 2, 7, 99, 1}));
    EXPECT_EQ(v4.dns.str(), "www.example");
}

TEST(RealServerLines, PendingValuesGapsAndMissingValues) {
    auto m = one_vs("<IPVSADM>\n-a -w 5\n-a -r 10.0.0.1:80\n"
                    "-a -r 10.0.0.2:80 -r 10.0.0.3:80 -w 3\n"
                    "-a -M -w 9 -r 10.0.0.4:80\n"
                    "-a\t-r 10.0.0.5:80\nx -r 10.0.0.6:80\n-a -r\n-a -r 10.0.0.7:80 -w\n");
    const auto& rs = only_vs(*m).rsinfo;
    ASSERT_EQ(rs.size(), 5u);
    EXPECT_EQ(rs[0].weight, 5);
    EXPECT_EQ(rs[1].rip.str(), "10.0.0.3");  // the second -r rewrote the line's entry
    EXPECT_EQ(rs[1].weight, 3);
    EXPECT_EQ(rs[2].weight, 0);  // "-w" was the value of -M
    EXPECT_EQ(rs[3].rip.str(), "10.0.0.7");
    EXPECT_EQ(rs[4].rip.str(), "");  // the gap sorts last
    EXPECT_EQ(rs[4].enabled, 0);
}

TEST(RealServerLines, TokenAndServerLimits) {
    std::string fill;
    for (int i = 0; i < 97; ++i) fill += " -t";
    auto within = one_vs("<IPVSADM>\n-a" + fill + " -w 7\n-a -r 10.0.0.1:80\n");
    EXPECT_EQ(only_vs(*within).rsinfo.at(0).weight, 7);
    auto beyond = one_vs("<IPVSADM>\n-a -t" + fill + " -w 7\n-a -r 10.0.0.1:80\n");
    EXPECT_EQ(only_vs(*beyond).rsinfo.at(0).weight, 0);

    std::string lines = "<IPVSADM>\n";
    for (int i = 0; i < MAX_rs_data - 1; ++i)
        lines += "-a -r 10." + std::to_string(i / 256) + "." + std::to_string(i % 256) + ".1:80\n";
    lines += "-a -r 11.0.0.1:80 -r 11.0.0.2:80\n-a -r 11.0.0.3:80\n-A -s wrr\n";
    auto full = one_vs(lines);
    const bahd_config_t& vs = only_vs(*full);
    ASSERT_EQ(vs.n_rs(), MAX_rs_data);
    EXPECT_EQ(vs.rsinfo.back().rip.str(), "11.0.0.2");
    EXPECT_EQ(vs.schedule.str(), "");
}

}  // namespace
}  // namespace lbsnap
