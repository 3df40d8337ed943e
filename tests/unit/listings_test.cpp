#include <gtest/gtest.h>

#include <string>

#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

class ListingsTest : public ::testing::Test {
protected:
    Ctx ctx() { return Ctx{m, opt, out.file(), err.file()}; }
    static bahd_config_t vs(const char* proto, const char* vip, int port) {
        bahd_config_t v;
        v.proto = proto;
        v.vip = vip;
        v.port = port;
        return v;
    }

    Model m;
    Options opt;
    testing::Capture out;
    testing::Capture err;
};

TEST_F(ListingsTest, ListVsAllAndSslOnly) {
    Ctx c = ctx();
    bahd_config_t v6 = vs("tcp", "2001:db8::1", 2);
    list_vs(c, v6, 0);
    bahd_config_t ssl = vs("tcp", "10.0.0.1", 443);
    ssl.sslaccel = "1";
    list_vs(c, ssl, 1);
    ssl.reverse = 1;
    list_vs(c, ssl, 1);
    ssl.reverse = 0;
    ssl.proto = "TCP";  // the protocol must be exactly "tcp"
    list_vs(c, ssl, 1);
    list_vs(c, vs("tcp", "10.0.0.2", 443), 1);
    EXPECT_EQ(out.str(), "tcp/2001:db8::1+2\n10.0.0.1,443\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(ListingsTest, GatewaysMatchAddressFamilies) {
    Ctx c = ctx();
    bahd_config_t v = vs("tcp", "2001:db8::1", 80);
    v.vip2 = "10.0.0.2";
    v.dfltgw = "10.0.0.254";
    v.dfltgw2 = "2001:db8::fe";
    list_dflts(c, v, 0);
    list_dflts(c, v, 1);
    EXPECT_EQ(out.str(), "10.0.0.2 10.0.0.254\n2001:db8::1 2001:db8::fe\n");
}

TEST_F(ListingsTest, GatewayThatIsNoAddressGivesNothing) {
    Ctx c = ctx();
    bahd_config_t v = vs("tcp", "10.0.0.1", 80);
    v.dfltgw = "gw.example";
    v.dfltgw2 = "10.0.0.254:80";  // a port is allowed in the family test
    list_dflts(c, v, 0);
    list_dflts(c, v, 1);
    EXPECT_EQ(out.str(), "10.0.0.1 10.0.0.254:80\n");
}

TEST_F(ListingsTest, ChecksFromTheBlocks) {
    m.chk_args = {11, 3, 1};
    m.adapt_args.url = "/x y";
    m.adapt_args.http_port = 8080;
    m.sdn_adapt_args.navg = 9;
    Ctx c = ctx();
    print_checks(c);
    EXPECT_EQ(out.str(),
              "CINTERVAL: 11\nTIMEOUT: 3\nRETRY: 1\nURL: /x y\nPORT: 8080\nAINTERVAL: 7\n"
              "CMINP: 5\nSDN_AINTERVAL: 5\nSDN_NAVG: 9\nSDN_CMINP: 5\n");
}

}  // namespace
}  // namespace lbsnap
