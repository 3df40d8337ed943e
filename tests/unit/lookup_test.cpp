#include "query/lookup.h"

#include <gtest/gtest.h>

#include "app/vs_argument.h"
#include "config_text.h"

namespace lbsnap {
namespace {

using testing::load_ok;
using testing::vs_section;

std::string vs(int id, const std::string& vip, int port, const std::string& more = "") {
    return vs_section("VID: " + std::to_string(id) + "\nVIP: " + vip + "\nPORT: " +
                      std::to_string(port) + "\nPROTO: tcp\n" + more);
}

class Lookup : public ::testing::Test {
protected:
    Lookup()
        : m(load_ok(vs(1, "10.0.0.1", 80, "NAME: web\nEXTRAPORTS: 8080\n<IPVSADM>\n-a -r 10.1.0.1:80 -I 5\n") +
                    vs(2, "10.0.0.1", 443) + vs(3, "10.0.0.5", 53, "PROTO: udp\nALTVIP: 10.0.0.6\n") +
                    vs(4, "2001:db8::1", 443) + vs(5, "10.0.0.7", 80, "NAME: 10.0.0.9\n") +
                    vs(6, "10.0.0.8", 80, "MASTER: 1\n<IPVSADM>\n-a -r #12 -I 5\n") +
                    vs(12, "10.0.0.20", 80, "SLAVE: 6\nNAME: sub\n<IPVSADM>\n-a -r 10.1.0.9:80 -I 9\n") +
                    vs(8, "10.0.0.30", 80, "NAME: 77\n") +
                    // Later in the file but earlier in the list: its real
                    // server 5 is the first one.
                    vs(9, "9.0.0.1", 80, "<IPVSADM>\n-a -r 10.1.0.2:80 -I 5\n"))) {}

    // The id found for `arg` (0: none) and what was written on err.
    std::pair<int, std::string> locate(const char* arg) {
        testing::Capture err;
        Options opt;
        Ctx c{*m, opt, stdout, err.file()};
        const bahd_config_t* found = named_vs(c, arg);
        return {found ? found->id : 0, err.str()};
    }

    std::unique_ptr<Model> m;
};

// Errors: "U" is "Unknown VIP <arg>", "IU" the invalid-address line before it.
TEST_F(Lookup, IdsNamesAndAddresses) {
    const struct { const char* arg; int id; std::string err; } rows[] = {
        {"3", 3, ""}, {"003", 3, ""}, {"77", 0, "U"},  // ids win over names
        {"web", 1, ""}, {"10.0.0.9", 5, ""},  // a name before an address
        {"sub", 12, ""}, {"12", 12, ""}, {"webserver", 0, "U"}, {" 7", 0, "U"},
        {"0", 0, "IU"}, {"7x", 0, "IU"},
        {"10.0.0.1", 0, "VS not fully qualified\n"}, {"10.0.0.1:443", 2, ""},
        {"tcp/10.0.0.1:443", 2, ""}, {"TCP/10.0.0.1+80", 1, ""}, {"10.0.0.1:8080", 1, ""},
        {"udp/10.0.0.1:80", 0, "Unknown VS\n"}, {"10.0.0.6:53", 3, ""}, {"udp/10.0.0.6", 3, ""},
        {"[2001:DB8:0::1]:443", 4, ""},
        {"10.0.0.20", 0, "Unknown VS\n"},  // sub-VSs have no address
        {"sctp/10.0.0.1:80", 0, "U"},
        {"tcp/10.0.0.999", 0, "Invalid IP spec: '10.0.0.999'\nUnknown VIP <tcp/10.0.0.999>\n"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.arg);
        std::string unknown = "Unknown VIP <" + std::string(r.arg) + ">\n";
        std::string err = r.err == "U"    ? unknown
                          : r.err == "IU" ? "Invalid IP spec: '" + std::string(r.arg) + "'\n" + unknown
                                          : r.err;
        EXPECT_EQ(locate(r.arg), std::make_pair(r.id, err));
    }
}

TEST_F(Lookup, FindVipCurSkipsTheCurrentVsAndNeverFails) {
    const bahd_config_t* one = find_vip_id(*m, 1);
    const bahd_config_t* two = find_vip_id(*m, 2);
    EXPECT_EQ(find_vip_cur(*m, one, "10.0.0.1", nullptr, 0).vs, two);
    EXPECT_EQ(find_vip_cur(*m, two, "10.0.0.1", tcp_string, 0).vs, one);
    EXPECT_EQ(find_vip_cur(*m, find_vip_id(*m, 3), "10.0.0.1", nullptr, 0).vs, one);
    VsLookup none = find_vip_cur(*m, one, "10.0.0.5", udp_string, 80);
    EXPECT_EQ(none.vs, nullptr);
    EXPECT_EQ(none.error.failure, LookupFailure::none);
}

TEST_F(Lookup, RealServersByNumberSkipMasters) {
    const bahd_config_t* holder = nullptr;
    const rs_info_t* rs = find_rs_follow(*m, 5, &holder);
    ASSERT_NE(rs, nullptr);
    EXPECT_EQ(rs->rip.str(), "10.1.0.2");
    EXPECT_EQ(holder->id, 9);
    EXPECT_EQ(find_rs_follow(*m, 9, nullptr)->rip.str(), "10.1.0.9");
    holder = nullptr;
    EXPECT_EQ(find_rs_follow(*m, 4, &holder), nullptr);
    EXPECT_EQ(holder, nullptr);
}

TEST(LookupForms, IdAndAddressShapes) {
    for (auto [text, want] : {std::pair{"7", 7}, {"007", 7}, {"0", -1}, {"7 ", -1}, {"+7", -1}, {"", -1}})
        EXPECT_EQ(id_to_vip(text), want) << text;
    for (auto [text, want] : {std::pair{"10.0.0.1", 1}, {"udp/1", 1}, {"[::1]", 1}, {"fe80::1", 1},
                              {"[abc]", 0}, {"tcp/web", 0}, {"x/10.0.0.1", 0}})
        EXPECT_EQ(maybe_ip(text), want) << text;
}

TEST(LookupForms, ValidateIpNormalisesAndSplitsTheProtocol) {
    const char* prot = "unset";
    int port = -1;
    AddrText buf;
    LookupError error;
    EXPECT_EQ(validate_ip("UDP/10.0.0.1+*", &prot, &port, buf, &error), "10.0.0.1");
    EXPECT_EQ(prot, udp_string);
    EXPECT_EQ(port, 2);
    EXPECT_EQ(validate_ip("2001:0DB8::0001+443", &prot, &port, buf, &error), "2001:db8::1");
    EXPECT_EQ(prot, nullptr);
    EXPECT_EQ(port, 443);
    EXPECT_EQ(validate_ip("#12", nullptr, &port, buf, &error), "#12");
    EXPECT_EQ(port, 12);
    EXPECT_EQ(error.failure, LookupFailure::none);
    EXPECT_EQ(validate_ip("ftp/10.0.0.1", &prot, &port, buf, &error), std::nullopt);
    EXPECT_EQ(error.failure, LookupFailure::invalid_protocol);
    const char* text = "tcp/10.0.0.1";
    EXPECT_EQ(validate_ip(text, nullptr, &port, buf, &error), std::nullopt);
    EXPECT_EQ(error.failure, LookupFailure::invalid_address);
    EXPECT_EQ(error.refused, text);
    // Only the lookup of a VS argument puts the argument after the reason.
    testing::Capture err;
    print_lookup_failure(err.file(), "ftp/10.0.0.1", {LookupFailure::invalid_protocol});
    EXPECT_EQ(err.str(), "Invalid protocol specifier\nUnknown VIP <ftp/10.0.0.1>\n");
}

}  // namespace
}  // namespace lbsnap
