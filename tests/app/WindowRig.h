#pragma once
// The main window on one simulated bridge in a temporary runtime root, for
// the tests of the window's panels and commands.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTextBlock>
#include <QTextDocument>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/KestranaDlg.h"
#include "device/Config.h"
#include "device/ChipGlobals.h"
#include "platform/AppPaths.h"
#include "sim/SimHidBackend.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "sim/flash/FirmwareImages.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/FakePrompts.h"
#include "ui/ControlIds.h"
#include "ui/LogWindow.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/UiBridge.h"

namespace window_test {

namespace fs = std::filesystem;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;

inline const fs::path kShippedRuntime =
    fs::path(KESTRANA_TEST_DATA_DIR).parent_path().parent_path() / "resources" / "runtime";

inline QStringList LogLines(CMyRichEditCtrl& log) {
  QStringList lines;
  for (QTextBlock b = log.document()->begin(); b.isValid(); b = b.next()) {
    if (!b.text().isEmpty()) lines << b.text();
  }
  return lines;
}

// A small bridge firmware image in hex text at `hex`.
inline void WriteBridgeImage(const fs::path& hex) {
  std::vector<uint8_t> image(600);
  for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<uint8_t>(i * 3);
  WriteBytes(hex, sim::ImageToIntelHex(image));
}

// The files of a whole update on the program's simulated bridge: a bridge
// image, the RO9110V firmware at 1061 and the chip's own configuration block
// (read from the chip in force) under a newer version byte.
struct UpdateFiles {
  fs::path bridge;
  fs::path firmware;
  fs::path config;
  uint8_t configVersion = 0;
};
inline UpdateFiles WriteUpdateFiles(const fs::path& dir) {
  UpdateFiles files{dir / "v64er_v0102.hex", dir / "RO9110V_1061.bin", dir / "RO9110V_line.cfg"};
  WriteBridgeImage(files.bridge);
  const std::vector<uint8_t> image =
      sim::MakeDe9Firmware(sim::kDe9LengthFull, {"9110V", 0x1061, "9111", 0x1061});
  WriteBytes(files.firmware, std::string(image.begin(), image.end()));
  CConfig block;
  block.ReadConfig();
  files.configVersion = static_cast<uint8_t>(block.Block()[0] + 1);
  block.Block()[0] = files.configVersion;
  block.WriteCfgFile(files.config);
  return files;
}

// Ticks the update panel's steps whose path is given, with that path, and
// clears the others.
inline void ChooseUpdateSteps(QWidget& window, const UpdateFiles& files) {
  const struct {
    QString box;
    QString edit;
    const fs::path& path;
  } steps[] = {{CONTROL_NAME(IDC_V64ER_ENABLE), CONTROL_NAME(IDC_V64ER_PATH), files.bridge},
               {CONTROL_NAME(IDC_DUVIV_ENABLE), CONTROL_NAME(IDC_DUVIV_PATH), files.firmware},
               {CONTROL_NAME(IDC_CONFIG_ENABLE), CONTROL_NAME(IDC_CONFIG_PATH), files.config}};
  for (const auto& step : steps) {
    auto* box = window.findChild<QCheckBox*>(step.box);
    auto* edit = window.findChild<CMyEditBrowseCtrl*>(step.edit);
    ASSERT_NE(box, nullptr);
    ASSERT_NE(edit, nullptr);
    box->setChecked(!step.path.empty());
    if (!step.path.empty()) edit->setText(QString::fromStdString(step.path.string()));
  }
}

class WindowRig : public ::testing::Test {
 protected:
  void SetUp() override {
    g_shuttingDown = false;
    SetChipName("");
    platform::AppPaths::SetBaseDir(root_.path());
    fs::copy(kShippedRuntime, root_.path(), fs::copy_options::recursive);
    BeforeStart();
    bridge_ = backend_->AddBridge(MakeBridge());
    window_ = std::make_unique<CKestranaDlg>(prompts_, backend_);
    window_->SetMonitorWait([](const std::vector<platform::Event*>& events, uint32_t) {
      events[0]->Wait();
      return 0;
    });
    BeforeInitialize(*window_);
    ASSERT_TRUE(window_->Initialize());
  }
  // Runs before the window starts (settings a test needs in place).
  virtual void BeforeStart() {}
  // The simulated bridge the window finds.
  virtual std::shared_ptr<sim::SimBridge> MakeBridge() {
    return sim::MakeDefaultBridge(sim::ChipFamily::RU9);
  }
  // The window's seams a test puts in before it starts.
  virtual void BeforeInitialize(CKestranaDlg&) {}
  void TearDown() override {
    window_.reset();
    g_shuttingDown = false;
  }
  template <typename T>
  T* Control(const QString& name) {
    T* widget = window_->findChild<T*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
  }
  // Only the bridge step, on a small image.
  fs::path ChooseBridgeImage() {
    UpdateFiles files;
    files.bridge = root_.path() / "v64er_v0102.hex";
    WriteBridgeImage(files.bridge);
    ChooseUpdateSteps(*window_, files);
    return files.bridge;
  }
  bool Saw(const QString& line) { return LogLines(window_->Log()).contains(line); }

  ScratchDir root_;
  FakePrompts prompts_;
  std::shared_ptr<sim::SimHidBackend> backend_ = std::make_shared<sim::SimHidBackend>();
  std::shared_ptr<sim::SimBridge> bridge_;
  std::unique_ptr<CKestranaDlg> window_;
};

}  // namespace window_test
