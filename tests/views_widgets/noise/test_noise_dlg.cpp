// The noise view on the simulated RO9110V and RO7387Z (virtual clock, real request queue):
// opening with its backup, marker releases and the manual hop, a chain that
// died on a failed read, Send Config, the sends on their worker and their
// failures, and the auto-adjust with its restore.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <mutex>

#include "device/chip/ChipHooks.h"
#include "device/ConfigError.h"
#include "device/config/ConfigFamily.h"
#include "device/StreamControl.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/sync/Event.h"
#include "sim/ConfigBehaviour.h"
#include "sim/noise/NoiseArea.h"
#include "tests/device/ConfigTestUtil.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/FakePrompts.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views_widgets/ViewTestUtil.h"
#include "ui/UiBridge.h"
#include "ui/WaittingDlg.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"
#include "views/noise/AutoAdjust.h"
#include "views/noise/NoiseChain.h"
#include "views/noise/NoiseGeometry.h"
#include "views/widgets/RawDataLayout.h"
#include "views/widgets/noise/NoiseDlg.h"
#include "views/widgets/noise/NoiseDrawWorker.h"
#include "views/widgets/noise/NoiseGraphWidget.h"

namespace {

namespace fs = std::filesystem;

const fs::path kRuntime = fs::path(KESTRANA_TEST_DATA_DIR) / ".." / ".." / "resources" / "runtime";

// Requests pass to the device; the n-th block write (at the configuration
// base) waits at a gate until the test opens it, and block writes fail while
// the test says so.
class GateLink : public ILink {
 public:
  explicit GateLink(CHidDevice& device) : device_(device) {}
  // A test body that ends, or fails, with a request still on this link
  // (a read of the view, a write held at the gate) must not leave the
  // dispatcher with a destroyed link.
  ~GateLink() override {
    open_.Set();
    GetRequestQueue().DeselectLink(this, std::chrono::seconds(10));
  }
  uint32_t ExecuteOnLink(CHidRequest& request) override {
    if (request.operation == HidOpWrite && request.Address() == 0x8047 && request.length > 8) {
      if (failBlockWrites_) return 0;
      std::function<void()> onReached;
      bool gated = false;
      {
        std::lock_guard lock(mutex_);
        gated = ++blockWrites_ == gateAt_;
        if (gated) onReached = std::move(onReached_);
      }
      if (gated) {
        // Run before the test hears of the gate: a GateNext it makes then
        // arms the next write, never this one.
        if (onReached) onReached();
        reached_.Set();
        open_.Wait(10000);
      }
    }
    return device_.ExecuteOnLink(request);
  }
  void GateAt(int n) {
    std::lock_guard lock(mutex_);
    gateAt_ = n;
  }
  // The next block write waits; onReached runs on the dispatcher as it does.
  void GateNext(std::function<void()> onReached) {
    std::lock_guard lock(mutex_);
    onReached_ = std::move(onReached);
    gateAt_ = blockWrites_ + 1;
  }
  void FailBlockWrites(bool fail) { failBlockWrites_ = fail; }
  platform::Event reached_{true, false};
  platform::Event open_{true, false};

 private:
  CHidDevice& device_;
  std::mutex mutex_;
  int blockWrites_ = 0;
  int gateAt_ = -1;
  std::function<void()> onReached_;
  std::atomic<bool> failBlockWrites_{false};
};

// The configuration rig (scratch root, recording notifier, stream control)
// with the shipped RO9110V runtime files and a chip with its noise area.
class NoiseDlgTest : public ConfigTest {
 protected:
  virtual sim::ChipFamily Family() const { return sim::ChipFamily::RU9; }
  std::string ChipName() const { return Family() == sim::ChipFamily::RU9 ? "RO9110V" : "RO7387Z"; }

  void SetUp() override {
    ConfigTest::SetUp();
    stream_.streaming = false;
    const std::string chip = ChipName();
    fs::create_directories(Root() / "System" / "ChipIni");
    fs::copy_file(kRuntime / "System" / "ChipIni" / (chip + ".ini"),
                  Root() / "System" / "ChipIni" / (chip + ".ini"));
    fs::copy_file(kRuntime / "System" / "CfgItem" / (chip + "_demo.sc"),
                  Root() / "System" / "CfgItem" / (chip + "_demo.sc"));
    SetChipIniPath(Root() / "System" / "ChipIni" / (chip + ".ini"));
    SetChipName(chip);
    ConnectChip(Family());
    noise_ = &sim::AddNoiseArea(Chip(), sim::NoiseAreaConfig::For(Family()));
    original_ = ChipBlock();
    dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr);
  }

  void TearDown() override {
    dlg_.reset();
    GetRequestQueue().SelectLink(nullptr);
    ConfigTest::TearDown();
  }

  int ChipItem(const sim::NoiseItem& item) { return Bridge().Chip().Peek(item.address); }
  const sim::NoiseItemLayout& Items() { return noise_->Config().items; }

  // Full-block writes (the configuration sends) the chip saw so far.
  std::vector<std::vector<uint8_t>> BlockWrites() {
    std::vector<std::vector<uint8_t>> out;
    std::vector<uint8_t> current;
    for (const sim::ChipAccess& a : Bridge().Chip().AccessLog()) {
      if (a.op != sim::AccessOp::Write) continue;
      const uint16_t base = Personality().Personality().base;
      if (a.address == base && a.bytes.size() > 8) {
        current = a.bytes;
      } else if (!current.empty() && a.address == base + current.size()) {
        current.insert(current.end(), a.bytes.begin(), a.bytes.end());
      } else {
        continue;
      }
      if (current.size() == Personality().Personality().length) {
        out.push_back(current);
        current.clear();
      }
    }
    return out;
  }

  void Open() {
    dlg_->LoadNoiseConfig();
    const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
    ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 3, 10000));
    // The labels (and the markers the mouse can take) come through the UI.
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
      return dlg_->findChild<QLabel*>(QStringLiteral("IDC_FREQA"))->text() != "FreqA:";
    }));
  }

  // Drags a marker from index `from` to index `to` and lets go.
  void DragMarker(int from, int to) {
    // The marker the mouse takes is the one the view last showed.
    const QString shown =
        QStringLiteral("FreqA: %1kHz").arg(from * dlg_->Settings().bitFreq / 1000.0, 0, 'f', 1);
    ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
      return dlg_->findChild<QLabel*>(QStringLiteral("IDC_FREQA"))->text() == shown;
    }));
    // Taken after the wait, whose events may have resized or reopened the
    // view; nothing runs between here and the press.
    NoiseGraphWidget* graph = dlg_->Graph();
    const NoiseGeometry g = dlg_->Renderer().Geometry();
    const NoiseRange range = dlg_->Settings().range;
    const QPoint press(static_cast<int>(*MarkerX(from, g, range)), g.axisY / 2);
    // x whose drag index is `to`: the middle of its band.
    const int x = g.axisX + static_cast<int>((static_cast<long long>(to - range.start) * g.plotW +
                                              g.plotW / 2) / range.Count());
    ASSERT_EQ(DragIndex(x, g, range), to);
    QTest::mousePress(graph, Qt::LeftButton, Qt::NoModifier, press);
    QTest::mouseMove(graph, QPoint(x, g.axisY / 2));
    QTest::mouseRelease(graph, Qt::LeftButton, Qt::NoModifier, QPoint(x, g.axisY / 2));
  }

  // Opens the view and starts an auto-adjust whose third send waits at the
  // gate (the run is then surely in progress).
  void StartHeldAdjust(GateLink& gate) {
    gate.GateAt(3);
    GetRequestQueue().SelectLink(&gate);
    Open();
    dlg_->OnBnClickedPanelToggle();
    dlg_->OnBnClickedAutoAdjust();
    ASSERT_TRUE(gate.reached_.Wait(10000));
  }

  // A whole run steps the chip through every frequency of the range: a few
  // seconds here, many times that under the sanitizers on a loaded machine.
  // The bound only ends a run that never ends.
  bool WaitAdjustIdle() {
    return qttest::ProcessEventsUntil(
        [&] { return dlg_->AdjustStateNow() == AdjustState::Idle; }, 120000);
  }

  FakePrompts prompts_;
  sim::NoiseArea* noise_ = nullptr;
  std::vector<uint8_t> original_;
  std::unique_ptr<CNoiseDlg> dlg_;
};

TEST_F(NoiseDlgTest, OpensWithTheChipsSettingsStreamsAndRestoresOnClose) {
  Open();
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_EQ(dlg_->NoiseAddress(), 0xC6E6);
  EXPECT_EQ(dlg_->Settings().range, (NoiseRange{20, 70}));
  EXPECT_EQ(dlg_->Settings().bitFreq, 3000);
  EXPECT_TRUE(dlg_->Settings().dual);
  EXPECT_TRUE(fs::exists(Root() / "System" / "Temp" / "RO9110V_Back.cfg"));
  EXPECT_EQ(dlg_->SegmentValues(), (std::array<int, 11>{128, 30, 120, 40, 110, 50, 100, 60, 96, 65, 90}));
  EXPECT_EQ(dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_REF_FREQ"))->text(), "35");
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    return dlg_->findChild<QLabel*>(QStringLiteral("IDC_FREQA"))->text() == "FreqA: 105.0kHz";
  }));

  // A marker released at 50: the chip is told, and reports it in byte 5.
  DragMarker(35, 50);
  EXPECT_EQ(ChipItem(Items().factorA), 50);
  EXPECT_EQ(ChipItem(Items().factorB), 52);
  ASSERT_TRUE(qttest::ProcessEventsUntil(
      [&] { return !dlg_->Renderer().Target() && dlg_->Renderer().Skip() == 0; }));
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();

  dlg_->close();
  EXPECT_TRUE(dlg_->Chain().IsStopped());
  EXPECT_EQ(ChipBlock(), original_);
}

TEST_F(NoiseDlgTest, ManualHopRestoresTheThresholdsOwnValueAfterTwoReleases) {
  Open();
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(true);
  DragMarker(35, 41);
  EXPECT_EQ(ChipItem(Items().hopThreshold), 255);
  DragMarker(41, 60);
  EXPECT_EQ(ChipItem(Items().hopThreshold), 255);
  EXPECT_EQ(ChipItem(Items().factorA), 60);
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(false);
  EXPECT_EQ(ChipItem(Items().hopThreshold), 60);  // the value before the first hop
  const size_t sends = BlockWrites().size();
  // Checking and clearing again with nothing kept sends nothing.
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(true);
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(false);
  EXPECT_EQ(BlockWrites().size(), sends);
  dlg_->close();
}

TEST_F(NoiseDlgTest, AChainEndedByAFailedReadStartsAgainOnTheNextOpen) {
  Open();
  Bridge().SetSilent(true);
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->Chain().IsDead(); }));
  EXPECT_FALSE(dlg_->Chain().IsStopped());
  Bridge().SetSilent(false);
  const size_t backups = BlockWrites().size();
  const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
  dlg_->LoadNoiseConfig();
  EXPECT_FALSE(dlg_->Chain().IsDead());
  ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 3, 10000));
  EXPECT_EQ(BlockWrites().size(), backups);  // no second backup, no send
  dlg_->close();
}

TEST_F(NoiseDlgTest, SendConfigRefusesANonNumberAndSendsNothing) {
  Open();
  const std::string backup = [&] {
    std::string bytes;
    platform::ReadFileBytes(Root() / "System" / "Temp" / "RO9110V_Back.cfg", &bytes, 1 << 16);
    return bytes;
  }();
  const size_t sends = BlockWrites().size();
  dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG2_NORMAL"))->setText(QStringLiteral("12a"));
  dlg_->OnBnClickedSendConfig();
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_EQ(prompts_.warnings[0], QStringLiteral("Seg2Normal的值不是整数：12a"));
  EXPECT_TRUE(prompts_.infos.isEmpty());
  EXPECT_EQ(BlockWrites().size(), sends);
  std::string after;
  platform::ReadFileBytes(Root() / "System" / "Temp" / "RO9110V_Back.cfg", &after, 1 << 16);
  EXPECT_EQ(after, backup);

  // Numbers go to the chip and into the backup, which closing then restores.
  dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG2_NORMAL"))->setText(QStringLiteral("77"));
  dlg_->OnBnClickedSendConfig();
  EXPECT_EQ(prompts_.infos, QStringList{QStringLiteral("保存配置成功")});
  EXPECT_EQ(ChipItem(Items().segments[2]), 77);
  dlg_->close();
  EXPECT_EQ(ChipItem(Items().segments[2]), 77);
}

// What the UI thread saw while a send was held at the gate.
struct SeenDuringSend {
  bool served = false;
  bool waitingDialog = false;
  bool sending = false;
  std::vector<std::string> bracket;
};

TEST_F(NoiseDlgTest, AMarkerReleaseSendsOnAWorkerWhileTheUiThreadKeepsServing) {
  std::vector<std::string> bracket;
  NoiseDlgHost host;
  host.beginExclusive = [&] { bracket.push_back("begin"); };
  host.endExclusive = [&] { bracket.push_back("end"); };
  dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr, std::move(host));
  GateLink gate(*device_);
  GetRequestQueue().SelectLink(&gate);
  Open();
  // Runs only if the UI thread serves events while the send is held; a send
  // on the UI thread would hold it until the gate gives up.
  SeenDuringSend seen;
  gate.GateNext([&] {
    UiBridge::post([&] {
      seen.served = true;
      seen.waitingDialog = qobject_cast<CWaittingDlg*>(QApplication::activeModalWidget()) != nullptr;
      seen.sending = dlg_->Sending();
      seen.bracket = bracket;
      gate.open_.Set();
    });
  });
  DragMarker(35, 50);
  EXPECT_TRUE(seen.served);
  EXPECT_TRUE(seen.waitingDialog);
  EXPECT_TRUE(seen.sending);
  EXPECT_EQ(seen.bracket, std::vector<std::string>{"begin"});
  // The release returns with the send done and the bracket closed.
  EXPECT_EQ(bracket, (std::vector<std::string>{"begin", "end"}));
  EXPECT_FALSE(dlg_->Sending());
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  EXPECT_EQ(ChipItem(Items().factorA), 50);
  // The chain ran through the send and follows the chip to the new index.
  ASSERT_TRUE(qttest::ProcessEventsUntil(
      [&] { return !dlg_->Renderer().Target() && dlg_->Renderer().Skip() == 0; }));
  EXPECT_FALSE(dlg_->Chain().IsStopped());
  EXPECT_FALSE(dlg_->Chain().IsPaused());
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  dlg_->close();
  EXPECT_EQ(ChipBlock(), original_);
}

TEST_F(NoiseDlgTest, AClosingThatComesDuringASendRestoresAfterIt) {
  GateLink gate(*device_);
  GetRequestQueue().SelectLink(&gate);
  Open();
  gate.GateNext([&] {
    UiBridge::post([&] {
      dlg_->close();
      gate.open_.Set();
    });
  });
  DragMarker(35, 50);
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_TRUE(dlg_->Chain().IsStopped());
  // The release's block went first, then the backup's, each sent whole.
  const auto writes = BlockWrites();
  ASSERT_GE(writes.size(), 2u);
  std::vector<uint8_t> restored = original_;
  ASSERT_FALSE(restored.empty());
  restored.back() = 1;  // a block is sent with its fresh flag set
  EXPECT_NE(writes[writes.size() - 2], restored);
  EXPECT_EQ(writes.back(), restored);
  EXPECT_EQ(ChipBlock(), original_);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
}

// Each configuration command with the chip refusing the block: the send's
// own text, nothing told as success, the view as the chip has it, the read
// chain still running, and closing brings back the block of the opening.
struct FailedSendCase {
  const char* name;
  std::function<void()> before;  // while the chip still takes blocks
  std::function<void()> command;
  std::function<void()> after;
};

TEST_F(NoiseDlgTest, AFailedSendIsToldAndLeavesTheViewAsTheChipHasIt) {
  GateLink gate(*device_);
  GetRequestQueue().SelectLink(&gate);
  auto hopBox = [this] { return dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP")); };
  const FailedSendCase cases[] = {
      {"marker release", [] {}, [this] { DragMarker(35, 50); },
       [this] {
         EXPECT_EQ(ChipItem(Items().factorA), 35);
         // Not pending: the markers and curves follow the chip again.
         EXPECT_FALSE(dlg_->Renderer().Target());
         EXPECT_EQ(dlg_->Renderer().Skip(), 0);
       }},
      {"manual hop cleared",
       [&] {
         hopBox()->setChecked(true);
         DragMarker(35, 41);
       },
       [&] { hopBox()->setChecked(false); },
       [&] {
         EXPECT_EQ(ChipItem(Items().hopThreshold), 255);
         EXPECT_TRUE(hopBox()->isChecked());
         // Cleared again once the chip takes blocks: the kept value goes back.
         gate.FailBlockWrites(false);
         hopBox()->setChecked(false);
         EXPECT_EQ(ChipItem(Items().hopThreshold), 60);
       }},
      {"Send Config", [] {},
       [this] {
         dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG2_NORMAL"))->setText(QStringLiteral("77"));
         dlg_->OnBnClickedSendConfig();
       },
       [this] {
         EXPECT_EQ(ChipItem(Items().segments[2]), 120);
         EXPECT_EQ(dlg_->SegmentValues()[2], 120);
       }},
  };
  const QString sendFailed = QString::fromUtf8(
      kCfgSendFailedText.data(), static_cast<qsizetype>(kCfgSendFailedText.size()));
  for (const FailedSendCase& c : cases) {
    SCOPED_TRACE(c.name);
    dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr);
    prompts_.warnings.clear();
    prompts_.infos.clear();
    Open();
    c.before();
    gate.FailBlockWrites(true);
    c.command();
    EXPECT_EQ(prompts_.warnings, QStringList{sendFailed});
    EXPECT_TRUE(prompts_.infos.isEmpty());
    EXPECT_FALSE(dlg_->Sending());
    c.after();
    const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
    ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 2, 10000));
    EXPECT_FALSE(dlg_->Chain().IsDead());
    gate.FailBlockWrites(false);
    dlg_->close();
    EXPECT_EQ(ChipBlock(), original_);
  }
}

TEST_F(NoiseDlgTest, AutoAdjustSweepsEveryIndexAndSetsTheHandComputedSegments) {
  Open();
  dlg_->OnBnClickedPanelToggle();
  dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_REF_FREQ"))->setText(QStringLiteral("25"));
  dlg_->OnBnClickedAutoAdjust();
  EXPECT_EQ(dlg_->AdjustStateNow(), AdjustState::Running);
  EXPECT_EQ(dlg_->findChild<QPushButton*>(QStringLiteral("IDC_AUTO_ADJUST"))->text(), "Stop Adjust");
  EXPECT_FALSE(dlg_->findChild<QPushButton*>(QStringLiteral("IDC_SEND_CONFIG"))->isEnabled());
  ASSERT_TRUE(WaitAdjustIdle());
  // Averages 2000 (20-30), 2300 (31-45), 2900 (46-70) against index 25.
  EXPECT_EQ(dlg_->SegmentValues(),
            (std::array<int, 11>{126, 31, 109, 46, 88, 70, 88, 70, 88, 70, 88}));
  EXPECT_EQ(dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG1_FACTOR"))->text(), "31");
  std::vector<int> sweep;
  for (int f = 20; f <= 70; ++f) sweep.push_back(f);
  EXPECT_EQ(noise_->RawFrameIndices(), sweep);
  // The run never changes the chip by itself, and leaves the view stopped.
  EXPECT_EQ(ChipBlock(), original_);
  EXPECT_TRUE(dlg_->Chain().IsStopped());
  EXPECT_EQ(dlg_->findChild<QPushButton*>(QStringLiteral("IDC_AUTO_ADJUST"))->text(), "Auto Adjust");
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  dlg_->close();
}

TEST_F(NoiseDlgTest, ClosingDuringAutoAdjustRestoresOnceAndLeavesTheChipAsItWas) {
  GateLink gate(*device_);
  StartHeldAdjust(gate);
  dlg_->close();  // must not wait for the run: its sends need this thread
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(dlg_->AdjustStateNow(), AdjustState::Stopping);
  gate.open_.Set();
  ASSERT_TRUE(WaitAdjustIdle());
  WaitForQueuedRequests();
  std::vector<uint8_t> sent = original_;
  sent.back() = 1;  // a block is sent with its fresh flag set
  const auto writes = BlockWrites();
  EXPECT_EQ(std::count(writes.begin(), writes.end(), sent), 1);
  EXPECT_EQ(ChipBlock(), original_);
  EXPECT_TRUE(dlg_->Chain().IsStopped());
  // Opening again works from a fresh backup.
  Open();
  EXPECT_TRUE(dlg_->isVisible());
  dlg_->close();
}

TEST_F(NoiseDlgTest, ClosingThePanelDuringAutoAdjustBringsTheNoiseGraphBackAfterTheRun) {
  GateLink gate(*device_);
  StartHeldAdjust(gate);
  dlg_->OnBnClickedPanelToggle();
  EXPECT_FALSE(dlg_->PanelShown());
  EXPECT_EQ(dlg_->AdjustStateNow(), AdjustState::Stopping);
  EXPECT_TRUE(dlg_->Chain().IsStopped());  // not before the run has ended
  gate.open_.Set();
  ASSERT_TRUE(WaitAdjustIdle());
  EXPECT_FALSE(dlg_->Chain().IsStopped());
  EXPECT_LT(dlg_->Renderer().YMax(), NoiseRenderer::kAdjustYMax);  // the noise scale again
  const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
  ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 2, 10000));
  dlg_->close();
  EXPECT_EQ(ChipBlock(), original_);
}

// The backup's read of the block fails once, with the backup file of an
// earlier opening (another module of the chip type) still on disk: the view
// streams, but nothing of that file, nor of the failed read, reaches the chip.
TEST_F(NoiseDlgTest, AnOpeningWhoseBackupFailedSendsAndRestoresNothing) {
  const fs::path backupFile = Root() / "System" / "Temp" / "RO9110V_Back.cfg";
  std::vector<uint8_t> other = original_;
  other[Items().segments[2].address - Personality().Personality().base] ^= 0x5A;
  std::string text;
  for (uint8_t b : other) {
    char token[8];
    std::snprintf(token, sizeof token, "0x%02x,", b);
    text += token;
  }
  fs::create_directories(backupFile.parent_path());
  platform::testing_support::WriteBytes(backupFile, text);
  const QString refusal = QString::fromUtf8(kNoiseNoBackupText);

  struct Case {
    const char* name;
    std::function<void()> command;  // null: closing straight away
  } cases[] = {
      {"closed", nullptr},
      {"Send Config",
       [this] {
         dlg_->OnBnClickedPanelToggle();
         dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG2_NORMAL"))->setText(QStringLiteral("77"));
         dlg_->OnBnClickedSendConfig();
       }},
      {"Auto Adjust",
       [this] {
         dlg_->OnBnClickedPanelToggle();
         dlg_->OnBnClickedAutoAdjust();
         EXPECT_EQ(dlg_->AdjustStateNow(), AdjustState::Idle);
       }},
      {"marker release with Manual Hop, then cleared",
       [this] {
         auto* hop = dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"));
         hop->setChecked(true);
         DragMarker(35, 50);
         hop->setChecked(false);  // nothing was kept: nothing to put back
         EXPECT_FALSE(dlg_->Renderer().Target());
       }},
      {"the run itself, at its end",
       [this] {
         AutoAdjustHooks hooks;
         hooks.tell = [this](const std::string& t) { prompts_.warn(QString::fromStdString(t)); };
         const AutoAdjustResult result =
             RunAutoAdjust(dlg_->Tuning(), dlg_->Settings().range, false,
                           GetDataFormatStore().Format(DataKind::Raw), hooks);
         EXPECT_EQ(result.measured, 0);
         EXPECT_FALSE(result.restored);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr);
    prompts_.warnings.clear();
    prompts_.infos.clear();
    const size_t sends = BlockWrites().size();
    const size_t boxes = notifier_.Texts().size();
    Bridge().SilenceNextReads(1);
    Open();
    const std::vector<std::string> told = notifier_.Texts();
    ASSERT_EQ(told.size(), boxes + 1);
    EXPECT_EQ(told.back(), kCfgReadFailedText);
    // No values of a failed read on show, and the graph's default range.
    EXPECT_EQ(dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG2_NORMAL"))->text(), "");
    EXPECT_EQ(dlg_->Settings().range, (NoiseRange{20, 70}));
    if (c.command) {
      c.command();
      EXPECT_EQ(prompts_.warnings, QStringList{refusal});
    }
    EXPECT_TRUE(prompts_.infos.isEmpty());
    dlg_->close();
    WaitForQueuedRequests();
    EXPECT_EQ(BlockWrites().size(), sends);
    EXPECT_EQ(ChipBlock(), original_);
    std::string after;
    platform::ReadFileBytes(backupFile, &after, 1 << 16);
    EXPECT_EQ(after, text);
  }
  // Opened again with the chip answering: a backup of its own, and closing
  // restores it.
  dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr);
  Open();
  DragMarker(35, 50);
  EXPECT_EQ(ChipItem(Items().factorA), 50);
  dlg_->close();
  EXPECT_EQ(ChipBlock(), original_);
}

// Closed during an auto-adjust and opened again before the run has ended:
// once the run has restored the chip, the view takes its own backup and
// settings and streams, and its close restores that backup.
TEST_F(NoiseDlgTest, AViewOpenedAgainWhileAClosedRunEndsCompletesItsOpeningAfterTheRun) {
  const fs::path backupFile = Root() / "System" / "Temp" / "RO9110V_Back.cfg";
  GateLink gate(*device_);
  StartHeldAdjust(gate);
  dlg_->close();
  dlg_->LoadNoiseConfig();
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_TRUE(dlg_->Chain().IsStopped());  // the run still owns the chip
  // The run's restore has read the backup file when its block goes out; a
  // file there afterwards is the new opening's.
  gate.GateNext([&] { fs::remove(backupFile); });
  gate.open_.Set();
  ASSERT_TRUE(WaitAdjustIdle());
  // The run's restore went out before the new opening took its backup.
  EXPECT_EQ(ChipBlock(), original_);
  EXPECT_TRUE(fs::exists(backupFile));
  EXPECT_FALSE(dlg_->Chain().IsStopped());
  EXPECT_EQ(dlg_->findChild<QLineEdit*>(QStringLiteral("IDC_SEG1_NORMAL"))->text(), "128");
  const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
  ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 3, 10000));
  DragMarker(35, 50);
  EXPECT_EQ(ChipItem(Items().factorA), 50);
  dlg_->close();
  EXPECT_EQ(ChipBlock(), original_);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
}

// The main window's pages as the noise view reaches them.
class OnePageControl : public IStreamControl {
 public:
  explicit OnePageControl(CDataLayout& raw) : raw_(raw) {}
  int CurrentPage() const override { return PAGE_RAW; }
  bool IsBusy() const override { return busy; }
  void RestartPage(int) override {}
  void MarkPageStopped(int page) override {
    if (page == PAGE_RAW) UiBridge::call([this] { raw_.SetStopped(true); });
  }
  bool StopPageStream(int page) override {
    bool was = false;
    if (page == PAGE_RAW) UiBridge::call([&] {
        was = !raw_.IsStopped();
        raw_.SetStopped(true);
      });
    return was;
  }
  void RestartPageStream(int) override {
    UiBridge::call([this] {
      raw_.SetStopped(false);
      raw_.RequestFrame();
    });
  }
  std::atomic<bool> busy{false};

 private:
  CDataLayout& raw_;
};

// Notes, for each request of an auto-adjust run, whether the run held the
// device then. The read chain's asynchronous requests are not the run's: one
// may still be in flight as the run starts.
class HoldWatchLink : public ILink {
 public:
  HoldWatchLink(ILink& next, std::function<bool()> runOn) : next_(next), runOn_(std::move(runOn)) {}
  uint32_t ExecuteOnLink(CHidRequest& request) override {
    const bool async =
        request.bridgeCmd == BridgeCmdAsyncRead || request.bridgeCmd == BridgeCmdAsyncWrite;
    if (!async && runOn_()) ++(held_ ? inside_ : outside_);
    return next_.ExecuteOnLink(request);
  }
  std::atomic<bool> held_{false};
  std::atomic<int> inside_{0};
  std::atomic<int> outside_{0};

 private:
  ILink& next_;
  std::function<bool()> runOn_;
};

TEST_F(NoiseDlgTest, TheRunHoldsTheDeviceFromItsFirstRequestToItsLastWhicheverWayItEnds) {
  struct Case {
    const char* name;
    bool refuseBlocks;
    // While the run waits at its third send (null: it is not held).
    std::function<void(CNoiseDlg&)> midway;
  } cases[] = {
      {"to the end", false, nullptr},
      {"stopped", false, [](CNoiseDlg& dlg) { dlg.OnBnClickedAutoAdjust(); }},
      {"closed", false, [](CNoiseDlg& dlg) { dlg.close(); }},
      {"its sends refused", true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::mutex lock;
    std::vector<std::string> calls;
    GateLink gate(*device_);
    HoldWatchLink watch(gate, [this] { return dlg_->AdjustStateNow() != AdjustState::Idle; });
    NoiseDlgHost host;
    host.holdOnWorker = [&] {
      std::lock_guard guard(lock);
      calls.push_back("hold");
      watch.held_ = true;
    };
    host.releaseOnWorker = [&] {
      std::lock_guard guard(lock);
      calls.push_back("release");
      watch.held_ = false;
    };
    dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr, std::move(host));
    GetRequestQueue().SelectLink(&watch);
    Open();
    dlg_->OnBnClickedPanelToggle();
    if (c.midway) gate.GateAt(3);
    gate.FailBlockWrites(c.refuseBlocks);
    dlg_->OnBnClickedAutoAdjust();
    if (c.midway) {
      ASSERT_TRUE(gate.reached_.Wait(10000));
      c.midway(*dlg_);
      gate.open_.Set();
    }
    ASSERT_TRUE(WaitAdjustIdle());
    dlg_.reset();
    GetRequestQueue().SelectLink(nullptr);
    EXPECT_EQ(calls, (std::vector<std::string>{"hold", "release"}));
    EXPECT_GT(watch.inside_, 0);
    EXPECT_EQ(watch.outside_, 0);
    dlg_ = std::make_unique<CNoiseDlg>(prompts_, nullptr);
  }
}

TEST_F(NoiseDlgTest, AutoAdjustWithTheRawPageRunningLeavesNoRawChain) {
  DataFormatStore store;
  RawFrameStack stack;
  auto nodes = std::make_unique<NodeArrays>();
  std::mutex lock;
  CRawDataLayout raw(store, nullptr, stack, *nodes, lock);
  OnePageControl pages(raw);
  SetStreamControl(&pages);
  raw.resize(400, 300);
  raw.show();
  raw.StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    auto p = raw.Picture();
    return p && p->framesTaken >= 2;
  }));
  Open();
  dlg_->OnBnClickedPanelToggle();
  dlg_->OnBnClickedAutoAdjust();
  ASSERT_TRUE(WaitAdjustIdle());
  EXPECT_TRUE(raw.IsStopped());
  WaitForQueuedRequests();
  Bridge().Trace().Clear();
  WaitForQueuedRequests();
  for (const Report& r : Sent()) EXPECT_NE(r[2], BridgeCmdFrameRead);
  raw.StopStream();
  SetStreamControl(nullptr);
}

TEST_F(NoiseDlgTest, ABusyMainWindowRefusesConfigurationCommandsAndPausesTheChain) {
  Open();
  stream_.busy = true;
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return dlg_->Chain().IsPaused(); }));
  const size_t sends = BlockWrites().size();
  dlg_->OnBnClickedSendConfig();
  dlg_->OnBnClickedAutoAdjust();
  EXPECT_EQ(prompts_.warnings,
            QStringList(2, QString::fromUtf8(kNoiseBusyText)));
  EXPECT_EQ(dlg_->AdjustStateNow(), AdjustState::Idle);
  EXPECT_EQ(BlockWrites().size(), sends);
  stream_.busy = false;
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return !dlg_->Chain().IsPaused(); }));
  const uint64_t drawn = dlg_->DrawWorker().FramesDrawn();
  ASSERT_TRUE(dlg_->DrawWorker().WaitForFramesDrawn(drawn + 2, 10000));
  dlg_->close();
}

class NoiseDlgDe7Test : public NoiseDlgTest {
 protected:
  sim::ChipFamily Family() const override { return sim::ChipFamily::DE7; }
};

TEST_F(NoiseDlgDe7Test, PeriodBitFrequencyAndAManualHopThatRestoresTheItemItOverwrote) {
  // The threshold read at opening differs from the one a hop overwrites.
  Chip().Poke(Items().openingThreshold.address, 70);
  Open();
  EXPECT_EQ(dlg_->Settings().bitFreq, 4000);  // a period of 250
  EXPECT_FALSE(dlg_->Settings().dual);
  EXPECT_EQ(dlg_->Settings().hopThreshold, 70);  // "Slow_Hoppging_Threshold"
  EXPECT_FALSE(dlg_->findChild<QLabel*>(QStringLiteral("IDC_FREQB"))->isVisible());
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(true);
  DragMarker(35, 30);
  EXPECT_EQ(ChipItem(Items().hopThreshold), 255);
  EXPECT_EQ(ChipItem(Items().openingThreshold), 70);
  // Clearing the box puts back "Hop_Threshold"'s own value, not the
  // threshold read at opening.
  dlg_->findChild<QCheckBox*>(QStringLiteral("IDC_MANUAL_HOP"))->setChecked(false);
  EXPECT_EQ(ChipItem(Items().hopThreshold), 60);
  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('|').toStdString();
  dlg_->close();
}

}  // namespace
