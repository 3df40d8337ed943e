#include <gtest/gtest.h>

#include "store/model.h"

namespace lbsnap {
namespace {

TEST(FixedText, CutsToCapacityLessOne) {
    TextArena texts;
    FixedText<6> t;
    t.assign(texts, "schedule");
    EXPECT_EQ(t.str(), "sched");
    t.assign(texts, "rr");
    EXPECT_EQ(t.str(), "rr");
}

}  // namespace
}  // namespace lbsnap
