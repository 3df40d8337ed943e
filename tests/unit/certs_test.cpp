// Certificate helpers: the derived name and the self-signed test. The
// reports themselves are covered by the end-to-end cases.
#include <gtest/gtest.h>

#include <string>

#include "query/derived.h"
#include "reports/certs.h"
#include "test_support.h"

namespace lbsnap {
namespace {

using testing::TempRoot;

// An SSL VS as the reader leaves it.
bahd_config_t ssl_vs(TextArena& texts, const char* vip, int port, const char* certfile = "") {
    bahd_config_t vs;
    vs.vip.assign(texts, vip);
    vs.port = port;
    vs.proto.assign(texts, "tcp");
    vs.sslaccel.assign(texts, "1");
    vs.certfile.assign(texts, certfile);
    return vs;
}

// Expected names: first 16 bytes of SHA-256 over the 16 address bytes and
// the port, low byte first, computed outside this code base.
TEST(ShownCertfile, HashesAddressAndLowPortBits) {
    TextArena texts;
    const bahd_config_t v4 = ssl_vs(texts, "10.0.0.1", 443);
    EXPECT_STREQ(ShownCertfile(v4).c_str(), "636e9ffc73a21d60d0b593567c7721fe");
    EXPECT_TRUE(v4.certfile.empty());
    const bahd_config_t v6 = ssl_vs(texts, "2001:db8::1", 443 + 65536);
    EXPECT_STREQ(ShownCertfile(v6).c_str(), "135171d5ad23860d4b1f39d138bdebd6");
    const ShownCertfile named(ssl_vs(texts, "10.0.0.1", 443, "mine"));
    EXPECT_STREQ(named.c_str(), "mine");
    EXPECT_FALSE(named.derived());
    EXPECT_TRUE(ShownCertfile(ssl_vs(texts, "10.0.0.1:443", 443)).empty());
    bahd_config_t plain = ssl_vs(texts, "10.0.0.2", 80);
    plain.sslaccel.assign(texts, "");
    EXPECT_TRUE(ShownCertfile(plain).empty());
}

class IsSelf : public ::testing::Test {
protected:
    int isself_with(int hashsm, const char* cert) {
        opt.hashsm = hashsm;
        Ctx c{m, opt, stdout, stderr};
        return isself(c, cert);
    }
    TempRoot root;
    Model m;
    Options opt;
};

TEST_F(IsSelf, EmptyIsSelfSignedAndBlankListIsNot) {
    for (int hashsm : {0, 1}) {
        EXPECT_EQ(isself_with(hashsm, ""), 1) << hashsm;
        EXPECT_EQ(isself_with(hashsm, "a b"), 0) << hashsm;
    }
}

TEST_F(IsSelf, InstalledCertificateDecidesWithoutH) {
    root.write("/corvane/certs/real.pem", "x");
    EXPECT_EQ(isself_with(0, "real"), 0);
    EXPECT_EQ(isself_with(0, "missing"), 1);
    // A tab does not make a list: the whole text is one file name.
    EXPECT_EQ(isself_with(0, "real\tother"), 1);
    root.write("/corvane/certs/real\tother.pem", "x");
    EXPECT_EQ(isself_with(0, "real\tother"), 0);
}

TEST_F(IsSelf, TemporaryCertificateDecidesWithH) {
    root.write("/tmp/certs/test.pem", "x");
    root.write("/corvane/certs/real.pem", "x");
    EXPECT_EQ(isself_with(1, "test"), 1);
    EXPECT_EQ(isself_with(1, "real"), 0);
}

}  // namespace
}  // namespace lbsnap
