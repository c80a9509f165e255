#pragma once
// A configuration rig: a scratch runtime root with the chip INI, a recording
// notifier and stream control, and (on demand) a simulated chip of either
// family with its configuration personality in reach.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "device/chip/ChipHooks.h"
#include "device/config/Config.h"
#include "device/ConfigError.h"
#include "device/config/ConfigFamily.h"
#include "device/StreamControl.h"
#include "platform/files/AppPaths.h"
#include "sim/ConfigBehaviour.h"
#include "tests/platform/ScratchDir.h"

class RecordingConfigNotifier : public IUserNotifier {
 public:
  void MessageBox(const std::string& text) override {
    std::lock_guard lock(mutex_);
    texts_.push_back(text);
  }
  std::vector<std::string> Texts() {
    std::lock_guard lock(mutex_);
    return texts_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> texts_;
};

// The window's pages as far as a configuration send sees them.
class FakeStreamControl : public IStreamControl {
 public:
  int CurrentPage() const override { return page; }
  bool IsBusy() const override { return busy; }
  void RestartPage(int) override {}
  void MarkPageStopped(int) override {}
  bool StopPageStream(int p) override {
    calls.push_back("stop " + std::to_string(p));
    return streaming.exchange(false);
  }
  void RestartPageStream(int p) override {
    calls.push_back("restart " + std::to_string(p));
    streaming = true;
  }

  std::atomic<int> page{PAGE_DEMO};
  std::atomic<bool> busy{false};
  std::atomic<bool> streaming{true};
  std::vector<std::string> calls;
};

inline constexpr const char* kRu9ChipIni = "[Cfg]\r\nCFGAddr=0x8047\r\nCfgLength=186\r\n";
inline constexpr const char* kDe7ChipIni = "[Cfg]\r\nCFGAddr=0x8050\r\nCfgLength=340\r\n";

class ConfigTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    root_ = std::make_unique<platform::testing_support::ScratchDir>();
    platform::AppPaths::SetBaseDir(root_->path());
    std::filesystem::create_directories(root_->path() / "System/CfgItem");
    SetChipIniPath(root_->path() / "System/ChipIni/RO911_test.ini");
    WriteChipIni(kRu9ChipIni);
    SetChipName("RO911");
    ForgetConfigFamily();
    SetUserNotifier(&notifier_);
    stream_.calls.clear();
    SetStreamControl(&stream_);
  }

  void TearDown() override {
    SetStreamControl(nullptr);
    SetUserNotifier(nullptr);
    SetChipIniPath({});
    SetScFilePath({});
    SimDeviceTest::TearDown();
    ForgetConfigFamily();
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    root_.reset();
  }

  void WriteChipIni(const std::string& text) {
    platform::testing_support::WriteBytes(GetChipIniPath(), text);
  }

  // A bridge of the family whose chip holds storedBlock (zeros when empty)
  // as its configuration, connected as the bridge device.
  void ConnectChip(sim::ChipFamily family, std::vector<uint8_t> storedBlock = {}) {
    const sim::ConfigPersonality personality = sim::ConfigPersonality::For(family);
    auto bridge = Plug(sim::DefaultBridgeConfig(family), family);
    if (!storedBlock.empty()) bridge->Chip().SetPowerOnBytes(personality.base, storedBlock);
    personality_ = &sim::AddConfigPersonality(bridge->Chip(), personality);
    Connect(family);
  }

  sim::SimChip& Chip() { return Bridge().Chip(); }
  sim::ConfigBehaviour& Personality() { return *personality_; }
  std::vector<uint8_t> ChipBlock() {
    const sim::ConfigPersonality& p = personality_->Personality();
    return Chip().PeekRange(p.base, p.length);
  }
  std::filesystem::path Root() const { return root_->path(); }

  std::unique_ptr<platform::testing_support::ScratchDir> root_;
  RecordingConfigNotifier notifier_;
  FakeStreamControl stream_;
  sim::ConfigBehaviour* personality_ = nullptr;
};

// Bytes 0..n-1 of a fixed pseudo-random pattern.
inline std::vector<uint8_t> PatternBlock(size_t n, uint32_t seed = 7) {
  std::vector<uint8_t> bytes(n);
  uint32_t x = seed;
  for (uint8_t& b : bytes) {
    x = x * 1103515245u + 12345u;
    b = static_cast<uint8_t>(x >> 16);
  }
  return bytes;
}

// The block with its checksum bytes set as the chip of the family expects
// them (RU9 with the fresh flag already cleared, as a stored block is).
inline std::vector<uint8_t> WithValidSums(sim::ChipFamily family, std::vector<uint8_t> b) {
  sim::SealStoredConfig(family, b);
  return b;
}
