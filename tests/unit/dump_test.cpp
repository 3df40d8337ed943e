#include <gtest/gtest.h>
#include <syslog.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "app/dispatch.h"
#include "lib/exit_status.h"
#include "query/follow_chain.h"
#include "report_harness.h"
#include "reports/dump.h"
#include "reports/dump_entries.h"
#include "reports/json.h"

namespace lbsnap {
namespace {

// Real servers 1 -> 2 -> 3 -> 4 -> 2 (a cycle through 2, 3, 4) and 5 -> 3,
// each in a VS of its own id. A walk stops at the first repeat, so each id
// of the cycle ends at its predecessor's VS, whichever walk met it first.
const char* const follow_graph =
    "<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.1:80 -I 1 -f 2\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 2\nVIP: 10.0.0.2\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.2:80 -I 2 -f 3\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 3\nVIP: 10.0.0.3\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.3:80 -I 3 -f 4\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 4\nVIP: 10.0.0.4\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.4:80 -I 4 -f 2\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 5\nVIP: 10.0.0.5\nPORT: 80\nPROTO: tcp\n<IPVSADM>\n"
    "-a -r 192.168.1.5:80 -I 5 -f 3\n<END>\n<END VS>\n";

TEST(FollowEnds, DoNotDependOnQueryOrder) {
    const auto m = testing::load_ok(follow_graph);
    const int expected_end[] = {0, 4, 4, 2, 3, 2};  // by id; id 6 does not exist
    const int orders[][5] = {{1, 2, 3, 4, 5}, {5, 1, 4, 3, 2}, {3, 5, 2, 1, 4}};
    for (const auto& order : orders) {
        RsFollowChains chains(*m, ZeroFollow::ends);
        if (order[0] == 3) chains.settle_all();  // walked whole first, as a dump on two threads does
        for (int id : order) {
            const auto chain = chains.from_id(id);
            ASSERT_TRUE(chain) << id;
            EXPECT_EQ(chain->end_vs->id, expected_end[id]) << "id " << id << " first " << order[0];
        }
        EXPECT_FALSE(chains.from_id(6));
        EXPECT_FALSE(chains.from_id(0));
    }
}

// ---- recording cipher sets while another writer holds the lock ----

// SSL VSs 1 to n, all listing the ciphers `list`: a custom set each.
std::string ssl_vss(int n, const std::string& list) {
    std::string conf;
    for (int id = 1; id <= n; ++id) {
        const std::string i = std::to_string(id);
        conf += "<SECTION VS>\nVID: " + i + "\nVIP: 10.0.0." + i +
                "\nPORT: 443\nPROTO: tcp\nSSLACCEL: 1\nCIPHERS: " + list + "\n<END VS>\n";
    }
    return conf;
}

struct TimedDump {
    std::string out;
    std::vector<testing::LogLine> log;
    std::chrono::steady_clock::duration took;
};

// The dump of every VS, as the app runs it.
TimedDump dump_all(const std::string& conf) {
    testing::ReportHarness r(conf);
    Ctx c = r.ctx();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(perform_command(c, Command::dump, nullptr), kExitOk);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(r.err.str(), "");
    return {r.out.str(), r.log, took};
}

// One bounded wait per run, however many sets; none when every set is
// recorded already. The time bounds only tell one wait from several (or
// from none): they are no speed targets.
TEST(DumpCipherSets, HeldLockCostsARunOneWaitAtMost) {
    testing::TempRoot root;
    const std::string cfg = root.path("/corvane/cfg");
    std::filesystem::create_directories(cfg);
    const TimedDump recorded = dump_all(ssl_vss(30, "AES-OLD"));
    const std::string file = root.read("/corvane/cfg/_CIPHER_SETS");
    ASSERT_NE(file.find("Custom_30 AES-OLD\n"), std::string::npos);

    testing::SettingsLockHolder holder(cfg);
    ASSERT_TRUE(holder.lock());
    const TimedDump again = dump_all(ssl_vss(30, "AES-OLD"));
    EXPECT_LT(again.took, std::chrono::seconds(1));
    EXPECT_EQ(again.out, recorded.out);
    EXPECT_TRUE(again.log.empty());

    const testing::LogLine run_line{
        LOG_WARNING, "cipher sets not recorded: lock on " + cfg + " not obtained within 5 s"};
    std::vector<TimedDump> held;
    for (int n : {4, 30}) {
        held.push_back(dump_all(ssl_vss(n, "AES-NEW")));
        const TimedDump& d = held.back();
        EXPECT_LT(d.took, std::chrono::milliseconds(5500)) << n;
        ASSERT_EQ(d.log.size(), static_cast<std::size_t>(n) + 1) << n;
        EXPECT_EQ(d.log[0], run_line);
        EXPECT_EQ(d.log[n], (testing::LogLine{LOG_WARNING, "cipher set Custom_" + std::to_string(n) +
                                                               " not recorded: lock not obtained in time"}));
    }
    EXPECT_EQ(root.read("/corvane/cfg/_CIPHER_SETS"), file);

    // What was printed does not depend on the lock.
    holder.release();
    const TimedDump free = dump_all(ssl_vss(30, "AES-NEW"));
    EXPECT_EQ(held.back().out, free.out);
    EXPECT_TRUE(free.log.empty());
    EXPECT_NE(root.read("/corvane/cfg/_CIPHER_SETS").find("Custom_30 AES-NEW\n"), std::string::npos);
    std::vector<std::string> entries;
    for (const auto& e : std::filesystem::directory_iterator(cfg)) entries.push_back(e.path().filename());
    EXPECT_EQ(entries, std::vector<std::string>{"_CIPHER_SETS"});
}

// ---- the dump of every VS goes out in blocks, made on two threads ----

// Groups of four VSs, `groups` of them, of the shapes a large dump meets: an
// SSL VS with a custom cipher list (recorded while dumping), an IPv6 VS
// with rules whose real servers follow the previous group's, and a master
// with its two sub-VSs. Names and rule lists vary in length, so block
// boundaries fall anywhere in the text.
std::string varied_vss(int groups) {
    std::string conf = testing::rule_section(1) + testing::rule_section(2);
    for (int g = 0; g < groups; ++g) {
        const std::string n = std::to_string(g);
        const std::string id = std::to_string(4 * g + 1);
        const std::string v4 = "10." + std::to_string(g / 200) + "." + std::to_string(g % 200) + ".";
        const std::string name = "NAME: " + std::string(static_cast<std::size_t>(g % 37), 'n') + "<&>\n";
        conf += "<SECTION VS>\nVID: " + id + "\nVIP: " + v4 + "1\nPORT: 443\nPROTO: tcp\n" + name +
                "SSLACCEL: 1\nCIPHERS: AES" + n + "\n<IPVSADM>\n-a -r 192.168.0.1:80 -w " + n + "\n<END>\n<END VS>\n";
        conf += "<SECTION VS>\nVID: " + std::to_string(4 * g + 2) + "\nVIP: 2001:db8::" + n +
                "\nPORT: 80\nPROTO: tcp\nRULES: 1" + (g % 2 ? ",2" : "") + "\n<IPVSADM>\n-a -r [2001:db8:1::" + n +
                "]:80 -m -I " + std::to_string(100 + g) + " -f " + std::to_string(g ? 99 + g : 0) + "\n<END>\n<END VS>\n";
        const std::string master = std::to_string(4 * g + 3);
        conf += "<SECTION VS>\nVID: " + master + "\nVIP: " + v4 + "2\nPORT: 80\nPROTO: tcp\nMASTER: 1\n<IPVSADM>\n" +
                "-a -r #" + std::to_string(4 * g + 4) + " -w 2\n-a -r #" + id + " -w 1\n<END>\n<END VS>\n";
        conf += "<SECTION VS>\nVID: " + std::to_string(4 * g + 4) + "\nVIP: " + v4 + "2\nPORT: 80\nPROTO: tcp\n" +
                "SLAVE: " + master + "\n<IPVSADM>\n-a -r 192.168.1." + std::to_string(g % 250) + ":8080 -m\n<END>\n<END VS>\n";
    }
    return conf;
}

struct DumpAndSets {
    std::string out;
    std::string sets;  // the custom cipher-set file the dump left
};

// The dump of every VS as the app makes it (--json with json), in a fresh root.
DumpAndSets dump_every(const std::string& conf, bool raw, bool json) {
    testing::TempRoot root;
    std::filesystem::create_directories(root.path("/corvane/cfg"));
    testing::ReportHarness r(conf);
    r.opt.aflag = raw;
    r.opt.json = json;
    Ctx c = r.ctx();
    EXPECT_EQ(perform_command(c, Command::dump, nullptr), kExitOk);
    EXPECT_EQ(r.err.str(), "");
    return {r.out.str(), root.read("/corvane/cfg/_CIPHER_SETS")};
}

// The same from the dumps of single VSs, one after the other in list order.
DumpAndSets dump_one_by_one(const std::string& conf, bool raw, bool json) {
    testing::TempRoot root;
    std::filesystem::create_directories(root.path("/corvane/cfg"));
    testing::ReportHarness r(conf);
    r.opt.aflag = raw;
    Ctx c = r.ctx();
    CipherSetRecorder sets(c.log);
    if (json) {
        DumpRun run(&sets);
        JsonWriter w(c.out);
        w.begin_array();
        for (const auto& vs : r.m->bahd) json_vs(w, *r.m, *vs, run);
        w.end_array();
    } else {
        for (const auto& vs : r.m->bahd) print_vs(c, *vs, sets);
    }
    return {r.out.str(), root.read("/corvane/cfg/_CIPHER_SETS")};
}

TEST(DumpBlocks, EveryVsIsTheSingleDumpsInListOrder) {
    const std::string conf = varied_vss(100);  // 400 VSs: many blocks on both threads
    for (bool raw : {false, true})
        for (bool json : {false, true}) {
            const DumpAndSets every = dump_every(conf, raw, json);
            const DumpAndSets each = dump_one_by_one(conf, raw, json);
            EXPECT_GT(each.out.size(), std::size_t{1} << 18) << raw << json;
            EXPECT_EQ(testing::first_difference(every.out, each.out), "") << raw << json;
            EXPECT_NE(each.sets.find("Custom_397 AES99\n"), std::string::npos);
            EXPECT_EQ(every.sets, each.sets) << raw << json;
        }
}

}  // namespace
}  // namespace lbsnap
