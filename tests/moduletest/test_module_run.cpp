// Whole module test runs on the simulated module, in virtual time: what the
// operator sees in the log, the verdict and the item states, and the
// module's configuration in the chip's flash afterwards.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModuleRig.h"

namespace {

using sim::ChipFamily;
using testing::Contains;
using testing::Not;

class ModuleRunTest : public ModuleRig {};

class GoodModuleTest : public ModuleRig, public testing::WithParamInterface<ChipFamily> {};

TEST_P(GoodModuleTest, IsOkAndKeepsItsConfiguration) {
  PlugNamed("good", GetParam());
  const RunResult result = Run(AllItems());
  EXPECT_TRUE(result.passed) << testing::PrintToString(sink_.Texts());
  EXPECT_TRUE(result.captured);
  EXPECT_EQ(10, result.rows);
  EXPECT_EQ(14, result.cols);
  EXPECT_TRUE(sink_.Has("最大值，最小值测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("相邻偏差测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("INT 测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("SENSOR_ID 测试通过", LOG_OK));
  EXPECT_TRUE(sink_.Has("OK", LOG_PASS));
  EXPECT_EQ(flashBefore_, Flash());
  EXPECT_EQ(16, sink_.Steps(kBarMaxMin));
  EXPECT_FALSE(Chip().IsStreaming());
}

INSTANTIATE_TEST_SUITE_P(BothFamilies, GoodModuleTest,
                         testing::Values(ChipFamily::RU9, ChipFamily::DE7));

}  // namespace
