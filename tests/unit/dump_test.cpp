#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "lookup.h"
#include "reader.h"
#include "reports.h"
#include "test_support.h"

namespace lbsnap {
namespace {

// Loads a configuration and dumps one VS of it.
class DumpTest : public ::testing::Test {
protected:
    void load(const std::string& conf) {
        ASSERT_EQ(load_text(m, conf, err.file()), LoadStatus::ok);
    }
    bahd_config_t& vs(int id) {
        bahd_config_t* v = find_vip_id(m, id);
        EXPECT_NE(v, nullptr);
        return *v;
    }
    std::string dump(int id) {
        testing::Capture out;
        Ctx c{m, opt, out.file(), err.file()};
        FollowEnds ends;
        print_vs(c, vs(id), ends);
        return out.str();
    }
    // The value of the first line "KEY: value", or "<none>".
    static std::string value(const std::string& text, const std::string& key) {
        std::string k = "\n" + key + ": ";
        std::string t = "\n" + text;
        auto p = t.find(k);
        if (p == std::string::npos) return "<none>";
        p += k.size();
        return t.substr(p, t.find('\n', p) - p);
    }

    testing::TempRoot root;
    testing::Capture err;
    Model m;
    Options opt;
};

const char* const plain_vs =
    "<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\n"
    "<IPVSADM>\n"
    "-a -r 192.168.1.1:80 -g -w 1 -I 1\n"
    "-a -r 192.168.1.2:80 -g -w 1 -I 2\n"
    "-a -r 192.168.1.3:80 -g -w 1 -I 3 -f 1\n"
    "<END>\n<END VS>\n";

TEST_F(DumpTest, NeedHealthOnlyFromPrintedEntries) {
    load(plain_vs);
    // Entries 0 and 1 have no follow; once they are gaps, only entry 2
    // remains, and it follows real server 1 of this same VS.
    vs(1).rsinfo[0].rip = "";
    vs(1).rsinfo[1].rip = "";
    EXPECT_EQ(value(dump(1), "NEEDHEALTH"), "1");
    vs(1).rsinfo[2].rsfollow = 42;  // no such real server: the chain ends nowhere
    EXPECT_EQ(value(dump(1), "NEEDHEALTH"), "0");
}

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

TEST_F(DumpTest, FollowEndsDoNotDependOnQueryOrder) {
    load(follow_graph);
    const int expected_end[] = {0, 4, 4, 2, 3, 2};  // by id; id 6 does not exist
    const int orders[][5] = {{1, 2, 3, 4, 5}, {5, 1, 4, 3, 2}, {3, 5, 2, 1, 4}};
    for (const auto& order : orders) {
        FollowEnds ends;
        for (int id : order) {
            const bahd_config_t* end = ends.end_of(m, id);
            ASSERT_NE(end, nullptr) << id;
            EXPECT_EQ(end->id, expected_end[id]) << "id " << id << " first " << order[0];
        }
        EXPECT_EQ(ends.end_of(m, 6), nullptr);
        EXPECT_EQ(ends.end_of(m, 0), nullptr);
    }
}

TEST_F(DumpTest, ComposedNamesAreNeverCut) {
    load(plain_vs);
    std::string dns(255, 'd');
    vs(1).rsinfo[0].dns = dns;
    std::string out = dump(1);
    EXPECT_NE(out.find("\nRS0: " + dns + "&nbsp;(192.168.1.1) 80 route 1 1 0 1 0 0 0 0 " + dns +
                       "\n"),
              std::string::npos);
}

const char* const master_conf =
    "<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\nMASTER: 1\n<IPVSADM>\n"
    "-a -r #2 -g -w 4\n-a -r #3 -g -w 5\n<END>\n<END VS>\n"
    "<SECTION VS>\nVID: 2\nPORT: 80\nPROTO: tcp\nSLAVE: 1\n<END VS>\n";

TEST_F(DumpTest, LongSubVsNameEscapedWhole) {
    load(master_conf);
    vs(2).name = std::string(127, '.');
    std::string escaped;
    for (int i = 0; i < 127; ++i) escaped += "&#046;";
    std::string out = dump(1);
    EXPECT_NE(out.find("\nRS0: " + escaped + " 2 route 4 1 0 0 0 0 0 0 \n"), std::string::npos);
    EXPECT_NE(out.find("\nRS1: - 3 route 5 1 0 0 0 0 0 0 \n"), std::string::npos);
    opt.aflag = 1;
    EXPECT_NE(dump(1).find("\nRS0: " + std::string(127, '.') + " 2 "), std::string::npos);
}

TEST_F(DumpTest, SubVsWithoutMatchingEntry) {
    load(master_conf);
    vs(1).rsinfo[0].port = 7;  // the master no longer names sub-VS 2
    std::string out = dump(2);
    EXPECT_EQ(value(out, "LABEL"), "subVS 3 (Id:2) of tcp/10.0.0.1:80");
    EXPECT_EQ(value(out, "WEIGHT"), "<none>");
    EXPECT_EQ(value(out, "LIMIT"), "<none>");
}

TEST_F(DumpTest, SubVsWithoutMasterGetsPlainLabel) {
    load("<SECTION VS>\nVID: 2\nVIP: 10.0.0.2\nPORT: 80\nPROTO: tcp\nSLAVE: 1\n<END VS>\n");
    std::string out = dump(2);
    EXPECT_EQ(value(out, "LABEL"), "tcp/10.0.0.2:80 (Id:2)");
    EXPECT_EQ(value(out, "PORT"), "80");
    EXPECT_EQ(value(out, "WEIGHT"), "<none>");
    EXPECT_EQ(value(out, "TOPVIP"), "10.0.0.2");
    EXPECT_EQ(value(out, "SLAVE_ENCRYPT"), "0");
}

TEST_F(DumpTest, SubVsOfReencryptingMaster) {
    load(master_conf);
    vs(1).sslaccel = "1";
    vs(1).reencrypt = 1;
    std::string out = dump(2);
    EXPECT_EQ(value(out, "IS_TRANSPARENT"), "1");
    EXPECT_EQ(value(out, "SLAVE_ENCRYPT"), "1");
    EXPECT_EQ(value(out, "TOPPORT"), "80");
    EXPECT_EQ(value(out, "WEIGHT"), "4");
}

TEST_F(DumpTest, ModelWritesHappenBeforeTheirLines) {
    load("<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\nFOLLOW: 443\n"
         "FOLLOWVSID: 0\nSSLACCEL: 1\nCIPHERS: AES128-SHA\n<END VS>\n"
         "<SECTION VS>\nVID: 5\nVIP: 10.0.0.1\nPORT: 443\nPROTO: tcp\n<END VS>\n");
    std::filesystem::create_directories(root.path("/corvane/cfg"));
    std::string out = dump(1);
    EXPECT_EQ(value(out, "FOLLOWVSID"), "5");
    EXPECT_EQ(value(out, "FOLLOWVS"), "tcp/10.0.0.1:443");
    EXPECT_EQ(value(out, "CIPHERSET"), "Custom_1");
    EXPECT_EQ(value(out, "CERTFILE").size(), 32u);
    EXPECT_EQ(vs(1).followvsid, 5);
    EXPECT_EQ(vs(1).cipher_set, "Custom_1");
    EXPECT_EQ(vs(1).certfile.str(), value(out, "CERTFILE"));
    EXPECT_EQ(root.read("/corvane/cfg/_CIPHER_SETS"), "Custom_1 AES128-SHA\n");
    // A second dump records the same set again without adding a line.
    dump(1);
    EXPECT_EQ(root.read("/corvane/cfg/_CIPHER_SETS"), "Custom_1 AES128-SHA\n");
}

TEST_F(DumpTest, UnresolvedFollowKeepsStoredId) {
    load("<SECTION VS>\nVID: 1\nVIP: 10.0.0.1\nPORT: 80\nPROTO: tcp\nFOLLOW: 8080\n<END VS>\n"
         "<SECTION VS>\nVID: 2\nVIP: 10.0.0.1\nPORT: 443\nPROTO: udp\nEXTRAPORTS: 8080\n<END VS>\n");
    vs(1).followvsid = 9;
    std::string out = dump(1);
    EXPECT_EQ(value(out, "FOLLOWVSID"), "9");
    EXPECT_EQ(value(out, "FOLLOWVS"), "<none>");  // no VS 9
    EXPECT_EQ(err.str(), "");
}

TEST_F(DumpTest, ControllersJoinedWithoutLeadingPlus) {
    load(plain_vs);
    root.write("/tmp/ext/1/waf", "waf\n");
    root.write("/corvane/addons/waf/manifest", "");
    root.write("/tmp/ext/1/auth", "auth\n");
    root.write("/corvane/addons/auth/manifest", "");
    std::string both = value(dump(1), "CONTROLLER");
    EXPECT_TRUE(both == "WAF+AUTH" || both == "AUTH+WAF") << both;
}

}  // namespace
}  // namespace lbsnap
