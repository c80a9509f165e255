#pragma once
// The settings lock "量产禁止修改" and the enable rules of the setting
// controls. Three lock states: unlocked; locked by mouse (the box ticked and
// still enabled); locked by the key command or by a locked package (the box
// ticked and disabled, so the mouse cannot clear it).

#include <array>

#include "moduletest/settings/TestSettings.h"

enum class LockState { Unlocked, LockedByMouse, LockedByKey };

inline bool IsLocked(LockState s) { return s != LockState::Unlocked; }
inline bool LockBoxEnabled(LockState s) { return s != LockState::LockedByKey; }

// The key command: any locked state unlocks; unlocked locks by key.
inline LockState ToggleLockByKey(LockState s) {
  return IsLocked(s) ? LockState::Unlocked : LockState::LockedByKey;
}
// The box clicked with the mouse.
inline LockState LockByBox(bool ticked) {
  return ticked ? LockState::LockedByMouse : LockState::Unlocked;
}
// After loading or importing: a stored lock from a package cannot be cleared
// with the mouse; a lock the page itself stored can.
inline LockState LockFromStored(bool locked, bool fromPackage) {
  if (!locked) return LockState::Unlocked;
  return fromPackage ? LockState::LockedByKey : LockState::LockedByMouse;
}

struct SettingEnables {
  // Test boxes, numeric edits, sensor-id combo, update-mode radios.
  bool settings = true;
  std::array<bool, kTestFileKinds> fileBoxes{};
  std::array<bool, kTestFileKinds> fileEdits{};
  bool operator==(const SettingEnables&) const = default;
};

// The file groups take part only when the run may update (version check or
// force); an edit is open exactly when its box is ticked. The lock closes
// everything.
SettingEnables ComputeSettingEnables(UpdateMode mode,
                                     const std::array<bool, kTestFileKinds>& fileBoxes,
                                     bool locked);
