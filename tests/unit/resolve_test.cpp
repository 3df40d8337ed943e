#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netdb.h>
#include <sys/un.h>
#include <syslog.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "report_harness.h"
#include "reports/resolve.h"

namespace lbsnap {
namespace {

using Harness = testing::ReportHarness;
using testing::LogLine;

TEST(ResolvRealnames, PrintsTheFirstResolvedAddress) {
    Harness r;
    Ctx c = r.ctx();
    resolv_realnames(c, "localhost");
    resolv_realnames(c, "::1");
    resolv_realnames(c, "nonexistent.invalid");
    EXPECT_EQ(r.out.str(), "127.0.0.1\n::1\n");
    EXPECT_TRUE(r.log.empty());
}

// An answer of a family or length the tool does not handle counts as no
// answer: -d prints nothing for it, -D logs the name as not resolved.
TEST(AnswerAddress, TakesWholeIPv4AndIPv6AnswersOnly) {
    sockaddr_in v4{};
    v4.sin_family = AF_INET;
    inet_pton(AF_INET, "192.0.2.7", &v4.sin_addr);
    sockaddr_in6 v6{};
    v6.sin6_family = AF_INET6;
    inet_pton(AF_INET6, "2001:db8::7", &v6.sin6_addr);
    sockaddr_un local{};
    local.sun_family = AF_UNIX;
    auto text = [](const void* sa, std::size_t len) {
        addrinfo ai{};
        ai.ai_addr = static_cast<sockaddr*>(const_cast<void*>(sa));
        ai.ai_family = ai.ai_addr->sa_family;
        ai.ai_addrlen = static_cast<socklen_t>(len);
        const std::optional<lm_addr> a = answer_address(ai);
        return a ? lm_print_addr2(*a) : "none";
    };
    EXPECT_EQ(text(&v4, sizeof v4), "192.0.2.7");
    EXPECT_EQ(text(&v6, sizeof v6), "2001:db8::7");
    EXPECT_EQ(text(&v4, sizeof v4 - 1), "none");
    EXPECT_EQ(text(&v6, sizeof v4), "none");
    EXPECT_EQ(text(&local, sizeof local), "none");
}

// Names asked once each, however many servers carry them; the answers that
// arrive last (the first names in list order) still come first. A real
// server whose address is no address (a sub-VS reference outside a master)
// is passed over, as are a master's entries.
TEST(ResolvRealnames, ChangeScriptAndLogLinesForEveryNamedServer) {
    using testing::vs_section;
    Harness r(vs_section("VID: 3\nVIP: 10.9.9.3\n<IPVSADM>\n-a -r 127.0.0.1 -d same.example -I 1\n"
                         "-a -r 10.0.0.5 -d moved.example -I 2\n-a -r 10.0.0.6 -I 3\n"
                         "-a -r #9 -d sub.example -I 4\n") +
              vs_section("VID: 4\nVIP: 10.9.9.4\nMASTER: 1\n<IPVSADM>\n-a -r #5 -d master.example\n") +
              vs_section("VID: 5\nVIP: 10.9.9.5\n<IPVSADM>\n!-a -r 10.0.0.7 -d gone.example -I 6\n") +
              vs_section("VID: 6\nVIP: 10.9.9.6\n<IPVSADM>\n-a -r [::2]:80 -d v6.example -I 7\n"
                         "-a -r 10.0.0.9 -d moved.example -I 8\n"));
    testing::SlowAnswers resolver{{{"moved.example", {"10.0.0.50", 80}},
                                   {"same.example", {"127.0.0.1", 60}},
                                   {"gone.example", {std::nullopt, 40}},
                                   {"v6.example", {"::1", 20}}}};
    Ctx c = r.ctx();
    resolv_realnames(c, nullptr, [&](const char* name) -> std::optional<lm_addr> {
        lm_addr a;
        const std::optional<std::string> text = resolver(name);
        if (!text || !lm_cvtaddr(&a, text->c_str())) return std::nullopt;
        return a;
    });
    EXPECT_EQ(r.out.str(),
              "vip 3\nserver #2\naddr 10.0.0.50\nexit\nexit\n"
              "vip 6\nserver #7\naddr ::1\nexit\nserver #8\naddr 10.0.0.50\nexit\nexit\n");
    const std::vector<LogLine> want = {
        {LOG_INFO, "changing RS#2 (moved.example) from 10.0.0.5 to 10.0.0.50\n"},
        {LOG_DEBUG, "Resolved to the same address 127.0.0.1 same.example\n"},
        {LOG_INFO, "Resolve of gone.example failed\n"},
        {LOG_INFO, "changing RS#7 (v6.example) from ::2 to ::1\n"},
        {LOG_INFO, "changing RS#8 (moved.example) from 10.0.0.9 to 10.0.0.50\n"},
    };
    EXPECT_EQ(r.log, want);
    EXPECT_EQ(resolver.take_asked(), (std::vector<std::string>{"gone.example", "moved.example",
                                                               "same.example", "v6.example"}));
}

}  // namespace
}  // namespace lbsnap
