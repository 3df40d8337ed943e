// Certificate helpers: the default name, the self-signed test, the grouping
// by name and the shell lists.
#include <gtest/gtest.h>

#include <string>

#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

using testing::Capture;
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
    EXPECT_EQ(isself_with(0, ""), 1);
    EXPECT_EQ(isself_with(1, ""), 1);
    EXPECT_EQ(isself_with(0, "a b"), 0);
    EXPECT_EQ(isself_with(1, "a b"), 0);
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

TEST(CertList, GroupsByNameInListOrder) {
    bahd_config_t a = ssl_vs(5, "10.0.0.2", 443, "shared");
    bahd_config_t b = ssl_vs(6, "10.0.0.3", 2, "other");
    bahd_config_t d = ssl_vs(7, "10.0.0.4", 443, "shared");
    d.vip2 = "10.0.0.5";
    bahd_config_t rev = ssl_vs(8, "10.0.0.6", 443, "shared");
    rev.reverse = 1;
    CertList certs;
    for (bahd_config_t* vs : {&a, &b, &d, &rev}) certs.certname(*vs, 0);
    EXPECT_EQ(certs.ncerts(), 2);

    Model m;
    Options opt;
    Capture out;
    Ctx c{m, opt, out.file(), stderr};
    certs.print_certname(c, "shared");
    certs.print_certname(c, "nobody");
    EXPECT_EQ(out.str(),
              "NADDRS: 2\n"
              "VIP0: 10.0.0.2\nPORT0: 443\nVID0: 5\nADDR0 10.0.0.2:443\n"
              "VIP1: 10.0.0.4\nPORT1: 443\nVID1: 7\nADDR1 10.0.0.4:443+10.0.0.5\n");
}

TEST(CertList, ClientCertificatesOnlyOfReencryptingVss) {
    bahd_config_t a = ssl_vs(1, "10.0.0.2", 443);
    a.clientcertfile = "client";
    bahd_config_t b = ssl_vs(2, "10.0.0.3", 443);
    b.clientcertfile = "client";
    b.reencrypt = 1;
    CertList certs;
    certs.certname(a, 1);
    certs.certname(b, 1);
    EXPECT_EQ(certs.ncerts(), 1);
    EXPECT_TRUE(a.certfile.empty());  // no default name for client grouping

    Model m;
    Options opt;
    Capture out;
    Ctx c{m, opt, out.file(), stderr};
    certs.print_certname(c, "client");
    EXPECT_EQ(out.str(), "NADDRS: 1\nVIP0: 10.0.0.3\nPORT0: 443\nVID0: 2\nADDR0 10.0.0.3:443\n");
}

TEST(CertCounts, ListsStartWithoutSeparator) {
    CertCounts counts;
    EXPECT_FALSE(counts.dellist);
    bahd_config_t a = ssl_vs(3, "10.0.0.2", 2);
    bahd_config_t b = ssl_vs(12, "2001:db8::1", 443);
    b.vip2 = "10.0.0.9";  // the lists never show the alternate address
    counts.add_clist(a);
    counts.add_clist(b);
    EXPECT_EQ(counts.NADDRS, 2);
    EXPECT_EQ(*counts.dellist, "3 10.0.0.2:* 12 [2001:db8::1]:443");
    EXPECT_EQ(*counts.servlist, "10.0.0.2:*<br>[2001:db8::1]:443");
}

}  // namespace
}  // namespace lbsnap
