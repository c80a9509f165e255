// The bridge model table: its product id lists and where they come from.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "device/link/BridgeModels.h"

namespace {

const std::string kData = std::string(KESTRANA_TEST_DATA_DIR) + "/device/";

TEST(BridgeModels, PidLists) {
  using Ids = std::vector<uint16_t>;
  struct Case {
    const char* text;
    std::optional<Ids> ids;
  } cases[] = {
      {"", Ids{}},
      {"  \t", Ids{}},
      {"0x27C0", Ids{0x27C0}},
      {"27c0, 0X1b96 ,2", Ids{0x27C0, 0x1B96, 0x0002}},
      {"FFFF", Ids{0xFFFF}},
      {"0x10000", std::nullopt},  // more than 16 bits
      {"0x", std::nullopt},
      {"12G4", std::nullopt},
      {"0x0201,,0x0202", std::nullopt},
      {"0x0201,", std::nullopt},
      {"-1", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(c.ids, ParsePidList(c.text));
  }
}

class BridgeModelsFile : public testing::Test {
 protected:
  void TearDown() override { SetBridgeModels({}); }
};

TEST_F(BridgeModelsFile, LoadsEveryKey) {
  std::string error;
  ASSERT_TRUE(LoadBridgeModels(kData + "bridge_models.ini", &error)) << error;
  const BridgeModelTable t = GetBridgeModels();
  EXPECT_EQ((std::vector<uint16_t>{0x0201, 0x201A, 0x7388}), t.de7Pids);
  EXPECT_EQ((std::vector<uint16_t>{0x0301, 0x0302}), t.sharedPids);
  EXPECT_EQ(std::optional<uint16_t>(0x0101), t.earlyPid);
  EXPECT_TRUE(t.allowedPids.empty());
  EXPECT_TRUE(t.IsDe7Pid(0x7388));
  EXPECT_FALSE(t.IsDe7Pid(0x0301));
  EXPECT_TRUE(t.IsSharedPid(0x0302));
  EXPECT_TRUE(t.IsEarlyPid(0x0101));
  EXPECT_TRUE(t.IsAllowedPid(0x1234));  // an empty allow list accepts all
}

TEST_F(BridgeModelsFile, AMissingFileOrSectionGivesAnEmptyTable) {
  BridgeModelTable old;
  old.de7Pids = {1};
  old.earlyPid = 2;
  SetBridgeModels(old);
  ASSERT_TRUE(LoadBridgeModels(kData + "no_such_file.ini"));
  const BridgeModelTable t = GetBridgeModels();
  EXPECT_TRUE(t.de7Pids.empty());
  EXPECT_TRUE(t.sharedPids.empty());
  EXPECT_FALSE(t.earlyPid.has_value());
  EXPECT_FALSE(t.IsEarlyPid(0));
}

TEST_F(BridgeModelsFile, AMalformedValueLeavesTheTableInForce) {
  struct Case {
    const char* file;
    const char* key;
  } cases[] = {{"bridge_models_bad.ini", "Shared PIDs"},
               {"bridge_models_two_early.ini", "Early PID"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    BridgeModelTable old;
    old.de7Pids = {0x0999};
    SetBridgeModels(old);
    std::string error;
    EXPECT_FALSE(LoadBridgeModels(kData + c.file, &error));
    EXPECT_NE(std::string::npos, error.find(c.key)) << error;
    EXPECT_EQ((std::vector<uint16_t>{0x0999}), GetBridgeModels().de7Pids);
  }
}

}  // namespace
