#include <gtest/gtest.h>
#include <syslog.h>

#include <string>
#include <utility>
#include <vector>

#include "lookup.h"
#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

struct LogLine {
    int priority;
    std::string text;
    bool operator==(const LogLine&) const = default;
};

struct Harness {
    Model m;
    Options opt;
    testing::Capture out, err;
    std::vector<LogLine> log;
    Ctx ctx() {
        Ctx c{m, opt, out.file(), err.file()};
        c.log = [this](int p, const std::string& t) { log.push_back({p, t}); };
        return c;
    }
    bahd_config_t& add_vs(int id, const char* vip) {
        auto vs = std::make_unique<bahd_config_t>();
        vs->id = id;
        vs->vip = vip;
        vs->port = 80;
        vs->proto = "tcp";
        m.bahd.push_back(std::move(vs));
        return *m.bahd.back();
    }
};

rs_info_t server(const char* rip, int enabled = 1) {
    rs_info_t rs;
    rs.rip = rip;
    rs.enabled = enabled;
    return rs;
}

TEST(AuthNames, ClientSideNamesRecordedOnceInOrderMet) {
    Harness r;
    Ctx c = r.ctx();
    std::string names;
    for (int v : {1, 1, 8, 3, 7, 0, 2, 8}) set_inauth_data(c, names, v);
    EXPECT_EQ(names, "Basic Authentication;OIDC-OAUTH;Delegate to Server;Form Based;");
    EXPECT_TRUE(r.log.empty());
    set_inauth_data(c, names, 9);
    set_inauth_data(c, names, -1);
    EXPECT_EQ(names, "Basic Authentication;OIDC-OAUTH;Delegate to Server;Form Based;");
    const std::vector<LogLine> want = {{LOG_ERR, "value [9] out of range!!!\n"},
                                       {LOG_ERR, "value [-1] out of range!!!\n"}};
    EXPECT_EQ(r.log, want);
}

TEST(AuthNames, ServerSideZeroIsSilentAndFiveIsOutOfRange) {
    Harness r;
    Ctx c = r.ctx();
    std::string names;
    for (int v : {0, 3, 4, 3, 1, 2}) set_outauth_data(c, names, v);
    EXPECT_EQ(names, "KCD;Server Token;Basic Authentication;Form Based;");
    EXPECT_TRUE(r.log.empty());
    set_outauth_data(c, names, 5);
    EXPECT_EQ(r.log, (std::vector<LogLine>{{LOG_ERR, "value [5] out of range!!!\n"}}));
}

TEST(Callhome, EmptyConfiguration) {
    Harness r;
    Ctx c = r.ctx();
    gen_callhomedata(c);
    EXPECT_EQ(r.out.str(),
              "vs_created=0&rs_available=0&wafvs_cnt=0&owaspvs_cnt=0&espvs_cnt=0&sdn_inuse=no&"
              "client_auth=&server_auth=&ocsp=0&waf_info=owasp_info=&");
}

TEST(Callhome, CountsNamesAndWafEntries) {
    Harness r;
    bahd_config_t& a = r.add_vs(1, "10.0.0.1");
    a.enable_esp = 1;
    a.inauth = 1;
    a.outauth = 3;
    a.intercept = 1;
    a.interceptrules = "sqli,xss";
    a.name = "web";
    a.rsinfo = {server("10.1.0.1"), server("10.1.0.2", 0)};
    bahd_config_t& b = r.add_vs(3, "10.0.0.3");
    b.enable_esp = 1;
    b.inauth = 1;
    b.outauth = 0;
    b.ismaster = 1;
    b.name = "shop";
    b.adaptive_method = "SND_gstats";
    b.rsinfo = {server("#12")};
    bahd_config_t& d = r.add_vs(4, "10.0.0.4");
    d.intercept = 1;  // no rule sets: counted, no entry
    d.needcac = 1;
    d.inauth = 42;    // not an ESP VS: never looked at
    d.rsinfo = {server("10.1.0.1", 0)};
    bahd_config_t& sub = r.add_vs(12, "");
    sub.isslave = 3;
    sub.intercept = 2;
    sub.irules = "crs";
    sub.rsinfo = {server("10.1.0.3")};
    bahd_config_t& orphan = r.add_vs(13, "");
    orphan.isslave = 99;
    orphan.intercept = 2;
    bahd_config_t& named_sub = r.add_vs(14, "");
    named_sub.isslave = 3;
    named_sub.name = "api";
    named_sub.intercept = 2;
    build_indexes(r.m);
    Ctx c = r.ctx();
    gen_callhomedata(c);
    EXPECT_EQ(r.out.str(),
              "vs_created=3&rs_available=3&wafvs_cnt=2&owaspvs_cnt=3&espvs_cnt=2&sdn_inuse=yes&"
              "client_auth=Basic Authentication;&server_auth=KCD;&ocsp=1&"
              "waf_info=vsid:1,vsn:web,vsip:10.0.0.1,subvsid:-,subvsn:-,wrules:sqli,xss;"
              "owasp_info=vsid:3,vsn:shop,vsip:10.0.0.3,subvsid:12,subvsn:-,wrules:crs;"
              "vsid:3,vsn:shop,vsip:10.0.0.3,subvsid:14,subvsn:api,wrules:all;&");
    EXPECT_TRUE(r.log.empty());
}

TEST(Callhome, OutOfRangeModeOnlyLogs) {
    Harness r;
    bahd_config_t& a = r.add_vs(1, "10.0.0.1");
    a.enable_esp = 1;
    a.inauth = 9;
    a.outauth = 7;
    Ctx c = r.ctx();
    gen_callhomedata(c);
    EXPECT_NE(r.out.str().find("espvs_cnt=1&sdn_inuse=no&client_auth=&server_auth=&"),
              std::string::npos);
    const std::vector<LogLine> want = {{LOG_ERR, "value [9] out of range!!!\n"},
                                       {LOG_ERR, "value [7] out of range!!!\n"}};
    EXPECT_EQ(r.log, want);
}

TEST(MinInterval, GlobalValuesFillInAndOwnIntervalsStayOut) {
    Harness r;
    r.m.chk_args = {9, 5, 2};
    bahd_config_t& a = r.add_vs(1, "10.0.0.1");
    a.chk_timeout = 10;
    EXPECT_EQ(get_vs_min_interval(r.m, a), 21);
    bahd_config_t& b = r.add_vs(2, "10.0.0.2");
    b.chk_retrycount = 3;
    EXPECT_EQ(get_vs_min_interval(r.m, b), 16);
    bahd_config_t& own = r.add_vs(3, "10.0.0.3");
    own.chk_interval = 30;
    own.chk_timeout = 100;
    Ctx c = r.ctx();
    print_max_check_time(c);
    a.chk_interval = 5;
    b.chk_interval = 5;
    print_max_check_time(c);
    EXPECT_EQ(r.out.str(), "21\n0\n");
}

TEST(WafList, LabelsAndSelection) {
    Harness r;
    r.opt.wafid = 5;
    r.add_vs(5, "10.0.0.1").intercept = 1;
    bahd_config_t& named = r.add_vs(7, "10.0.0.2");
    named.intercept = 1;
    named.name = "a<b";
    named.port = 2;
    r.add_vs(8, "10.0.0.3").intercept = 2;
    bahd_config_t& sub = r.add_vs(12, "");
    sub.isslave = 8;
    sub.intercept = 1;
    bahd_config_t& named_sub = r.add_vs(13, "");
    named_sub.isslave = 8;
    named_sub.intercept = 1;
    named_sub.name = "api";
    Ctx c = r.ctx();
    print_wafvs(c, 1);
    EXPECT_EQ(r.out.str(),
              "<option value=\"5\" selected>10.0.0.1:80</option>\n"
              "<option value=\"7\" >a<b (10.0.0.2:*)</option>\n"
              "<option value=\"12\" >#12</option>\n"
              "<option value=\"13\" >api (#13)</option>\n");
}

}  // namespace
}  // namespace lbsnap
