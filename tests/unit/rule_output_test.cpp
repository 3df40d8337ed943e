#include <gtest/gtest.h>

#include "report_harness.h"
#include "reports/rule_output.h"

namespace lbsnap {
namespace {

using testing::Capture;

struct RuleOutput : ::testing::Test, testing::ReportHarness {
    void add_vs_using(Rule_t* rule) { add_vs(0).r.rule_list = {rule}; }

    std::string rule_line(const Rule_t& r) {
        Ctx c{m, opt, out.file(), err.file()};
        print_rule(c, r);
        return out.str();
    }
};

TEST_F(RuleOutput, NumbersAppearInTheirDescribedOrder) {
    Rule_t& r = add_rule(2, "x", 3);
    r.match_type = 2;
    r.negation = 1;
    r.inc_query = 1;
    r.must_fail = 1;
    r.only_on_flag = 4;
    r.set_flag_onmatch = 5;
    r.only_on_noflag = -6;  // one-byte fields print signed
    r.pattern.assign(m.arena, "a b");
    r.header.assign(m.arena, "H");
    r.replacement.assign(m.arena, "v");
    EXPECT_EQ(rule_line(r), "x: 3 postfix 0 1 1 0 1 4 5 -6 a&#032;b H v\n");
}

TEST_F(RuleOutput, ReplaceUriShowsForceVersionInsteadOfQuery) {
    Rule_t& uri = add_rule(3, "u", 4);
    uri.inc_query = 1;
    uri.forcevers = 0;
    Rule_t& del = add_rule(4, "d", 2);
    del.inc_query = 1;
    del.forcevers = 0;
    EXPECT_EQ(rule_line(uri), "u: 4 dflt 0 0 0 0 0 0 0 0 - - -\n");
    Capture again;
    Ctx c{m, opt, again.file(), err.file()};
    print_rule(c, del);
    EXPECT_EQ(again.str(), "d: 2 dflt 0 0 1 0 0 0 0 0 - - -\n");
}

TEST_F(RuleOutput, MatchTypeWordsAndHostFlag) {
    Rule_t& r = add_rule(5, "m", 0);
    const std::pair<int, const char*> cases[] = {
        {0, "dflt 0"}, {1, "prefix 0"}, {2, "postfix 0"}, {3, "dflt 1"},
        {4, "prefix 1"}, {5, "postfix 1"}, {9, "dflt 0"}, {-1, "dflt 0"}};
    for (auto [type, words] : cases) {
        r.match_type = static_cast<std::int8_t>(type);
        Capture o;
        Ctx c{m, opt, o.file(), err.file()};
        print_rule(c, r);
        EXPECT_EQ(o.str(), std::string("m: 0 ") + words + " 0 0 0 0 0 0 0 - - -\n") << type;
    }
}

TEST_F(RuleOutput, FindRuleIsExactAndFindsTheDefault) {
    Rule_t& a = add_rule(1, "Web", 0);
    add_rule(2, "Web", 0);
    EXPECT_EQ(find_rule(m, "Web"), &a);
    EXPECT_EQ(find_rule(m, "web"), nullptr);
    EXPECT_EQ(find_rule(m, "default"), m.default_rule);
}

TEST_F(RuleOutput, UsersOfTheDefaultOrAnUnknownRuleAreRefused) {
    add_vs_using(m.default_rule);
    for (const char* name : {"default", "nosuch"}) {
        opt.tst_rule_id = name;
        Capture o, e;
        Ctx c{m, opt, o.file(), e.file()};
        print_rule_in_vs(c);
        EXPECT_EQ(o.str(), "");
        EXPECT_EQ(e.str(), std::string("Invalid rule id '") + name + "'\n");
    }
}

}  // namespace
}  // namespace lbsnap
