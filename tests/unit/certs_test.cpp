// Certificate helpers: the default name and the self-signed test. The
// reports themselves are covered by the end-to-end cases.
#include <gtest/gtest.h>

#include <string>

#include "classify.h"
#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

using testing::TempRoot;

bahd_config_t ssl_vs(int id, const char* vip, int port, const char* certfile = "") {
    bahd_config_t vs;
    vs.id = id;
    vs.vip = vip;
    vs.port = port;
    vs.proto = "tcp";
    vs.sslaccel = "1";
    vs.certfile = certfile;
    return vs;
}

// Expected names: first 16 bytes of SHA-256 over the 16 address bytes and
// the port, low byte first, computed outside this code base.
TEST(DefaultCertname, HashesAddressAndLowPortBits) {
    bahd_config_t v4 = ssl_vs(1, "10.0.0.1", 443);
    default_certname(v4);
    EXPECT_EQ(v4.certfile.str(), "636e9ffc73a21d60d0b593567c7721fe");

    bahd_config_t v6 = ssl_vs(2, "2001:db8::1", 443 + 65536);
    default_certname(v6);
    EXPECT_EQ(v6.certfile.str(), "135171d5ad23860d4b1f39d138bdebd6");

    bahd_config_t named = ssl_vs(3, "10.0.0.1", 443, "mine");
    default_certname(named);
    EXPECT_EQ(named.certfile.str(), "mine");

    bahd_config_t bad = ssl_vs(4, "10.0.0.1:443", 443);
    default_certname(bad);
    EXPECT_TRUE(bad.certfile.empty());
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
