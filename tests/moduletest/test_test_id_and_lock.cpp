#include <gtest/gtest.h>

#include "moduletest/settings/SettingsLock.h"
#include "moduletest/settings/TestId.h"

namespace {

TEST(TestIdRules, ParseTable) {
  struct Case {
    const char* text;
    int64_t id;
    bool valid;
  } cases[] = {
      {"", 0, true},
      {"abc", 0, true},
      {"12345678901", 12345678901, true},
      {"12345678901A", 12345678901, true},
      {"9223372036854775807", 9223372036854775807, true},
      {"9223372036854775808", 0, false},
      {"12345678901234567890", 0, false},
  };
  for (const Case& c : cases) {
    const ParsedTestId p = ParseTestId(c.text);
    EXPECT_EQ(p.valid, c.valid) << c.text;
    if (c.valid) {
      EXPECT_EQ(p.id, c.id) << c.text;
    }
  }
}

TEST(TestIdRules, CompleteAtTheMinimum) {
  EXPECT_FALSE(IsTestIdComplete(9999999999, kDefaultMinTestId));  // ten digits
  EXPECT_TRUE(IsTestIdComplete(10000000000, kDefaultMinTestId));
  EXPECT_TRUE(IsTestIdComplete(12345678901, kDefaultMinTestId));
  EXPECT_FALSE(IsTestIdComplete(0, 0));
}

TEST(TestIdRules, XPatternTable) {
  struct Case {
    const char* text;
    bool matched;
    int64_t minimum;  // -1: none (beyond 64 bits)
  } cases[] = {
      {"x", true, 1},
      {"xX", true, 10},
      {"xxxxxxxxxxx", true, 10000000000},
      {"XXXXXXXXXXXXXXXXXXX", true, 1000000000000000000},
      {"xxxxxxxxxxxxxxxxxxxx", true, -1},
      {"", false, -1},
      {"x1", false, -1},
      {"xy", false, -1},
  };
  for (const Case& c : cases) {
    const XPattern p = ParseXPattern(c.text);
    EXPECT_EQ(p.matched, c.matched) << c.text;
    EXPECT_EQ(p.minimum.value_or(-1), c.minimum) << c.text;
  }
}

TEST(SettingsLockRules, KeyAndBoxTransitions) {
  EXPECT_EQ(ToggleLockByKey(LockState::Unlocked), LockState::LockedByKey);
  EXPECT_EQ(ToggleLockByKey(LockState::LockedByKey), LockState::Unlocked);
  EXPECT_EQ(ToggleLockByKey(LockState::LockedByMouse), LockState::Unlocked);
  EXPECT_EQ(LockByBox(true), LockState::LockedByMouse);
  EXPECT_EQ(LockByBox(false), LockState::Unlocked);
  EXPECT_EQ(LockFromStored(true, true), LockState::LockedByKey);
  EXPECT_EQ(LockFromStored(true, false), LockState::LockedByMouse);
  EXPECT_EQ(LockFromStored(false, true), LockState::Unlocked);
  EXPECT_TRUE(LockBoxEnabled(LockState::LockedByMouse));
  EXPECT_FALSE(LockBoxEnabled(LockState::LockedByKey));
}

TEST(SettingsLockRules, FileControlTruthTable) {
  const std::array<bool, kTestFileKinds> boxes = {true, false, true, false};
  struct Case {
    UpdateMode mode;
    bool locked;
    bool settings;
    std::array<bool, kTestFileKinds> fileBoxes;
    std::array<bool, kTestFileKinds> fileEdits;
  } cases[] = {
      {UpdateMode::TestOnly, false, true, {}, {}},
      {UpdateMode::VersionCheck, false, true, {true, true, true, true}, boxes},
      {UpdateMode::ForceUpdate, false, true, {true, true, true, true}, boxes},
      {UpdateMode::ForceUpdate, true, false, {}, {}},
      {UpdateMode::TestOnly, true, false, {}, {}},
  };
  for (const Case& c : cases) {
    const SettingEnables e = ComputeSettingEnables(c.mode, boxes, c.locked);
    EXPECT_EQ(e.settings, c.settings);
    EXPECT_EQ(e.fileBoxes, c.fileBoxes);
    EXPECT_EQ(e.fileEdits, c.fileEdits);
  }
}

}  // namespace
