#include <gtest/gtest.h>

#include <string>

#include "reports/listings.h"
#include "test_support.h"

namespace lbsnap {
namespace {

class ListingsTest : public ::testing::Test {
protected:
    Ctx ctx() { return Ctx{m, opt, out.file(), err.file()}; }
    bahd_config_t vs(const char* proto, const char* vip, int port) {
        bahd_config_t v;
        v.proto.assign(m.arena, proto);
        v.vip.assign(m.arena, vip);
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
    ssl.sslaccel.assign(m.arena, "1");
    list_vs(c, ssl, 1);
    ssl.reverse = 1;
    list_vs(c, ssl, 1);
    ssl.reverse = 0;
    ssl.proto.assign(m.arena, "TCP");  // the protocol must be exactly "tcp"
    list_vs(c, ssl, 1);
    list_vs(c, vs("tcp", "10.0.0.2", 443), 1);
    EXPECT_EQ(out.str(), "tcp/2001:db8::1+2\n10.0.0.1,443\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(ListingsTest, GatewayThatIsNoAddressGivesNothing) {
    Ctx c = ctx();
    bahd_config_t v = vs("tcp", "10.0.0.1", 80);
    v.dfltgw.assign(m.arena, "gw.example");
    v.dfltgw2.assign(m.arena, "10.0.0.254:80");  // a port is allowed in the family test
    list_dflts(c, v, 0);
    list_dflts(c, v, 1);
    EXPECT_EQ(out.str(), "10.0.0.1 10.0.0.254:80\n");
}

}  // namespace
}  // namespace lbsnap
