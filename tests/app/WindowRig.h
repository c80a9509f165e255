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
#include "device/ChipGlobals.h"
#include "platform/files/AppPaths.h"
#include "sim/SimHidBackend.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/FakePrompts.h"
#include "tools/simdemo/SimDemoFiles.h"
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

// The demonstration files staged for the program's simulated bridge, in `dir`.
inline simdemo::DemoSet WriteDemoFiles(const fs::path& dir) {
  const simdemo::DemoSet demo = simdemo::MakeDemoSet();
  std::string error;
  EXPECT_TRUE(simdemo::WriteDemoSet(demo, dir, &error)) << error;
  return demo;
}

// A bridge firmware image (the demonstration one) in hex text at `hex`.
inline void WriteBridgeImage(const fs::path& hex) {
  WriteBytes(hex, simdemo::MakeDemoSet().Of(simdemo::DemoRole::BridgeHex).bytes);
}

// The files of a whole update on the program's simulated bridge, from the
// demonstration set: its bridge image, the touch firmware one version above
// the chip's and the chip's own configuration block under the next version.
struct UpdateFiles {
  fs::path bridge;
  fs::path firmware;
  fs::path config;
};
inline UpdateFiles UpdateFilesOf(const simdemo::DemoSet& demo, const fs::path& dir) {
  return {dir / demo.Of(simdemo::DemoRole::BridgeHex).name,
          dir / demo.Of(simdemo::DemoRole::TouchFirmware).name,
          dir / demo.Of(simdemo::DemoRole::ProductionConfig).name};
}
inline UpdateFiles WriteUpdateFiles(const fs::path& dir) {
  return UpdateFilesOf(WriteDemoFiles(dir), dir);
}

// Picks `path` through the field's browse button, as the operator does; a
// question of the field's type or chip check fails the test (FakePrompts).
inline void BrowseTo(FakePrompts& prompts, CMyEditBrowseCtrl& edit, const fs::path& path) {
  prompts.openResults.push_back(QString::fromStdString(path.string()));
  edit.OnBrowse();
  EXPECT_EQ(edit.text().toStdString(), path.string());
}

// Ticks the update panel's steps whose path is given, with that path (picked
// through the browse button when `browse` is given), and clears the others.
inline void ChooseUpdateSteps(QWidget& window, const UpdateFiles& files,
                              FakePrompts* browse = nullptr) {
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
    if (step.path.empty()) continue;
    if (browse != nullptr) {
      BrowseTo(*browse, *edit, step.path);
    } else {
      edit->setText(QString::fromStdString(step.path.string()));
    }
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
    files.bridge = root_.path() / simdemo::MakeDemoSet().Of(simdemo::DemoRole::BridgeHex).name;
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
