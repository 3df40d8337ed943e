#include "lib/addrs.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "test_support.h"

namespace lbsnap {
namespace {

struct Parsed {
    int ok;
    int af;
    int port;
    std::string addr;  // bare printed address
};

Parsed parse(const std::string& text) {
    lm_sockaddr sa{};
    Parsed r{lm_str2addr(&sa, text.c_str()), 0, 0, ""};
    if (r.ok) {
        r.af = sa.sa.sa_family;
        r.port = lm_addrport(sa);
        lm_addr a;
        lm_unmapaddr(&a, sa);
        r.addr = lm_print_addr2(a);
    }
    return r;
}

void expect_parse(const std::string& text, int af, int port, const std::string& addr) {
    SCOPED_TRACE(text);
    Parsed p = parse(text);
    ASSERT_EQ(p.ok, 1);
    EXPECT_EQ(p.af, af);
    EXPECT_EQ(p.port, port);
    EXPECT_EQ(p.addr, addr);
    EXPECT_EQ(lm_is_v6(text.c_str()), af == AF_INET6);
    lm_addr a{};
    ASSERT_EQ(lm_cvtaddr(&a, text.c_str()), port == 0 ? 1 : 0);
    if (port == 0) {
        EXPECT_EQ(lm_print_addr2(a), addr);
    }
}

void expect_refused(const std::string& text) {
    EXPECT_EQ(parse(text).ok, 0) << text;
    EXPECT_EQ(lm_family(text.c_str()), 0) << text;
    EXPECT_FALSE(lm_is_v6(text.c_str())) << text;
    lm_addr a{};
    EXPECT_EQ(lm_cvtaddr(&a, text.c_str()), 0) << text;
}

const std::string kHex = "20010db8000000000000000000000001";

TEST(AddrParse, Forms) {
    struct Row {
        std::string text;
        int af, port;
        const char* addr;
    };
    const Row rows[] = {
        {"10.0.0.1", AF_INET, 0, "10.0.0.1"},
        {"10.0.0.1+80", AF_INET, 80, "10.0.0.1"},
        {"10.0.0.1:80", AF_INET, 80, "10.0.0.1"},
        {"10.0.0.1+*", AF_INET, 2, "10.0.0.1"},
        {"10.0.0.1:*", AF_INET, 2, "10.0.0.1"},
        {"255.255.255.255:65534", AF_INET, 65534, "255.255.255.255"},
        {"10.0.0.1:2", AF_INET, 2, "10.0.0.1"},
        // The port is read as strtol reads it: leading blanks and a sign pass.
        {"10.0.0.1: 80", AF_INET, 80, "10.0.0.1"},
        {"10.0.0.1:+80", AF_INET, 80, "10.0.0.1"},
        {"10.0.0.1++80", AF_INET, 80, "10.0.0.1"},  // only the first plus separates
        {"2001:db8::1", AF_INET6, 0, "2001:db8::1"},
        {"::", AF_INET6, 0, "::"},
        {"2001:db8::1+443", AF_INET6, 443, "2001:db8::1"},
        {"2001:db8::1+*", AF_INET6, 2, "2001:db8::1"},
        {"[2001:db8::1]", AF_INET6, 0, "2001:db8::1"},
        {"[2001:db8::1]:443", AF_INET6, 443, "2001:db8::1"},
        {"[2001:db8::1]+443", AF_INET6, 443, "2001:db8::1"},
        {"[::ffff:10.0.0.1]:*", AF_INET6, 2, "::ffff:10.0.0.1"},
        // With more than one colon the last group is read as part of the address.
        {"2001:db8::1:443", AF_INET6, 0, "2001:db8::1:443"},
        {kHex, AF_INET6, 0, "2001:db8::1"},
        {kHex + ":80", AF_INET6, 80, "2001:db8::1"},
        {kHex + ":*", AF_INET6, 2, "2001:db8::1"},
        {"FFFFffffFFFFffff0000000000000000", AF_INET6, 0, "ffff:ffff:ffff:ffff::"},
        {"ABCDefffFFFFffffA00000000000000A", AF_INET6, 0, "abcd:efff:ffff:ffff:a000::a"},
        {"abcdefABCDEF00000000000000000009", AF_INET6, 0, "abcd:efab:cdef::9"},
    };
    for (const Row& r : rows) expect_parse(r.text, r.af, r.port, r.addr);
}

TEST(AddrParse, Refusals) {
    for (const std::string& t : std::vector<std::string>{
             "10.0.0.1:65535", "10.0.0.1:1", "10.0.0.1:0", "10.0.0.1:", "10.0.0.1+",
             "10.0.0.1:80x", "10.0.0.1:-80", "10.0.0.1:**", "10.0.0.1:* ",
             "10.0.0.1:99999999999999999999999", "10.0.0.1+80:", "10.0.0.1 ", "10.1",
             "010.0.0.1x", "256.0.0.1", "host.example", "", ":80", "+80", "10.0.0.1:80+1",
             "10.0.0.1\t", "[2001:db8::1]x", "[2001:db8::1", "[2001:db8::1]:", "[2001:db8::1]:1",
             "[10.0.0.1]", "[]", "[", "[2001:db8::1]]", "[2001:db8::1]:80]",
             // a colon never separates a port from a colon-form address
             "2001:db8::1:443x", "2001:db8::1+", "2001:db8::1+65535", "2001:db8::1+80+",
             "2001:db8::g", kHex.substr(0, 31), kHex + "0", kHex + "+80", kHex + ":", kHex + ":1",
             "2001:db8000000000000000000000001",  // colon at the 5th place
             "g0010db8000000000000000000000001",  // non-hex digit
             "20010db800000000000000000000000x:80", kHex.substr(0, 31) + ":80"})
        expect_refused(t);
}

// Dotted quads are read by hand: the same texts as inet_pton takes, with
// the same address, over parts at and past every edge.
TEST(AddrParse, DottedQuadsAsInetPton) {
    const std::vector<std::string> parts = {"0", "00", "01", "9", "10", "99", "255", "256", "1000", "", "1a", "-1", " 1"};
    for (const std::string& a : parts)
        for (const std::string& b : {std::string("0"), std::string("255"), std::string("025")})
            for (const std::string& tail : {std::string(".7"), std::string(".7."), std::string(""), std::string(".7.8")}) {
                const std::string text = a + "." + b + ".1" + tail;
                in_addr want{};
                lm_addr got{};
                const bool ok = inet_pton(AF_INET, text.c_str(), &want) == 1;
                ASSERT_EQ(lm_cvtaddr(&got, text.c_str()) == 1 && got.af == AF_INET, ok) << text;
                if (ok) {
                    EXPECT_EQ(got.ad.v4.s_addr, want.s_addr) << text;
                }
            }
}

TEST(AddrParse, LongAndOddTexts) {
    std::string longtext(100000, '1');
    expect_refused(longtext);
    expect_refused("10.0.0.1:" + longtext);
    expect_refused("[" + longtext + "]:80");
    expect_refused(std::string(40, ':'));
    // Parts just short of and at the length no address reaches (the
    // sanitizer run sees a part overrun its buffer).
    expect_refused(std::string(62, '1'));
    expect_refused("[" + std::string(63, ':') + "]:80");
    expect_refused(longtext + "+80");
    lm_sockaddr sa{};
    EXPECT_EQ(lm_str2addr(&sa, nullptr), 0);
    // A NUL ends the text as for any C string.
    std::string withnul("10.0.0.1\0:80", 12);
    expect_parse(withnul, AF_INET, 0, "10.0.0.1");
}

// Every form's conversion is checked with the forms above; here, what a
// refused conversion leaves behind.
TEST(AddrConvert, CvtaddrRefusesPorts) {
    lm_addr b = lm_v4_zero_addr;
    EXPECT_EQ(lm_cvtaddr(&b, "2001:db8::1+443"), 0);
    EXPECT_EQ(b.af, AF_INET6);  // only the family is written
    lm_addr c = lm_v6_zero_addr;
    c.ad.v6.s6_addr[0] = 0x77;
    EXPECT_EQ(lm_cvtaddr(&c, "10.0.0.1:80"), 0);
    EXPECT_EQ(lm_cvtaddr(&c, "10.0.0.1+*"), 0);
    EXPECT_EQ(c.ad.v6.s6_addr[0], 0x77);
    c.af = 77;
    EXPECT_EQ(lm_cvtaddr(&c, "no.such.host"), 0);
    EXPECT_EQ(c.af, 77);  // untouched on a parse failure

    EXPECT_EQ(lm_family("10.0.0.1:80"), AF_INET);
    EXPECT_EQ(lm_family("[::1]:80"), AF_INET6);
    EXPECT_EQ(lm_family(kHex.c_str()), AF_INET6);
    EXPECT_EQ(lm_family("www.example.com"), 0);
}

lm_addr addr(const char* text) {
    lm_addr a;
    EXPECT_EQ(lm_cvtaddr(&a, text), 1) << text;
    return a;
}

TEST(AddrCompare, Order) {
    EXPECT_EQ(lm_addrcmp(addr("1.2.3.4"), addr("::1")), AF_INET6 - AF_INET);
    EXPECT_EQ(lm_addrcmp(addr("9.255.255.255"), addr("10.0.0.0")), -1);
    EXPECT_EQ(lm_addrcmp(addr("10.0.0.0"), addr("9.255.255.255")), 1);
    EXPECT_EQ(lm_addrcmp(addr("255.0.0.0"), addr("1.0.0.0")), 1);  // unsigned
    EXPECT_EQ(lm_addrcmp(addr("10.0.0.1"), addr("10.0.0.1")), 0);
    EXPECT_LT(lm_addrcmp(addr("2001:db8::1"), addr("2001:db8::2")), 0);
    EXPECT_GT(lm_addrcmp(addr("ff00::"), addr("2001:db8::2")), 0);
    EXPECT_EQ(lm_addrcmp(addr(kHex.c_str()), addr("2001:db8::1")), 0);
    lm_addr odd1, odd2;
    odd1.af = odd2.af = 5;
    odd1.ad.v4.s_addr = 1;
    EXPECT_EQ(lm_addrcmp(odd1, odd2), 0);

    std::vector<lm_addr> v{addr("10.0.0.2"), addr("::2"), addr("9.0.0.1"), addr("::1")};
    std::sort(v.begin(), v.end(),
              [](const lm_addr& x, const lm_addr& y) { return lm_addrcmp(x, y) < 0; });
    std::vector<std::string> printed;
    for (const auto& a : v) printed.push_back(lm_print_addr(a));
    EXPECT_EQ(printed, (std::vector<std::string>{"[::1]", "[::2]", "9.0.0.1", "10.0.0.2"}));
}

TEST(AddrPrint, Forms) {
    EXPECT_EQ(lm_print_addr(addr("::1")), "[::1]");
    EXPECT_EQ(lm_print_addr2(addr("::1")), "::1");
    EXPECT_EQ(lm_print_addr2(addr("10.1.2.3")), "10.1.2.3");
    EXPECT_EQ(lm_print_addr(addr("2001:DB8:0:0:0:0:0:1")), "[2001:db8::1]");
    lm_addr none;
    EXPECT_EQ(lm_print_addr(none), "addr type 0");
    EXPECT_EQ(lm_print_addr2(none), "addr type 0");
    none.af = -12345678;
    EXPECT_EQ(lm_print_addr(none), "addr type -12345678");
}

// IPv6 addresses are written by hand as the platform's inet_ntop writes
// them: zero runs of every length and place, mapped and compatible IPv4
// tails, and addresses made of few distinct words.
TEST(AddrPrint, Ipv6AsInetNtop) {
    const std::vector<std::uint16_t> words = {0, 1, 0xffff, 0xa, 0x100, 0xfe80};
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    for (int n = 0; n < 20000; ++n) {
        lm_addr a;
        a.af = AF_INET6;
        for (int w = 0; w < 8; ++w) {
            const std::uint16_t v = n < 4096 ? ((n >> w % 6 & 1) ? 0 : words[(n + w) % 6])
                                             : words[(next() >> 16) % words.size()];
            a.ad.v6.s6_addr[2 * w] = static_cast<unsigned char>(v >> 8);
            a.ad.v6.s6_addr[2 * w + 1] = static_cast<unsigned char>(v);
        }
        if (n % 7 == 0) std::fill(a.ad.v6.s6_addr, a.ad.v6.s6_addr + 10, 0);
        if (n % 14 == 0) a.ad.v6.s6_addr[10] = a.ad.v6.s6_addr[11] = 0xff;
        char want[INET6_ADDRSTRLEN];
        ASSERT_TRUE(inet_ntop(AF_INET6, &a.ad.v6, want, sizeof want));
        ASSERT_EQ(lm_print_addr2(a), want) << n;
    }
}

TEST(AddrHash, FixedVectors) {
    // SHA-256 of the 16 address bytes and the port low byte first, first
    // 16 digest bytes; computed apart from this code.
    char h[33];
    ASSERT_EQ(lm_addr_hash("10.0.0.1", 443, h), 1);
    EXPECT_STREQ(h, "636e9ffc73a21d60d0b593567c7721fe");
    ASSERT_EQ(lm_addr_hash("10.0.0.1", 80, h), 1);
    EXPECT_STREQ(h, "fe8712b85839f70700b82756a506633e");
    ASSERT_EQ(lm_addr_hash("2001:db8::1", 0, h), 1);
    EXPECT_STREQ(h, "21bab73b32aba07f7e9617311cdb2f8b");
    ASSERT_EQ(lm_addr_hash(kHex.c_str(), 65535, h), 1);
    EXPECT_STREQ(h, "416ddbce44f5d4faa813263e93c26cbb");
    ASSERT_EQ(lm_addr_hash("0.0.0.0", 0, h), 1);
    EXPECT_STREQ(h, "60daa3a5f7dbfa200f8c82840ecf5b42");
}

TEST(AddrHash, RefusesPortsAndLeavesResult) {
    char h[33] = "untouched";
    EXPECT_EQ(lm_addr_hash("10.0.0.1:443", 443, h), 0);
    EXPECT_EQ(lm_addr_hash("[::1]:443", 443, h), 0);
    EXPECT_EQ(lm_addr_hash("not an address", 443, h), 0);
    EXPECT_STREQ(h, "untouched");
}

struct PortsResult {
    int rc;
    std::vector<int> ports;
    std::string err;
};

PortsResult ports_of(const char* src, int check = 1, int max = 511) {
    PortsResult r;
    r.ports = {999};  // must be replaced
    ::testing::internal::CaptureStderr();
    r.rc = lm_extraports(src, check, max, r.ports);
    r.err = ::testing::internal::GetCapturedStderr();
    return r;
}

std::string print_ports(const std::vector<int>& ports) {
    testing::Capture cap;
    lm_extraptofile(ports, cap.file());
    return cap.str();
}

TEST(ExtraPorts, Parse) {
    auto r = ports_of("8080, 8443\t9000-9002");
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.ports, (std::vector<int>{8080, 8443, 9000, 9001, 9002}));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ports_of("0x50").ports, std::vector<int>{80});
    EXPECT_EQ(ports_of("010").ports, std::vector<int>{8});
    EXPECT_EQ(ports_of("3 65535").ports, (std::vector<int>{3, 65535}));
    EXPECT_EQ(ports_of("65534-65535").ports, (std::vector<int>{65534, 65535}));
    EXPECT_EQ(ports_of("20-22,21,5-21,,  ,4").ports,
              (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                22}));
    auto empty = ports_of(" \t, ");
    EXPECT_EQ(empty.rc, 1);
    EXPECT_TRUE(empty.ports.empty());
    EXPECT_EQ(ports_of("").rc, 1);
}

TEST(ExtraPorts, Refusals) {
    for (const char* src : {"2", "0", "-5", "65536", "9000-9000", "9002-9000", "9000-", "http",
                            "80 http", "80x", "80-90x", "80-65536", "0x", "08", "-", "80--90",
                            "99999999999999999999999", "80-99999999999999999999"}) {
        auto r = ports_of(src);
        EXPECT_EQ(r.rc, 0) << src;
        EXPECT_TRUE(r.ports.empty()) << src;
        EXPECT_EQ(r.err, "Invalid port\n") << src;
        EXPECT_EQ(ports_of(src, 0).err, "") << src;
    }
}

TEST(ExtraPorts, TooMany) {
    auto r = ports_of("100-200 5", 1, 10);
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.ports, (std::vector<int>{5, 100, 101, 102, 103, 104, 105, 106, 107, 108}));
    EXPECT_EQ(r.err, "Too many extra ports\n");
    auto quiet = ports_of("3-65535", 0, 511);
    EXPECT_EQ(quiet.rc, 0);
    ASSERT_EQ(quiet.ports.size(), 511u);
    EXPECT_EQ(quiet.ports.front(), 3);
    EXPECT_EQ(quiet.ports.back(), 513);
    EXPECT_EQ(quiet.err, "");
    auto exact = ports_of("1000-1009", 1, 10);
    EXPECT_EQ(exact.rc, 1);
    EXPECT_EQ(exact.ports.size(), 10u);
}

TEST(ExtraPorts, Print) {
    EXPECT_EQ(print_ports({80, 443, 444, 8000, 8001, 8002}), "80,443,444,8000-8002\n");
    EXPECT_EQ(print_ports({}), "\n");
    EXPECT_EQ(print_ports({65534, 65535}), "65534,65535\n");
    EXPECT_EQ(print_ports({65533, 65534, 65535}), "65533-65535\n");
    EXPECT_EQ(print_ports({9, 7, 8, 7, 3}), "3,7-9\n");
    EXPECT_EQ(print_ports({5, -1, 70000}), "5\n");
}

TEST(CheckCodes, Parse) {
    std::vector<int> list{1};
    EXPECT_EQ(lm_check2codes("301 404  599 300", 64, list), 0);
    EXPECT_EQ(list, (std::vector<int>{301, 404, 599, 300}));
    EXPECT_EQ(lm_check2codes("200 301 404", 64, list), -1);
    EXPECT_EQ(list, (std::vector<int>{301, 404}));
    EXPECT_EQ(lm_check2codes("302,303", 64, list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(lm_check2codes("301\t302 600 30x 99999999999999999999", 64, list), -1);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(lm_check2codes("", 64, list), 0);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(lm_check2codes("   ", 64, list), 0);
}

TEST(CheckCodes, StopsAfter64) {
    std::string src;
    for (int i = 0; i < 70; ++i) src += std::to_string(300 + i) + " ";
    std::vector<int> list;
    EXPECT_EQ(lm_check2codes((src + "bad").c_str(), 64, list), 0);  // "bad" is never looked at
    ASSERT_EQ(list.size(), 64u);
    EXPECT_EQ(list.back(), 363);
    EXPECT_EQ(lm_check2codes(("bad " + src).c_str(), 64, list), -1);
    EXPECT_EQ(list.size(), 64u);
}

}  // namespace
}  // namespace lbsnap
