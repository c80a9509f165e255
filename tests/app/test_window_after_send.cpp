// What the window shows after a configuration send: the raw view's
// statistics start afresh, and the data-options dialog that stood open
// meanwhile does not put back the panel the chip had before.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <atomic>
#include <mutex>
#include <vector>

#include "programming/widgets/ConfigDlg.h"
#include "sim/ConfigBehaviour.h"
#include "sim/DataPlane.h"
#include "tests/app/WindowRig.h"
#include "tests/ui/QtTestUtil.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"
#include "views/ValueDecode.h"
#include "views/widgets/OptionDlg.h"
#include "views/widgets/RawDataLayout.h"
#include "platform/files/IniFile.h"

namespace {

using namespace window_test;

// Raw values before and after the chip took a configuration.
constexpr int32_t kBeforeSend = 1000;
constexpr int32_t kAfterSend = 1300;

// The window on a chip with a data plane whose raw frames show whether a
// configuration has been taken.
class RawViewAfterSend : public WindowRig {
 protected:
  std::shared_ptr<sim::SimBridge> MakeBridge() override {
    auto bridge = std::make_shared<sim::SimBridge>(sim::DefaultBridgeConfig(sim::ChipFamily::RU9),
                                                   sim::SimChipConfig::For(sim::ChipFamily::RU9),
                                                   nullptr);
    sim::ConfigBehaviour* personality = &sim::AddConfigPersonality(bridge->Chip());
    sim::DataPlane& plane = sim::AddDataPlane(
        bridge->Chip(), sim::DataPlaneConfig::For(sim::ChipFamily::RU9));
    plane.SetRawFilter([personality](uint64_t, std::vector<int32_t>& values) {
      std::fill(values.begin(), values.end(),
                personality->TakenCount() > 0 ? kAfterSend : kBeforeSend);
    });
    return bridge;
  }
};

// After a send the raw view restarts as its page button does: none of the
// frames read under the old configuration are in its statistics.
TEST_F(RawViewAfterSend, TheRestartAfterASendStartsTheStatisticsAfresh) {
  auto* raw = window_->findChild<CRawDataLayout*>();
  ASSERT_NE(raw, nullptr);
  auto stacked = [] {
    std::lock_guard lock(NodeArraysMutex());
    return GetRawFrameStack().Count();
  };
  Control<QPushButton>(CONTROL_NAME(IDC_RAW_DATA))->click();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return stacked() == RawFrameStack::kFrames; }));

  // Two frames of the new configuration, then the chip goes quiet and the
  // stream ends, so that what the view holds can be looked at.
  std::atomic<int> newFrames{0};
  raw->SetFrameTap([&](const FramePayload& frame) {
    int32_t first = 0;
    DecodeFrame(frame.bytes.data(), frame.bytes.size(), frame.format, 1, &first, 1);
    if (first == kAfterSend && ++newFrames == 2) bridge_->SetSilent(true);
  });
  Control<QPushButton>(CONTROL_NAME(IDC_AXIS_X2X))->click();  // a send
  ASSERT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('\n').toStdString();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] {
    const auto picture = raw->Picture();
    return raw->IsStopped() && picture && !picture->values.empty() &&
           picture->values[0] == kAfterSend;
  }));
  raw->SetFrameTap(nullptr);
  bridge_->SetSilent(false);

  std::lock_guard lock(NodeArraysMutex());
  const RawFrameStack& stack = GetRawFrameStack();
  EXPECT_GE(stack.Count(), 1u);
  EXPECT_LE(stack.Count(), 2u);
  for (size_t slot = 0; slot < stack.Count(); ++slot) {
    EXPECT_EQ(stack.At(slot)[0], kAfterSend) << slot;
  }
  EXPECT_EQ(GetNodeArrays().NodeJitter[0], 0) << "no step between the two configurations";
}

// The open data-options dialog, found among the top-level windows.
COptionDlg* OpenOptionDlg() {
  for (QWidget* widget : QApplication::topLevelWidgets()) {
    auto* dlg = qobject_cast<COptionDlg*>(widget);
    if (dlg != nullptr && dlg->isVisible()) return dlg;
  }
  return nullptr;
}

class OptionsAfterSend : public WindowRig {};

// The panel read after an editor send (20 rows, 10 columns) while the
// dialog stands open: closing it keeps that panel in every field the user
// did not touch, and what the user typed still counts.
TEST_F(OptionsAfterSend, ClosingTheDialogKeepsThePanelReadWhileItWasOpen) {
  Control<QPushButton>(CONTROL_NAME(IDC_OPTIONS))->click();
  COptionDlg* options = OpenOptionDlg();
  ASSERT_NE(options, nullptr);
  const DataFormat shown = GetDataFormatStore().Format(DataKind::Raw);
  ASSERT_NE(shown.rows, 20);
  ASSERT_NE(shown.cols, 10);
  auto* diffRows = options->findChild<QComboBox*>(CONTROL_NAME(IDC_OPT_DIFF_ROWS));
  ASSERT_NE(diffRows, nullptr);
  diffRows->setEditText(QStringLiteral("12"));

  // Two driving groups of 5 channels, sensing nibbles 10 + 10.
  bridge_->Chip().PokeRange(0x8062, {5, 5, 0xAA});
  Control<QPushButton>(CONTROL_NAME(IDC_CONFIG))->click();
  CConfigDlg* editor = window_->ConfigDlg();
  ASSERT_NE(editor, nullptr);
  editor->findChild<QPushButton*>(CONTROL_NAME(IDC_CFG_SEND))->click();
  ASSERT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join('\n').toStdString();
  ASSERT_EQ(GetDataFormatStore().Format(DataKind::Raw).rows, 20);
  ASSERT_EQ(GetDataFormatStore().Format(DataKind::Raw).cols, 10);
  editor->close();

  options->close();
  EXPECT_FALSE(options->isVisible());
  const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
  const DataFormat diff = GetDataFormatStore().Format(DataKind::Diff);
  EXPECT_EQ(raw.rows, 20);
  EXPECT_EQ(raw.cols, 10);
  EXPECT_EQ(diff.rows, 12) << "the edited field";
  EXPECT_EQ(diff.cols, 10);
  const fs::path ini = options->ChipIniPath();
  EXPECT_EQ(platform::IniGetString("Option", "RawDataRows", "", ini), "20");
  EXPECT_EQ(platform::IniGetString("Option", "RawDataCols", "", ini), "10");
  EXPECT_EQ(platform::IniGetString("Option", "DiffDataRows", "", ini), "12");
}

}  // namespace
