#include "store/diagnostics.h"

#include <gtest/gtest.h>

#include "store/reader.h"

namespace lbsnap {
namespace {

// Only the findings a check can show are kept, with their text; one added
// late at an early line is kept, since the sort puts it first. The others
// are counted.
TEST(Diagnostics, FirstOfEachKindInLineOrderAreKeptAllAreCounted) {
    Diagnostics d;
    constexpr int late = Diagnostics::kShownPerKind + 5;
    const char* kind_a = "kind a %d";
    for (int line = 100; line < 100 + late; ++line) d.add(line, Severity::warning, kind_a, line);
    d.add(1, Severity::warning, kind_a, 1);
    d.add(200, Severity::error, "kind b %d", 200);
    EXPECT_EQ(d.size(), static_cast<std::size_t>(late + 2));
    EXPECT_EQ(d.count(kind_a), late + 1);
    EXPECT_EQ(d.count(Severity::warning), late + 1);
    EXPECT_EQ(d.count(Severity::error), 1);
    const auto& found = d.sorted();
    ASSERT_GT(found.size(), static_cast<std::size_t>(Diagnostics::kShownPerKind));
    EXPECT_EQ(found.front().text, "kind a 1");
    for (int i = 1; i < Diagnostics::kShownPerKind; ++i) EXPECT_EQ(found[i].text, "kind a " + std::to_string(99 + i));
    EXPECT_EQ(found.back().text, "kind b 200");
}

// A reworded finding is named by its place among all added, kept or not.
TEST(Diagnostics, RewordNamesAFindingByTheOrderAdded) {
    Diagnostics d;
    for (int line = 1; line <= Diagnostics::kShownPerKind + 2; ++line) d.add(line, Severity::warning, "a %d", line);
    d.add(50, Severity::warning, "b %d", 50);
    d.reword(Diagnostics::kShownPerKind + 2, "b reworded");
    d.reword(Diagnostics::kShownPerKind + 1, "not kept: nothing to reword");
    const auto& found = d.sorted();
    EXPECT_EQ(found.back().text, "b reworded");
    for (const Finding& f : found) EXPECT_NE(f.text, "not kept: nothing to reword");
}

TEST(Diagnostics, KeyLinesFallBackToTheSection) {
    Diagnostics d;
    d.note_key_line(1, "VID:", 2);
    d.note_key_line(1, "VID:", 5);
    d.note_key_line(9, "SLAVE:", 12);
    EXPECT_EQ(d.key_line(1, "VID:"), 5);
    EXPECT_EQ(d.key_line(1, "SLAVE:"), 1);
    EXPECT_EQ(d.key_line(9, "SLAVE:"), 12);
    EXPECT_EQ(d.key_line(30, "VID:"), 30);
}

// The reader notes nothing for a report; the same text checked is found out.
TEST(Diagnostics, LoadingForAReportAddsNoFindings) {
    const std::string text = "<SECTION VS>\nVID: 1\nENABLE: yes\n<SECTION VS>\nVID: 2\n<END VS>\n";
    Model plain, checked;
    EXPECT_EQ(load_text(plain, text).status, LoadStatus::ok);
    Diagnostics d;
    EXPECT_EQ(load_text(checked, text, &d).status, LoadStatus::ok);
    ASSERT_EQ(plain.bahd.size(), 1u);
    ASSERT_EQ(checked.bahd.size(), 1u);
    EXPECT_EQ(plain.bahd[0]->id, checked.bahd[0]->id);
    const auto& found = d.sorted();
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[0].line, 3);
    EXPECT_EQ(found[1].line, 4);
    EXPECT_EQ(found[2].line, 4);
}

}  // namespace
}  // namespace lbsnap
