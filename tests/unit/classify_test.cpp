#include <gtest/gtest.h>

#include <string>

#include "query/classify.h"
#include "test_support.h"

namespace lbsnap {
namespace {

// The texts of the records built outside a model.
TextArena texts;

bahd_config_t tcp_vs(const char* vip = "10.0.0.1", int port = 80) {
    bahd_config_t vs;
    vs.proto.assign(texts, "tcp");
    vs.vip.assign(texts, vip);
    vs.port = port;
    return vs;
}

void add_rs(bahd_config_t& vs, const char* rip) {
    rs_info_t rs;
    rs.rip.assign(texts, rip);
    vs.rsinfo.push_back(rs);
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

// One setting at a time on a plain TCP VS, and the character it gives.
TEST(VipCharacter, EachSettingOnTcp) {
    using Set = void (*)(bahd_config_t&, Rule_t*);
    struct Row {
        int want;
        Set set;
    };
    const Row rows[] = {
        {0, [](bahd_config_t&, Rule_t*) {}},
        {4, [](bahd_config_t& v, Rule_t*) { v.forcel7 = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.sslaccel.assign(texts, "1"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.cache = 1; }},
        {0, [](bahd_config_t& v, Rule_t*) { v.persist.assign(texts, "src"); }},
        {6, [](bahd_config_t& v, Rule_t*) { v.persist.assign(texts, "ssl"); }},
        {6, [](bahd_config_t& v, Rule_t*) { v.persist.assign(texts, "rdp-sb"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.persist.assign(texts, "cookie"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.persist.assign(texts, "header"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.errcode = 503; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.compress = 1; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.urlverify = 2; }},
        {7, [](bahd_config_t& v, Rule_t* r) { v.r.rule_list.push_back(r); }},
        {7, [](bahd_config_t& v, Rule_t* r) { v.preprocess.rule_list.push_back(r); }},
        {7, [](bahd_config_t& v, Rule_t* r) { v.requests.rule_list.push_back(r); }},
        {7, [](bahd_config_t& v, Rule_t* r) { v.responses.rule_list.push_back(r); }},
        {7, [](bahd_config_t& v, Rule_t* r) { v.matchbody.rule_list.push_back(r); }},
        {7, [](bahd_config_t& v, Rule_t*) {
             v.add_hdr_key.assign(texts, "X-A");
             v.add_hdr_val.assign(texts, "1");
         }},
        {7, [](bahd_config_t& v, Rule_t*) {
             v.copy_hdr_key.assign(texts, "X-B");
             v.copy_hdr_val.assign(texts, "X-C");
         }},
        {7, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1, v.hostallow.assign(texts, ""); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1, v.dirallow.assign(texts, "/a"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1, v.excludedir.assign(texts, "/b"); }},
        {7, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1, v.inauth = 1; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1, v.outauth = 3; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.add_via = 1; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.intercept = 2; }},
        {7, [](bahd_config_t& v, Rule_t*) { v.http2_support = 1; }},
        // Half-set headers, bare ESP, and allow lists without ESP are not HTTP.
        {0, [](bahd_config_t& v, Rule_t*) { v.add_hdr_key.assign(texts, "X-A"); }},
        {0, [](bahd_config_t& v, Rule_t*) { v.copy_hdr_val.assign(texts, "X-B"); }},
        {0, [](bahd_config_t& v, Rule_t*) { v.enable_esp = 1; }},
        {0, [](bahd_config_t& v, Rule_t*) { v.hostallow.assign(texts, "a"), v.inauth = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.extraports = {8080}; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.vip2.assign(texts, "10.0.0.2"); }},
        {6, [](bahd_config_t& v, Rule_t*) { v.bandwidth = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.rpslimit = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.cpslimit = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.connlimit = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.ismaster = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.isslave = 4; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.extendedhealth = 1; }},
        {6, [](bahd_config_t& v, Rule_t*) { v.localbinds.push_back(lm_v4_zero_addr); }},
    };
    Rule_t rule;
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(n++);
        bahd_config_t vs = tcp_vs();
        row.set(vs, &rule);
        EXPECT_EQ(vip_character(vs), row.want);
    }
}

TEST(VipCharacter, UdpIgnoresHttpSettings) {
    Rule_t rule;
    bahd_config_t vs = tcp_vs();
    vs.proto.assign(texts, "udp");
    vs.cache = 1;
    vs.r.rule_list.push_back(&rule);
    vs.sslaccel.assign(texts, "1");
    EXPECT_EQ(vip_character(vs), 0);
    vs.vip2.assign(texts, "10.0.0.2");
    EXPECT_EQ(vip_character(vs), 6);
    vs.vip2.assign(texts, "");
    vs.extendedhealth = 1;
    EXPECT_EQ(vip_character(vs), 4);
    vs.extendedhealth = 0;
    vs.forcel7 = 1;
    EXPECT_EQ(vip_character(vs), 4);
    // Any protocol other than exactly "tcp" takes the non-TCP road.
    vs = tcp_vs();
    vs.proto.assign(texts, "TCP");
    vs.cache = 1;
    EXPECT_EQ(vip_character(vs), 0);
}

TEST(VipCharacter, Ipv6AndMixedFamilies) {
    bahd_config_t vs = tcp_vs();
    add_rs(vs, "2001:db8::5");
    EXPECT_EQ(hasv6(vs), 8);
    EXPECT_EQ(mixedfamily(vs), 1);
    EXPECT_EQ(vip_character(vs), 14);

    vs.proto.assign(texts, "udp");
    EXPECT_EQ(vip_character(vs), 8);

    bahd_config_t v6 = tcp_vs("2001:db8::1");
    add_rs(v6, "2001:db8::5");
    EXPECT_EQ(mixedfamily(v6), 0);
    EXPECT_EQ(vip_character(v6), 8);

    bahd_config_t alt = tcp_vs();
    alt.vip2.assign(texts, "2001:db8::2");
    EXPECT_EQ(hasv6(alt), 8);
    EXPECT_EQ(mixedfamily(alt), 0);  // vip2 plays no part in the family test

    // An empty real-server entry is a gap, not a family.
    bahd_config_t gap = tcp_vs();
    add_rs(gap, "10.0.0.5");
    add_rs(gap, "");
    EXPECT_EQ(mixedfamily(gap), 0);
    EXPECT_EQ(hasv6(gap), 0);
    EXPECT_EQ(vip_character(gap), 0);
}

TEST(CalcTransparent, Rules) {
    bahd_config_t vs = tcp_vs();
    EXPECT_EQ(calc_transparent(vs, nullptr, 0, 1), 0);
    EXPECT_EQ(calc_transparent(vs, nullptr, 4, 1), 2);
    EXPECT_EQ(calc_transparent(vs, nullptr, 4, 0), 0);
    EXPECT_EQ(calc_transparent(vs, nullptr, 7, 1), 2);

    vs.localbinds.push_back(lm_v4_zero_addr);
    EXPECT_EQ(calc_transparent(vs, nullptr, 6, 1), 1);

    bahd_config_t ssl = tcp_vs();
    ssl.sslaccel.assign(texts, "1");
    ssl.reencrypt = 1;
    EXPECT_EQ(calc_transparent(ssl, nullptr, 6, 1), 1);
    ssl.reencrypt = 0;
    EXPECT_EQ(calc_transparent(ssl, nullptr, 6, 1), 2);
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
    bahd_config_t master = tcp_vs();
    master.ismaster = 1;
    EXPECT_EQ(calc_transparent(master, nullptr, 6, 1), 0);

    bahd_config_t sub = tcp_vs();
    sub.isslave = 1;
    master.sslaccel.assign(texts, "1");
    master.reencrypt = 1;
    EXPECT_EQ(calc_transparent(sub, &master, 6, 1), 1);
    // The sub-VS's own SSL settings do not matter, only its master's.
    master.reencrypt = 0;
    sub.sslaccel.assign(texts, "1");
    sub.reencrypt = 1;
    EXPECT_EQ(calc_transparent(sub, &master, 6, 1), 2);
    sub.localbinds.push_back(lm_v4_zero_addr);
    EXPECT_EQ(calc_transparent(sub, &master, 6, 1), 1);
}

}  // namespace
}  // namespace lbsnap
