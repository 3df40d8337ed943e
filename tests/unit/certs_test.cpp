// Certificate helpers: the derived name and the self-signed test. The
// reports themselves are covered by the end-to-end cases.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "query/derived.h"
#include "report_harness.h"
#include "reports/certs.h"

namespace lbsnap {
namespace {

using testing::TempRoot;

// The certificate name an SSL VS with these settings offers, and whether it
// is derived.
using Shown = std::pair<std::string, bool>;
Shown shown(const std::string& settings) {
    const auto m = testing::load_ok(testing::tcp_vs("SSLACCEL: 1\n" + settings));
    const ShownCertfile name(testing::only_vs(*m));
    return {name.c_str(), name.derived()};
}

// Expected names: first 16 bytes of SHA-256 over the 16 address bytes and
// the port, low byte first, computed outside this code base.
TEST(ShownCertfile, HashesAddressAndLowPortBits) {
    EXPECT_EQ(shown("PORT: 443\n"), Shown("636e9ffc73a21d60d0b593567c7721fe", true));
    EXPECT_EQ(shown("VIP: 2001:db8::1\nPORT: 65979\n").first, "135171d5ad23860d4b1f39d138bdebd6");
    EXPECT_EQ(shown("CERTFILE: mine\n"), Shown("mine", false));
    EXPECT_EQ(shown("VIP: 10.0.0.1:443\n").first, "");
    EXPECT_EQ(shown("SSLACCEL:\n").first, "");
}

class IsSelf : public ::testing::Test {
protected:
    int isself_with(int hashsm, const char* cert) {
        r.opt.hashsm = hashsm;
        return isself(r.ctx(), cert);
    }
    TempRoot root;
    testing::ReportHarness r;
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
