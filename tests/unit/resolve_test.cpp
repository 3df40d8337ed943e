#include <gtest/gtest.h>
#include <syslog.h>

#include <string>
#include <utility>
#include <vector>

#include "lib/addrs.h"
#include "report_harness.h"
#include "reports/resolve.h"

namespace lbsnap {
namespace {

// The texts of the records built outside a model.
TextArena texts;

rs_info_t server(const char* rip, const char* dns = "", int enabled = 1, int id = 0) {
    rs_info_t rs;
    rs.rip.assign(texts, rip);
    rs.dns.assign(texts, dns);
    rs.enabled = enabled;
    rs.id = id;
    return rs;
}

bahd_config_t& add_vs(Model& m, int id, std::vector<rs_info_t> servers) {
    auto vs = std::make_unique<bahd_config_t>();
    vs->id = id;
    vs->vip.assign(m.arena, "10.9.9." + std::to_string(id));
    vs->port = 80;
    vs->rsinfo = std::move(servers);
    m.bahd.push_back(std::move(vs));
    return *m.bahd.back();
}

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

// Names asked once each, however many servers carry them; the answers that
// arrive last (the first names in list order) still come first.
TEST(ResolvRealnames, ChangeScriptAndLogLinesForEveryNamedServer) {
    Harness r;
    add_vs(r.m, 3, {server("127.0.0.1", "same.example", 1, 1),
                    server("10.0.0.5", "moved.example", 1, 2), server("10.0.0.6", "", 1, 3),
                    server("10.0.0.8:80", "port.example", 1, 4)});
    bahd_config_t& master = add_vs(r.m, 4, {server("#5", "master.example", 1, 5)});
    master.ismaster = 1;
    add_vs(r.m, 5, {server("10.0.0.7", "gone.example", 0, 6)});
    add_vs(r.m, 6, {server("::2", "v6.example", 1, 7), server("10.0.0.9", "moved.example", 1, 8)});
    testing::SlowAnswers resolver{{{"same.example", {"127.0.0.1", 80}},
                                   {"moved.example", {"10.0.0.50", 60}},
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
        {LOG_DEBUG, "Resolved to the same address 127.0.0.1 same.example\n"},
        {LOG_INFO, "changing RS#2 (moved.example) from 10.0.0.5 to 10.0.0.50\n"},
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
