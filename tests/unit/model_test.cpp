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

TEST(Model, StartsWithDefaultParameterBlocks) {
    Model m;
    EXPECT_EQ(m.chk_args.chk_interval, 9);
    EXPECT_EQ(m.adapt_args.url.str(), "/load");
    EXPECT_EQ(m.sdn_adapt_args.navg, 6);
    bahd_config_t vs;
    EXPECT_EQ(vs.enabled, 1);
}

}  // namespace
}  // namespace lbsnap
