#include <gtest/gtest.h>
#include <syslog.h>

#include <string>
#include <utility>
#include <vector>

#include "report_harness.h"
#include "reports/stats.h"

namespace lbsnap {
namespace {

using Harness = testing::ReportHarness;
using testing::LogLine;

TEST(AuthNames, ClientSideNamesRecordedOnceInOrderMet) {
    Harness r;
    Ctx c = r.ctx();
    std::string names;
    for (int v : {1, 1, 8, 3, 7, 0, 2, 8}) set_inauth_data(c, names, v);
    EXPECT_EQ(names, "Basic Authentication;OIDC-OAUTH;Delegate to Server;Form Based;");
    EXPECT_TRUE(r.log.empty());
    set_inauth_data(c, names, 9);
    set_inauth_data(c, names, -1);
    EXPECT_EQ(names, "Basic Authentication;OIDC-OAUTH;Delegate to Server;Form Based;");
    const std::vector<LogLine> want = {{LOG_ERR, "value [9] out of range!!!\n"},
                                       {LOG_ERR, "value [-1] out of range!!!\n"}};
    EXPECT_EQ(r.log, want);
}

TEST(AuthNames, ServerSideZeroIsSilentAndFiveIsOutOfRange) {
    Harness r;
    Ctx c = r.ctx();
    std::string names;
    for (int v : {0, 3, 4, 3, 1, 2}) set_outauth_data(c, names, v);
    EXPECT_EQ(names, "KCD;Server Token;Basic Authentication;Form Based;");
    EXPECT_TRUE(r.log.empty());
    set_outauth_data(c, names, 5);
    EXPECT_EQ(r.log, (std::vector<LogLine>{{LOG_ERR, "value [5] out of range!!!\n"}}));
}

TEST(Callhome, OutOfRangeModeOnlyLogs) {
    Harness r(testing::tcp_vs("ESP: 1\nINAUTH: 9\nOUTAUTH: 7\n"));
    Ctx c = r.ctx();
    gen_callhomedata(c);
    EXPECT_NE(r.out.str().find("espvs_cnt=1&sdn_inuse=no&client_auth=&server_auth=&"),
              std::string::npos);
    const std::vector<LogLine> want = {{LOG_ERR, "value [9] out of range!!!\n"},
                                       {LOG_ERR, "value [7] out of range!!!\n"}};
    EXPECT_EQ(r.log, want);
}

}  // namespace
}  // namespace lbsnap
