#include <gtest/gtest.h>

#include <string>

#include "config_text.h"
#include "query/classify.h"

namespace lbsnap {
namespace {

using testing::load_ok;
using testing::only_vs;
using testing::tcp_vs;

// The character of a VS with these settings (lines without the last
// newline); rule 1 is a content rule, rule 2 a header rule.
int character(const std::string& settings) {
    using testing::rule_section;
    const auto m = load_ok(rule_section(1) + rule_section(2, 1) + tcp_vs(settings + "\n"));
    return vip_character(only_vs(*m));
}

TEST(NonHttp, TableWordsAndSrc) {
    for (const char* w : {"rdp", "rdp-src", "rdp-sb", "rdp-sb-src", "sip", "ssl"}) {
        EXPECT_EQ(non_http(w, 0), 1) << w;
        EXPECT_EQ(non_http(w, 1), 1) << w;
    }
    EXPECT_EQ(non_http("src", 0), 0);
    EXPECT_EQ(non_http("src", 1), 1);
    EXPECT_EQ(non_http("SSL", 1), 0);
    EXPECT_EQ(non_http("cookie", 1), 0);
    EXPECT_EQ(non_http("", 1), 0);
}

// One setting at a time on a plain TCP VS, then on UDP, and the character
// it gives.
TEST(VipCharacter, EachSetting) {
    const std::pair<int, const char*> rows[] = {
        {0, ""}, {4, "FORCEL7: 1"}, {6, "SSLACCEL: 1"}, {7, "CACHE: 1"}, {0, "PERSIST: src"},
        {6, "PERSIST: ssl"}, {6, "PERSIST: rdp-sb"}, {7, "PERSIST: cookie"}, {7, "PERSIST: header"},
        {7, "ERRCODE: 503"}, {7, "COMPRESS: 1"}, {7, "VERIFY: 2"}, {7, "RULES: 1"},
        {7, "PREPROCESS: 1"}, {7, "REQUESTS: 2"}, {7, "RESPONSES: 2"}, {7, "MATCHBODY: 2"},
        {7, "XTRHDRKEY: X-A\nXTRHDRVAL: 1"}, {7, "COPYHDRKEY: X-B\nCOPYHDRVAL: X-C"},
        {7, "ESP: 1\nHOSTALLOW:"}, {7, "ESP: 1\nDIRALLOW: /a"}, {7, "ESP: 1\nEXCLUDEDIR: /b"},
        {7, "ESP: 1\nINAUTH: 1"}, {7, "ESP: 1\nOUTAUTH: 3"}, {7, "ADDVIA: 1"}, {7, "INTERCEPT: 2"},
        {7, "HTTP2: 1"},
        // Half-set headers, bare ESP, and allow lists without ESP are not HTTP.
        {0, "XTRHDRKEY: X-A"}, {0, "COPYHDRVAL: X-B"}, {0, "ESP: 1"},
        {0, "HOSTALLOW: a\nINAUTH: 1"},
        {6, "EXTRAPORTS: 8080"}, {6, "ALTVIP: 10.0.0.2"}, {6, "BANDWIDTH: 1"}, {6, "RPSLIMIT: 1"},
        {6, "CPSLIMIT: 1"}, {6, "CONNLIMIT: 1"}, {6, "MASTER: 1"}, {6, "SLAVE: 4"},
        {6, "EXTENDEDHEALTH: 1"}, {6, "LOCALBIND: 0.0.0.0"},
        {14, "<IPVSADM>\n-a -r [2001:db8::5]:80"},
        {8, "VIP: 2001:db8::1\n<IPVSADM>\n-a -r [2001:db8::5]:80"},
        // An empty real-server entry is a gap, not a family.
        {0, "<IPVSADM>\n-a -r 10.0.0.4:80 -r 10.0.0.5:80"},
        // UDP: HTTP settings do not count; any protocol other than exactly
        // "tcp" takes the non-TCP road.
        {0, "PROTO: udp\nCACHE: 1\nRULES: 1\nSSLACCEL: 1"}, {6, "PROTO: udp\nALTVIP: 10.0.0.2"},
        {4, "PROTO: udp\nEXTENDEDHEALTH: 1"}, {4, "PROTO: udp\nFORCEL7: 1"},
        {0, "PROTO: TCP\nCACHE: 1"},
        {8, "PROTO: udp\n<IPVSADM>\n-a -r [2001:db8::5]:80"},
    };
    for (const auto& [want, settings] : rows) EXPECT_EQ(character(settings), want) << settings;
}

TEST(VipCharacter, Ipv6AndMixedFamilies) {
    auto family = [](const std::string& settings) {
        const auto m = load_ok(tcp_vs(settings));
        return std::pair{hasv6(only_vs(*m)), mixedfamily(only_vs(*m))};
    };
    EXPECT_EQ(family("<IPVSADM>\n-a -r [2001:db8::5]:80\n"), std::pair(8, 1));
    EXPECT_EQ(family("VIP: 2001:db8::1\n<IPVSADM>\n-a -r [2001:db8::5]:80\n"), std::pair(8, 0));
    // vip2 plays no part in the family test.
    EXPECT_EQ(family("ALTVIP: 2001:db8::2\n"), std::pair(8, 0));
    EXPECT_EQ(family("<IPVSADM>\n-a -r 10.0.0.4:80 -r 10.0.0.5:80\n"), std::pair(0, 0));
}

// The transparency of a VS, or of the sub-VS of a master, with these
// settings.
int transparent(const std::string& settings, int typ, int l7_off = 1) {
    return calc_transparent(only_vs(*load_ok(tcp_vs(settings))), nullptr, typ, l7_off);
}
int sub_transparent(const std::string& master, const std::string& sub) {
    const auto m =
        load_ok(tcp_vs("VID: 1\nMASTER: 1\n" + master) + tcp_vs("VID: 2\nSLAVE: 1\n" + sub));
    return calc_transparent(*m->bahd.at(1), m->bahd.at(0).get(), 6, 1);
}

TEST(CalcTransparent, Rules) {
    EXPECT_EQ(transparent("", 0), 0);
    EXPECT_EQ(transparent("", 4), 2);
    EXPECT_EQ(transparent("", 4, 0), 0);
    EXPECT_EQ(transparent("", 7), 2);
    EXPECT_EQ(transparent("LOCALBIND: 0.0.0.0\n", 6), 1);
    EXPECT_EQ(transparent("SSLACCEL: 1\nREENCRYPT: 1\n", 6), 1);
    EXPECT_EQ(transparent("SSLACCEL: 1\n", 6), 2);
}

TEST(CalcTransparent, SettingOffUnlessItSaysOtherwise) {
    testing::TempRoot root;
    EXPECT_EQ(l7_transparent_off(), 1);
    root.write("/corvane/cfg/_L7_TRANSPARENT", "yes\n");
    EXPECT_EQ(l7_transparent_off(), 0);
    root.write("/corvane/cfg/_L7_TRANSPARENT", "no\n");
    EXPECT_EQ(l7_transparent_off(), 1);
}

TEST(CalcTransparent, MasterAndSubVs) {
    EXPECT_EQ(transparent("MASTER: 1\n", 6), 0);
    EXPECT_EQ(sub_transparent("SSLACCEL: 1\nREENCRYPT: 1\n", ""), 1);
    // The sub-VS's own SSL settings do not matter, only its master's.
    EXPECT_EQ(sub_transparent("SSLACCEL: 1\n", "SSLACCEL: 1\nREENCRYPT: 1\n"), 2);
    EXPECT_EQ(sub_transparent("SSLACCEL: 1\n", "LOCALBIND: 0.0.0.0\n"), 1);
}

}  // namespace
}  // namespace lbsnap
