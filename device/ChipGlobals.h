#pragma once
// Process-wide chip state shared by the worker threads and the UI. Plain
// values are atomics; strings are read and written as copies under a lock.

#include <atomic>
#include <cstdint>
#include <string>

class CHidDevice;

// The bridge's command interface (every register call goes through it) and
// its digitizer interface (never opened). Owned by the main window.
extern std::atomic<CHidDevice*> g_pBridgeDevice;
extern std::atomic<CHidDevice*> g_pTouchHidDevice;

// Register of the chip's frame-ready flag.
inline constexpr uint16_t kDefaultSyncFlagAddr = 0x814E;
extern std::atomic<uint16_t> g_wSyncFlagAddr;

extern std::atomic<bool> g_bDigitizerDisabled;

std::string GetChipName();
void SetChipName(std::string name);
