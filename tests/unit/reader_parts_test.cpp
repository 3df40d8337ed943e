// A large file is read in two parts at once; the model must be the one a
// single pass reads. The threshold is lowered here so that the test texts
// are split too.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "../support/two_parts.h"
#include "config_text.h"

namespace lbsnap {
namespace {

using testing::rule_section;
using testing::TempRoot;
using testing::vs_section;
using testing::first_difference;
using two_parts::split_before_tail;

struct Loaded {
    std::unique_ptr<Model> m = std::make_unique<Model>();
    std::string print;
    std::string check;  // what --check prints, and its status
};

Loaded load(std::string_view text, std::size_t two_parts_from) {
    Loaded l;
    const LoadResult r = load_text(*l.m, text, nullptr, two_parts_from);
    l.print = two_parts::model_print(*l.m, r);
    l.check = two_parts::check_print(text, two_parts_from);
    return l;
}

// Loads `text` both ways: the two must agree, and the second was split
// (or not) as `split` says.
void expect_as_one_pass(const std::string& text, bool split) {
    const Loaded one = load(text, two_parts::kNever);
    const Loaded two = load(text, two_parts::kAlways);
    EXPECT_TRUE(one.m->parts.empty());
    EXPECT_EQ(two.m->parts.size(), split ? 1u : 0u);
    EXPECT_EQ(first_difference(two.print, one.print), "");
    EXPECT_EQ(first_difference(two.check, one.check), "");
}

// VS sections numbered from `first`, each with real servers, a rule list
// and a follow, so that a part holds several.
std::string plain_vss(int first, int count) {
    std::string text;
    for (int id = first; id < first + count; ++id) {
        const std::string i = std::to_string(id);
        text += vs_section("VID: " + i + "\nVIP: 10.0.1." + i + "\nPORT: 80\nPROTO: tcp\nRULES: 1,2\n"
                           "<IPVSADM>\n-a -t 10.0.1." + i + ":80 -r 192.168.0." + i + ":80 -g -I " + i +
                           " -f " + std::to_string(id + 1) + "\n-a -t 10.0.1." + i + ":80 -r 192.168.1." + i +
                           ":80 -m -y 1\n<END>\n");
    }
    return text;
}

const std::string kRules = rule_section(1) + rule_section(2);

TEST(ReadInTwoParts, ASplitFileLoadsAsOnePass) {
    TempRoot root;
    const std::string text = split_before_tail(kRules + plain_vss(1, 3), "", plain_vss(4, 10));
    expect_as_one_pass(text, true);
    EXPECT_NE(load(text, two_parts::kAlways).print.find("VS 13 at "), std::string::npos);
    // Long lines, read in pieces, and NUL bytes in the second part.
    const std::string odd = "<SECTION VS>\nVID: 40\nCHECKURL: " + std::string(9000, 'u') + "\nNAME: a" +
                            std::string(1, '\0') + "b\n<END VS>\n";
    expect_as_one_pass(split_before_tail(kRules + plain_vss(1, 3), "", plain_vss(4, 3) + odd + plain_vss(50, 3)),
                       true);
    // A check's findings of one kind on both sides of the split, more than
    // it shows of a kind: those not shown are counted across both parts.
    std::string unknown_keys[2];
    for (int id = 1; id <= 30; ++id)
        unknown_keys[id > 15] += vs_section("VID: " + std::to_string(id) + "\nBOGUS: " + std::to_string(id) + "\n");
    const std::string findings = split_before_tail(kRules + unknown_keys[0], "", unknown_keys[1]);
    expect_as_one_pass(findings, true);
    EXPECT_NE(load(findings, two_parts::kAlways).check.find("10 more findings like"), std::string::npos);
}

// Where the second part would read something other than a single pass
// does, the first part reads on and the second part is dropped.
TEST(ReadInTwoParts, AFileThatCannotBeSplitIsReadInOnePass) {
    TempRoot root;
    const std::string checker = "<CHECKER_ARGS>\nINTERVAL: 9\n<END CHECKER_ARGS>\n";
    const std::string head = kRules + plain_vss(1, 2);
    const std::vector<std::pair<const char*, std::string>> files = {
        // A rule the later VSs name comes after the first VS.
        {"rule before the split",
         split_before_tail(head, rule_section(3), plain_vss(3, 5) + vs_section("VID: 20\nRULES: 3\n"))},
        {"rule after the split", split_before_tail(head, "", plain_vss(3, 5) + rule_section(3) + plain_vss(8, 2))},
        {"checker after the split", split_before_tail(head, "", plain_vss(3, 5) + checker + plain_vss(8, 2))},
        // The section before the split is still open there: the marker is
        // one of its lines.
        {"open section at the split", split_before_tail(head + "<SECTION VS>\nVID: 6\n", "", plain_vss(7, 6))},
        {"open section at the end", split_before_tail(head, "", plain_vss(3, 5) + "<SECTION VS>\nVID: 30\n")},
    };
    for (const auto& [what, text] : files) {
        SCOPED_TRACE(what);
        expect_as_one_pass(text, false);
    }
}

// The file is read on two threads from one open file: the second part by
// offset, the first from where the file stands.
TEST(ReadInTwoParts, AFileOnDiskLoadsAsOnePass) {
    TempRoot root;
    const std::string path = root.path("/big.conf");
    std::ofstream(path, std::ios::binary) << split_before_tail(kRules + plain_vss(1, 3), "", plain_vss(4, 20));
    Model one, two;
    const LoadResult r1 = load_data(one, path, nullptr, two_parts::kNever);
    const LoadResult r2 = load_data(two, path, nullptr, two_parts::kAlways);
    EXPECT_EQ(two.parts.size(), 1u);
    EXPECT_EQ(first_difference(two_parts::model_print(two, r2), two_parts::model_print(one, r1)), "");
}

// Every configuration of the end-to-end cases, split at its second VS
// section: the cases hold most of the reader's odd corners.
TEST(ReadInTwoParts, EveryCaseConfigurationLoadsAsOnePass) {
    TempRoot root;
    int split = 0;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::filesystem::path(LBSNAP_SOURCE_DIR) / "tests/e2e/cases")) {
        std::ifstream in(entry.path() / "bahd.conf", std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        const std::string padded = two_parts::split_at_second_vs(text.str());
        if (padded.empty()) continue;
        SCOPED_TRACE(entry.path().string());
        const Loaded one = load(padded, two_parts::kNever);
        const Loaded two = load(padded, two_parts::kAlways);
        EXPECT_EQ(first_difference(two.print, one.print), "");
        EXPECT_EQ(first_difference(two.check, one.check), "");
        split += two.m->parts.empty() ? 0 : 1;
    }
    EXPECT_GT(split, 50);  // the comparison is about split files
}

}  // namespace
}  // namespace lbsnap
