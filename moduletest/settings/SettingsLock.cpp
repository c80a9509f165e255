#include "moduletest/settings/SettingsLock.h"

SettingEnables ComputeSettingEnables(UpdateMode mode,
                                     const std::array<bool, kTestFileKinds>& fileBoxes,
                                     bool locked) {
  SettingEnables e;
  e.settings = !locked;
  const bool files = !locked && mode != UpdateMode::TestOnly;
  for (int k = 0; k < kTestFileKinds; ++k) {
    e.fileBoxes[k] = files;
    e.fileEdits[k] = files && fileBoxes[k];
  }
  return e;
}
