// Certificate helpers: the derived name and the self-signed test. The
// reports themselves are covered by the end-to-end cases.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "derived.h"
#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

using testing::TempRoot;

// An SSL VS as the reader leaves it.
void add_ssl_vs(Model& m, const char* vip, int port, const char* certfile = "") {
    bahd_config_t& vs = *m.bahd.emplace_back(std::make_unique<bahd_config_t>());
    vs.vip.assign(m.arena, vip);
    vs.port = port;
    vs.proto.assign(m.arena, "tcp");
    vs.sslaccel.assign(m.arena, "1");
    vs.certfile.assign(m.arena, certfile);
}

// Expected names: first 16 bytes of SHA-256 over the 16 address bytes and
// the port, low byte first, computed outside this code base.
TEST(DerivedCertname, HashesAddressAndLowPortBits) {
    Model m;
    add_ssl_vs(m, "10.0.0.1", 443);
    add_ssl_vs(m, "2001:db8::1", 443 + 65536);
    add_ssl_vs(m, "10.0.0.1", 443, "mine");
    add_ssl_vs(m, "10.0.0.1:443", 443);
    add_ssl_vs(m, "10.0.0.2", 80);
    m.bahd.back()->sslaccel.assign(m.arena, "");
    derive_facts(m);
    EXPECT_EQ(m.bahd[0]->shown_certfile, "636e9ffc73a21d60d0b593567c7721fe");
    EXPECT_EQ(m.bahd[1]->shown_certfile, "135171d5ad23860d4b1f39d138bdebd6");
    EXPECT_EQ(m.bahd[2]->shown_certfile, "mine");
    EXPECT_TRUE(m.bahd[3]->shown_certfile.empty());
    EXPECT_TRUE(m.bahd[4]->shown_certfile.empty());
    EXPECT_TRUE(m.bahd[0]->certfile.empty());
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
