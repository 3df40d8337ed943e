#include "store/rules.h"

#include <gtest/gtest.h>

#include "config_text.h"
#include "store/rule_list.h"

namespace lbsnap {
namespace {

using testing::load_ok;
using testing::rule_ids;
using testing::rule_section;
using testing::vs_section;
using V = std::vector<int>;

TEST(RuleLine, KeysConvertAsTheirFieldsNeed) {
    auto m = load_ok("<RULE>\nname: login\nNEGATION: 5\nSETFLAG: 3\nTYPE: 256\nONLYONFLAG: 511\n"
                     "OPTIONS: Prefix+Host\nMUSTFAIL: 0\nID:  12\nVALUE: " + std::string(300, 'p') +
                     "\n<END RULE>\n<RULE>\nID: 13\nNAME: n\nVALUE: v\nOPTIONS: postfix+host\n"
                     "OPTIONS: exact\n<END RULE>\n");
    ASSERT_EQ(m->Rules.size(), 3u);
    const Rule_t& r = *m->Rules[1];
    EXPECT_EQ(r.rule_name.str(), "login");
    EXPECT_EQ(r.negation, 1);
    EXPECT_EQ(r.set_flag_onmatch, 3);
    EXPECT_EQ(r.rule_type, 0);        // low 8 bits of 256
    EXPECT_EQ(r.only_on_flag, -1);    // low 8 bits of 511, signed
    EXPECT_EQ(r.match_type, 4);
    EXPECT_EQ(r.id, 12);
    EXPECT_EQ(r.pattern.str(), std::string(255, 'p'));
    EXPECT_EQ(m->Rules[2]->match_type, 5);  // a word that is no match type changes nothing
}

TEST(RuleList, ContentListsKeepTheDefaultRuleLast) {
    std::string text = rule_section(3) + rule_section(4) + rule_section(5) + rule_section(7, 1);
    struct Case {
        const char* line;
        V want;
    } cases[] = {
        {"RULES: 3,5,0,4", {3, 5, 4, 0}},
        {"RULES: 0", {0}},
        {"REQUESTS: 0", {}},
        {"REQUESTS: 3,7", {7}},
        {"RULES: 3,7", {3}},
        {"RULES: 3,x,5", {3}},
        {"RULES: 3,,5", {3, 5}},
        {"RULES: ,3, 5", {3, 5}},
        {"RULES: 3,3", {3}},
        {"RULES: 3,99,-4,5", {3, 5}},
        {"RULES: 9", {}},  // defined only after the VS section
        {"RULES: 3,0\nRULES: 4", {4}},  // a key given twice replaces the list
    };
    for (const Case& c : cases) {
        std::string line = c.line;
        auto m = load_ok(text + vs_section(line + "\n") + rule_section(9));
        const bahd_config_t& vs = *m->bahd.at(0);
        const Rule_list& got = line.rfind("RULES", 0) == 0 ? vs.r : vs.requests;
        EXPECT_EQ(rule_ids(got), c.want) << c.line;
    }
}

// Once full, a list takes nothing more, the default rule included.
TEST(RuleList, StopsAtCapacity) {
    std::string text, list = "RULES: 0";
    for (int id = 1; id <= MAX_rules + 10; ++id) {
        text += rule_section(id);
        list += "," + std::to_string(id);
    }
    auto m = load_ok(text + vs_section(list + "\n"));
    const Rule_list& rl = testing::only_vs(*m).r;
    ASSERT_EQ(rl.rules(), MAX_rules);
    EXPECT_EQ(rl.rule_list.front()->id, 1);
    EXPECT_EQ(rl.rule_list.back()->id, MAX_rules);
    // Identity, not number, decides membership.
    const Rule_t twin = *rl.rule_list.front();
    EXPECT_TRUE(rule_is_in(rl, rl.rule_list.front()));
    EXPECT_FALSE(rule_is_in(rl, &twin));
}

// The pool keeps every list whole as its blocks fill: lists of every size
// up to a full one, and empty ones, which take no room.
TEST(RuleList, PoolKeepsListsAcrossItsBlocks) {
    std::vector<Rule_t> rules(MAX_rules);
    RuleListPool pool;
    std::vector<std::pair<std::vector<const Rule_t*>, RuleRefs>> lists;
    for (std::size_t n = 0; n <= rules.size(); n += 7) {
        std::vector<const Rule_t*> list;
        for (std::size_t i = 0; i < n; ++i) list.push_back(&rules[(i * 31 + n) % rules.size()]);
        lists.emplace_back(list, pool.keep(list));
    }
    for (const auto& [wanted, kept] : lists) {
        EXPECT_EQ(kept.empty(), wanted.empty());
        EXPECT_TRUE(std::equal(kept.begin(), kept.end(), wanted.begin(), wanted.end()));
    }
    EXPECT_EQ(lists.front().second.begin(), nullptr);
}

TEST(RuleLookup, NumberZeroIsTheDefaultRule) {
    auto m = load_ok(rule_section(3));
    EXPECT_EQ(id_to_rule(*m, 0), m->default_rule);
    EXPECT_EQ(id_to_rule(*m, 3)->rule_name.str(), "r3");
    EXPECT_EQ(id_to_rule(*m, 4), nullptr);
}

// Defaults and HTTP_PORT 0 are checked end to end.
TEST(ParameterSections, LaterValuesWinAndAnyAdaptiveSectionCounts) {
    auto m = load_ok(
        "<CHECKER_ARGS>\nINTERVAL: 20\n<END CHECKER_ARGS>\n"
        "<CHECKER_ARGS>\ninterval: 30\nRETRY_COUNT: 5\n<END CHECKER_ARGS>\n"
        "<ADAPTIVE_ARGS_SDN_GSTATS>\nNAVG: 9\n<END ADAPTIVE_ARGS_SDN_GSTATS>\n");
    EXPECT_EQ(m->chk_args.chk_interval, 30);
    EXPECT_EQ(m->chk_args.chk_retrycount, 5);
    EXPECT_EQ(m->sdn_adapt_args.navg, 9);
    EXPECT_EQ(m->got_adapt_args, 0);
    auto other = load_ok("<ADAPTIVE_ARGS_HTTP_RS>\nsomething\n<END ADAPTIVE_ARGS_HTTP_RS>\n");
    EXPECT_EQ(other->got_adapt_args, 1);
}

}  // namespace
}  // namespace lbsnap
