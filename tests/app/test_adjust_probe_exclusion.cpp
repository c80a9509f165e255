// The noise view's auto-adjust and the connection probe on the simulated
// bridge: a probe caught in the middle when the run starts ends before the
// run's first request, no probe comes while the run goes on (its polls and
// frame reads included), and the probes resume once it is over.

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/ConnectionLinks.h"
#include "device/link/HidRequest.h"
#include "device/link/RequestQueue.h"
#include "sim/noise/NoiseArea.h"
#include "tests/app/ProbeGate.h"
#include "tests/app/WindowRig.h"
#include "tests/ui/QtTestUtil.h"
#include "views/widgets/noise/NoiseDlg.h"

namespace {

using namespace window_test;
using namespace probe_gate;

class AdjustBesideProbe : public ProbeGateRig {
 protected:
  std::shared_ptr<sim::SimBridge> MakeBridge() override {
    auto bridge = sim::MakeDefaultBridge(sim::ChipFamily::RU9);
    sim::AddNoiseArea(bridge->Chip(), sim::NoiseAreaConfig::For(sim::ChipFamily::RU9));
    return bridge;
  }
  bool RunOver(CKestranaDlg& w, CNoiseDlg& noise) {
    return qttest::ProcessEventsUntil([&] {
      return noise.AdjustStateNow() == AdjustState::Idle && !w.Links().Exclusive();
    });
  }
};

TEST_F(AdjustBesideProbe, TheRunWaitsForTheProbeInProgressKeepsProbesOutAndTheyResumeAfter) {
  CKestranaDlg& w = *window_;
  ASSERT_TRUE(script_.atFirstCheck.Wait(10000));
  Control<QPushButton>(CONTROL_NAME(IDC_NOISE))->click();
  CNoiseDlg* noise = w.NoiseDlg();
  ASSERT_NE(noise, nullptr);
  // A first run stops the view's reading and the pages and leaves them
  // stopped: the run below is then the only traffic beside the probe.
  noise->OnBnClickedAutoAdjust();
  ASSERT_TRUE(RunOver(w, *noise));
  ASSERT_TRUE(qttest::ProcessEventsUntil([] { return GetRequestQueue().Count() == 0; }));

  gate_ = std::make_unique<ProbeGateLink>(*g_pBridgeDevice.load(), w.Links());
  ProbeGateLink& gate = *gate_;
  // The probe only reads; the run's first request is its stream stop (a
  // write), and every request from there to the run's end is the run's.
  auto runStarted = std::make_shared<std::atomic<bool>>(false);
  gate.SetSendingTest([noise, runStarted](const CHidRequest& request) {
    if (noise->AdjustStateNow() == AdjustState::Idle) return false;
    if (request.operation == HidOpWrite && request.bridgeCmd != BridgeCmdAsyncWrite) {
      *runStarted = true;
    }
    return runStarted->load();
  });
  GetRequestQueue().SelectLink(&gate);
  script_.go.Set();
  ASSERT_TRUE(gate.held_.Wait(10000));

  // The gate opens once the run is surely under way: it holds the device
  // (and waits for the probe), or its first request waits in the queue
  // behind the held one.
  QTimer opener;
  QObject::connect(&opener, &QTimer::timeout, [&] {
    if (gate.Holding() && (w.Links().Exclusive() || GetRequestQueue().Count() > 0)) {
      gate.open_.Set();
    }
  });
  opener.start(1);
  noise->OnBnClickedAutoAdjust();
  ASSERT_TRUE(RunOver(w, *noise));
  opener.stop();
  EXPECT_TRUE(gate.open_.IsSet());
  EXPECT_TRUE(*runStarted);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();

  script_.resume.Set();
  // The resumed probe's status check is over when the monitor waits again.
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return script_.waits >= 4; }));
  EXPECT_EQ(gate.Turns(), (std::vector<std::string>{"probe", "send", "probe"}));
}

}  // namespace
