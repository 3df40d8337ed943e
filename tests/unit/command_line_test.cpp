#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "test_support.h"

namespace lbsnap {
namespace {

struct Parsed {
    CommandLine cl;
    int status = 0;
    std::string err;
    std::vector<std::string> storage;  // keeps optarg/arg pointers alive
    std::vector<char*> argv;
};

// getopt permutes argv and keeps pointers into it, so the strings live in
// the result.
std::unique_ptr<Parsed> parse(std::vector<std::string> args) {
    auto p = std::make_unique<Parsed>();
    p->storage = std::move(args);
    p->storage.insert(p->storage.begin(), "lbsnap");
    for (auto& s : p->storage) p->argv.push_back(s.data());
    p->argv.push_back(nullptr);
    testing::Capture err;
    p->status = parse_command_line(static_cast<int>(p->storage.size()), p->argv.data(), p->cl,
                                   err.file());
    p->err = err.str();
    return p;
}

Command code_of(std::vector<std::string> args) { return parse(std::move(args))->cl.cmd; }

// Toggles and the certificate option look only at the code set so far; the
// last command option wins. Each option's own command (-XX, -zZ, ...) is
// pinned end to end.
TEST(CommandLine, OptionsSelectTheirCodes) {
    using enum Command;
    const std::pair<std::vector<std::string>, Command> rows[] = {
        {{}, dump}, {{"-s", "-v"}, dump}, {{"-X", "-X", "-X"}, gateways},
        {{"-X", "-v", "-X"}, gateways}, {{"-zzzZ", "name"}, client_cert_users},
        {{"-z", "-v", "-Z", "name"}, cert_users},
    };
    for (const auto& [args, code] : rows) {
        std::string joined;
        for (const auto& a : args) joined += a + " ";
        EXPECT_EQ(code_of(args), code) << joined;
    }
    EXPECT_STREQ(parse({"-Z", "name"})->cl.opt.certfile, "name");
}

TEST(CommandLine, NumbersGoThroughAtoi) {
    auto p = parse({"-b", "abc"});
    EXPECT_EQ(p->cl.cmd, Command::rs_follows);
    EXPECT_EQ(p->cl.opt.followid, 0);
    EXPECT_EQ(parse({"-F", "12x"})->cl.opt.followid, 12);
    EXPECT_EQ(parse({"-w", "-5"})->cl.opt.wafid, -5);
}

TEST(CommandLine, PositionalArgumentWinsWhereverItStands) {
    auto p = parse({"-l", "10.0.0.1:80", "-T", "10.0.0.2:80"});
    EXPECT_EQ(p->cl.cmd, Command::vs_template);
    EXPECT_STREQ(p->cl.arg, "10.0.0.1:80");
    auto q = parse({"-A", "7"});
    EXPECT_STREQ(q->cl.arg, "7");
    auto r = parse({"first", "-v", "second"});
    EXPECT_STREQ(r->cl.arg, "first");
}

TEST(CommandLine, FlagsAndValueOptionsKeepTheCode) {
    auto p = parse({"-N", "1.2.3.4", "-o", "eth0", "-n", "10.0.0.0/8", "-6", "-H", "-ttt", "-aa",
                    "-V", "--check", "-f", "/x/y.conf"});
    EXPECT_EQ(p->cl.cmd, Command::snat);
    EXPECT_TRUE(p->cl.check);
    EXPECT_STREQ(p->cl.opt.dflt_snat, "1.2.3.4");
    EXPECT_STREQ(p->cl.opt.dflt_iface, "eth0");
    EXPECT_STREQ(p->cl.opt.local_snat, "10.0.0.0/8");
    EXPECT_EQ(p->cl.opt.ipv6flag, 1);
    EXPECT_EQ(p->cl.opt.hashsm, 1);
    EXPECT_EQ(p->cl.opt.tflag, 3);
    EXPECT_EQ(p->cl.opt.aflag, 2);
    EXPECT_EQ(p->cl.opt.Vflag, 1);
    EXPECT_EQ(*p->cl.opt.bahd_file, "/x/y.conf");
}

TEST(CommandLine, UnknownOptionOrMissingArgumentIsAUsageError) {
    auto p = parse({"-k"});
    EXPECT_EQ(p->status, 2);
    EXPECT_EQ(p->err, "Unknown option  '?'\nUsage: lbsnap -[v|r|c|s] <vip|rule>\n");
    auto q = parse({"-T"});
    EXPECT_EQ(q->status, 2);
    EXPECT_NE(q->err.find("Unknown option  '?'\n"), std::string::npos);
}

}  // namespace
}  // namespace lbsnap
