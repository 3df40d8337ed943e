#include "store/diagnostics.h"

#include <gtest/gtest.h>

#include "store/reader.h"

namespace lbsnap {
namespace {

// Only the findings a check shows get their text; one added late at an
// early line must still have it, since the sort puts it first.
TEST(Diagnostics, FirstOfEachKindInLineOrderKeepTheirText) {
    Diagnostics d;
    constexpr int late = Diagnostics::kShownPerKind + 5;
    for (int line = 100; line < 100 + late; ++line) d.add(line, Severity::warning, "kind a %d", line);
    d.add(1, Severity::warning, "kind a %d", 1);
    d.add(200, Severity::error, "kind b %d", 200);
    const auto& found = d.sorted();
    ASSERT_EQ(found.size(), static_cast<std::size_t>(late + 2));
    EXPECT_EQ(found.front().text, "kind a 1");
    int with_text = 0;
    for (const Finding& f : found)
        if (f.kind == found.front().kind && !f.text.empty()) ++with_text;
    EXPECT_GE(with_text, Diagnostics::kShownPerKind);
    for (int i = 0; i < Diagnostics::kShownPerKind; ++i) EXPECT_FALSE(found[i].text.empty()) << i;
    EXPECT_EQ(found.back().text, "kind b 200");
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
