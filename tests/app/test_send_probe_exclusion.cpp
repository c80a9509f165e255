// A configuration send and the connection probe on the simulated bridge: a
// probe caught in the middle when a send starts ends before the send's first
// request, and the probes resume once the send is over.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include "app/ConnectionLinks.h"
#include "device/link/HidDevice.h"
#include "device/link/Link.h"
#include "device/link/RequestQueue.h"
#include "programming/widgets/ConfigDlg.h"
#include "tests/app/ProbeGate.h"
#include "tests/app/WindowRig.h"
#include "tests/ui/QtTestUtil.h"
#include "ui/WaittingDlg.h"

namespace {

using namespace window_test;
using namespace probe_gate;

// Tells the link when the waiting dialog comes up and goes.
class WaitingDialogWatch : public QObject {
 public:
  explicit WaitingDialogWatch(std::atomic<bool>& shown) : shown_(shown) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (qobject_cast<CWaittingDlg*>(watched) != nullptr) {
      if (event->type() == QEvent::Show) shown_ = true;
      if (event->type() == QEvent::Hide) shown_ = false;
    }
    return false;
  }

 private:
  std::atomic<bool>& shown_;
};

struct SendCase {
  const char* name;
  // Before the probe is held (it may use the device itself).
  std::function<void(CKestranaDlg&)> prepare;
  std::function<void(CKestranaDlg&)> send;
  // Another listed chip than the one connected: the probe finds the chip
  // changed and waits for the window's refresh (UI thread) before it ends.
  const char* chipBefore = nullptr;
};

void PrintTo(const SendCase& c, std::ostream* os) { *os << c.name; }

class SendBesideProbe : public ProbeGateRig, public ::testing::WithParamInterface<SendCase> {};

TEST_P(SendBesideProbe, TheSendWaitsForTheProbeInProgressAndTheProbesResumeAfter) {
  CKestranaDlg& w = *window_;
  ASSERT_TRUE(script_.atFirstCheck.Wait(10000));
  GetParam().prepare(w);
  if (GetParam().chipBefore != nullptr) SetChipName(GetParam().chipBefore);
  gate_ = std::make_unique<ProbeGateLink>(*g_pBridgeDevice.load(), w.Links());
  ProbeGateLink& gate = *gate_;
  GetRequestQueue().SelectLink(&gate);
  script_.go.Set();
  ASSERT_TRUE(gate.held_.Wait(10000));

  // The gate opens once the send is surely under way: its first request
  // waits in the queue behind the held one, or the send itself waits for the
  // probe (the window stands aside and its waiting dialog is not up yet).
  WaitingDialogWatch watch(gate.sendUnderWay_);
  qApp->installEventFilter(&watch);
  QTimer opener;
  QObject::connect(&opener, &QTimer::timeout, [&] {
    if (gate.Holding() && w.Links().Exclusive() &&
        (GetRequestQueue().Count() > 0 || !gate.sendUnderWay_)) {
      gate.open_.Set();
    }
  });
  opener.start(1);
  GetParam().send(w);
  qApp->removeEventFilter(&watch);
  opener.stop();
  EXPECT_TRUE(gate.open_.IsSet());
  EXPECT_FALSE(w.Links().Exclusive());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();

  script_.resume.Set();
  // The resumed probe's status check is over when the monitor waits again.
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return script_.waits >= 4; }));
  EXPECT_EQ(gate.Turns(), (std::vector<std::string>{"probe", "send", "probe"}));
  EXPECT_EQ(GetChipName(), "RO9110V");
}

void OpenEditor(CKestranaDlg& w) {
  w.findChild<QPushButton*>(CONTROL_NAME(IDC_CONFIG))->click();
  ASSERT_NE(w.ConfigDlg(), nullptr);
}

void EditorSend(CKestranaDlg& w) {
  w.ConfigDlg()->findChild<QPushButton*>(CONTROL_NAME(IDC_CFG_SEND))->click();
}

void AxisSend(CKestranaDlg& w) { w.findChild<QPushButton*>(CONTROL_NAME(IDC_AXIS_X2X))->click(); }

INSTANTIATE_TEST_SUITE_P(
    Sends, SendBesideProbe,
    ::testing::Values(SendCase{"EditorSendCfg", OpenEditor, EditorSend},
                      SendCase{"AxisCommand", [](CKestranaDlg&) {}, AxisSend},
                      SendCase{"EditorSendCfgWhileTheProbeRefreshesTheWindow", OpenEditor,
                               EditorSend, "RO9110R"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
