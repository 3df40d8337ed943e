#include <gtest/gtest.h>

#include "model.h"

namespace lbsnap {
namespace {

TEST(FixedText, CutsToCapacityLessOne) {
    FixedText<6> t;
    t = "schedule";
    EXPECT_EQ(t.str(), "sched");
    t = "rr";
    EXPECT_EQ(t.str(), "rr");
}

}  // namespace
}  // namespace lbsnap
