#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "device/connection/ConnectionStatus.h"
#include "device/connection/DeviceEvents.h"
#include "platform/files/AppPaths.h"
#include "sim/SimDeviceEventSource.h"
#include "tests/device/ConnectionTestUtil.h"
#include "tests/device/SimDevice.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::HotplugAction;
using platform::HotplugEvent;
using platform::HotplugKind;

class FakeStream : public IStreamControl {
 public:
  int CurrentPage() const override { return page; }
  bool IsBusy() const override { return busy; }
  void RestartPage(int p) override { calls.push_back("restart " + std::to_string(p)); }
  void MarkPageStopped(int p) override { calls.push_back("stopped " + std::to_string(p)); }
  bool StopPageStream(int) override { return false; }
  void RestartPageStream(int) override {}
  int page = PAGE_RAW;
  bool busy = false;
  std::vector<std::string> calls;
};

class FakeAutoUpdate : public IAutoUpdate {
 public:
  bool IsEnabled() const override { return enabled; }
  void Start() override { ++starts; }
  bool enabled = false;
  int starts = 0;
};

HotplugEvent Ev(HotplugAction action, HotplugKind kind) {
  HotplugEvent e;
  e.action = action;
  e.kind = kind;
  return e;
}

// One event handled with scripted open/close results; what each hook saw.
struct Rig {
  FakeStream stream;
  FakeAutoUpdate autoUpdate;
  RecordingView view;
  platform::Event bridgeArrived{true, false};
  platform::Event programmingArrived{true, false};
  std::atomic<bool> programmingPresent{false};
  uint32_t openResult = 1;
  uint32_t closeResult = 1;
  int opens = 0, closes = 0, refreshes = 0, digitizerRemovals = 0, arrivals = 0;
  // The bridge lamp's loader and bridge captions, and whether a waiter had
  // been woken already when each was shown.
  int loaderShows = 0, bridgeBacks = 0;
  bool wokenBeforeLamp = false;

  DeviceEvents Make(bool withAutoUpdate = true) {
    DeviceEventHooks h;
    h.stream = &stream;
    h.view = &view;
    h.autoUpdate = withAutoUpdate ? &autoUpdate : nullptr;
    h.bridgeArrived = &bridgeArrived;
    h.programmingArrived = &programmingArrived;
    h.programmingPresent = &programmingPresent;
    h.refreshChipInfo = [this] { ++refreshes; };
    h.deviceArrived = [this] { ++arrivals; };
    h.showLoader = [this] {
      ++loaderShows;
      wokenBeforeLamp = wokenBeforeLamp || programmingArrived.IsSet();
    };
    h.showBridgeBack = [this] {
      ++bridgeBacks;
      wokenBeforeLamp = wokenBeforeLamp || bridgeArrived.IsSet();
    };
    h.openDevice = [this] { return ++opens, openResult; };
    h.closeDevice = [this] { return ++closes, closeResult; };
    h.removeDigitizer = [this] { ++digitizerRemovals; };
    return DeviceEvents(std::move(h));
  }
};

TEST(DeviceEvents, BridgeArrivalTable) {
  struct Case {
    const char* name;
    uint32_t openResult;
    bool busy, autoUpdate;
    int page;
    int opens, refreshes, updateStarts;
    std::vector<std::string> calls;
  } cases[] = {
      {"restarts the page", 1, false, false, PAGE_RAW, 2, 1, 0, {"restart 1"}},
      {"every streaming page", 1, false, false, PAGE_OBSERVE, 2, 1, 0, {"restart 3"}},
      {"module test page is left alone", 1, false, false, PAGE_TEST, 2, 1, 0, {}},
      {"failed open: no page restart", 0, false, false, PAGE_RAW, 1, 0, 0, {}},
      {"busy: nothing restarts", 1, true, false, PAGE_RAW, 2, 1, 0, {}},
      {"auto update runs instead of the page", 1, false, true, PAGE_RAW, 2, 1, 1, {}},
      {"auto update waits for a busy run", 1, true, true, PAGE_RAW, 2, 1, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.openResult = c.openResult;
    rig.stream.busy = c.busy;
    rig.stream.page = c.page;
    rig.autoUpdate.enabled = c.autoUpdate;
    rig.Make().Handle(Ev(HotplugAction::Added, HotplugKind::BridgeCommand));
    EXPECT_EQ(c.opens, rig.opens);
    EXPECT_EQ(c.refreshes, rig.refreshes);
    EXPECT_EQ(c.updateStarts, rig.autoUpdate.starts);
    EXPECT_EQ(c.calls, rig.stream.calls);
    // Waiters are woken whether or not the open worked.
    EXPECT_TRUE(rig.bridgeArrived.IsSet());
    // The module test hears of every arrival and decides for itself.
    EXPECT_EQ(1, rig.arrivals);
    const ViewActions green = {ViewAction::Lamp(Indicator::Bridge, LampColour::Green)};
    EXPECT_EQ(c.openResult ? green : ViewActions{}, rig.view.Actions());
    // Only a bridge that opened gets its own caption back.
    EXPECT_EQ(c.openResult ? 1 : 0, rig.bridgeBacks);
    EXPECT_FALSE(rig.wokenBeforeLamp) << "a waiting run is woken after the lamp";
    EXPECT_EQ(0, rig.loaderShows);
  }
}

TEST(DeviceEvents, WithoutAutoUpdateWiredThePageRestarts) {
  Rig rig;
  rig.autoUpdate.enabled = true;
  rig.Make(false).Handle(Ev(HotplugAction::Added, HotplugKind::BridgeCommand));
  EXPECT_EQ(std::vector<std::string>{"restart 1"}, rig.stream.calls);
}

TEST(DeviceEvents, BridgeRemovalTable) {
  struct Case {
    uint32_t closeResult;
    int page;
    int closes;
    std::vector<std::string> calls;
  } cases[] = {
      {1, PAGE_RAW, 2, {"stopped 1"}},
      {1, PAGE_DEMO, 2, {"stopped 0"}},
      {1, PAGE_TEST, 2, {}},
      {0, PAGE_RAW, 1, {}},  // a failed close leaves the page running
  };
  for (const Case& c : cases) {
    Rig rig;
    rig.closeResult = c.closeResult;
    rig.stream.page = c.page;
    rig.Make().Handle(Ev(HotplugAction::Removed, HotplugKind::BridgeCommand));
    EXPECT_EQ(c.closes, rig.closes);
    EXPECT_EQ(c.calls, rig.stream.calls);
    EXPECT_TRUE(rig.view.Actions().empty()) << "the lamp is left to the status check";
  }
}

TEST(DeviceEvents, ProgrammingDeviceComesAndGoes) {
  for (bool busy : {false, true}) {
    Rig rig;
    rig.autoUpdate.enabled = true;
    rig.stream.busy = busy;
    DeviceEvents events = rig.Make();
    events.Handle(Ev(HotplugAction::Added, HotplugKind::ProgrammingDevice));
    EXPECT_EQ(busy ? 0 : 1, rig.autoUpdate.starts);
    EXPECT_EQ(1, rig.refreshes);
    EXPECT_TRUE(rig.programmingPresent);
    EXPECT_TRUE(rig.programmingArrived.IsSet());
    EXPECT_EQ(1, rig.arrivals);
    EXPECT_EQ(0, rig.opens);
    // Busy or not: the loader is on the lamp before a waiting run goes on.
    EXPECT_EQ(1, rig.loaderShows);
    EXPECT_FALSE(rig.wokenBeforeLamp);
    events.Handle(Ev(HotplugAction::Removed, HotplugKind::ProgrammingDevice));
    EXPECT_FALSE(rig.programmingPresent);
    EXPECT_EQ(busy ? 0 : 1, rig.autoUpdate.starts) << "leaving starts nothing";
  }
}

TEST(DeviceEvents, DigitizerEitherWayAndOthersIgnored) {
  Rig rig;
  DeviceEvents events = rig.Make();
  events.Handle(Ev(HotplugAction::Added, HotplugKind::Digitizer));
  events.Handle(Ev(HotplugAction::Removed, HotplugKind::Digitizer));
  events.Handle(Ev(HotplugAction::Added, HotplugKind::Other));
  events.Handle(Ev(HotplugAction::Removed, HotplugKind::Other));
  EXPECT_EQ(2, rig.digitizerRemovals);
  EXPECT_EQ(0, rig.opens + rig.closes + rig.refreshes);
  EXPECT_TRUE(rig.stream.calls.empty());
  EXPECT_FALSE(rig.bridgeArrived.IsSet());
}

// The simulated bridge's plugging, seen through its event source and handled
// with the real open and close on the simulated link.
class SimPluggingTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    root_ = std::make_unique<platform::testing_support::ScratchDir>();
    platform::AppPaths::SetBaseDir(root_->path());
    Connect(sim::ChipFamily::RU9);
    source_ = std::make_unique<sim::SimDeviceEventSource>(backend_->Bridge(0));
  }
  void TearDown() override {
    SetChipNameVersion("");
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    SimDeviceTest::TearDown();
  }

  std::vector<HotplugEvent> Drain() {
    std::vector<HotplugEvent> out;
    while (auto e = source_->ReadEvent()) out.push_back(*e);
    return out;
  }
  // What the window does on its thread: handle the events, then the status
  // check with a fresh probe.
  StatusDecision HandleAndCheck(DeviceEvents& events) {
    for (const HotplugEvent& e : Drain()) events.Handle(e);
    StatusInputs in;
    in.probe = ProbeConnection();
    return status_.Check(in);
  }
  static bool Logged(const StatusDecision& d, const std::string& line) {
    for (const ViewAction& a : d.actions) {
      if (a.kind == ViewAction::Kind::Log && a.text == line) return true;
    }
    return false;
  }

  std::unique_ptr<platform::testing_support::ScratchDir> root_;
  std::unique_ptr<sim::SimDeviceEventSource> source_;
  ConnectionStatus status_;
};

TEST_F(SimPluggingTest, SourceReportsBothInterfacesAndTheLoader) {
  struct Expect {
    HotplugAction action;
    HotplugKind kind;
  };
  auto check = [](const std::vector<HotplugEvent>& got, const std::vector<Expect>& want) {
    ASSERT_EQ(want.size(), got.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(want[i].action, got[i].action) << i;
      EXPECT_EQ(want[i].kind, got[i].kind) << i;
    }
  };
  EXPECT_TRUE(Drain().empty());
  Bridge().Unplug();
  check(Drain(), {{HotplugAction::Removed, HotplugKind::Digitizer},
                  {HotplugAction::Removed, HotplugKind::BridgeCommand}});
  Bridge().Replug();
  check(Drain(), {{HotplugAction::Added, HotplugKind::Digitizer},
                  {HotplugAction::Added, HotplugKind::BridgeCommand}});
  ASSERT_EQ(1u, OpenDevice());
  EnterBridgeUpgradeMode();  // the bridge leaves without answering
  check(Drain(), {{HotplugAction::Removed, HotplugKind::Digitizer},
                  {HotplugAction::Removed, HotplugKind::BridgeCommand},
                  {HotplugAction::Added, HotplugKind::ProgrammingDevice}});
  EXPECT_TRUE(Drain().empty());
}

TEST_F(SimPluggingTest, UnplugStopsTheRawViewAndReplugRestartsIt) {
  FakeStream stream;
  RecordingView view;
  platform::Event bridgeArrived{true, false};
  int refreshes = 0;
  DeviceEventHooks hooks;
  hooks.stream = &stream;
  hooks.view = &view;
  hooks.bridgeArrived = &bridgeArrived;
  hooks.refreshChipInfo = [&] { ++refreshes; };
  hooks.removeDigitizer = [] {};
  DeviceEvents events(std::move(hooks));

  const StatusDecision first = HandleAndCheck(events);
  EXPECT_TRUE(Logged(first, "USB已连接"));
  EXPECT_TRUE(Logged(first, "IIC已连接"));
  EXPECT_EQ(0, first.result);

  Bridge().Unplug();
  const StatusDecision gone = HandleAndCheck(events);
  EXPECT_EQ((std::vector<std::string>{"stopped 1"}), stream.calls);
  EXPECT_FALSE(device_->IsConnected());
  EXPECT_EQ((ViewActions{ViewAction::Lamp(Indicator::Bridge, LampColour::Red),
                         ViewAction::Log("USB已经断开", LOG_ERROR),
                         ViewAction::Lamp(Indicator::TouchIc, LampColour::Red)}),
            gone.actions);
  EXPECT_EQ(1, gone.result);

  Bridge().Replug();
  const StatusDecision back = HandleAndCheck(events);
  EXPECT_TRUE(device_->IsConnected());
  EXPECT_EQ((std::vector<std::string>{"stopped 1", "restart 1"}), stream.calls);
  EXPECT_EQ(1, refreshes);
  EXPECT_TRUE(bridgeArrived.IsSet());
  EXPECT_EQ((ViewActions{ViewAction::Lamp(Indicator::Bridge, LampColour::Green)}), view.Actions());
  EXPECT_TRUE(Logged(back, "USB已连接"));
  EXPECT_TRUE(Logged(back, "IIC已连接"));
  EXPECT_EQ(0, back.result);
}

}  // namespace
