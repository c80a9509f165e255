// The module test page's test packages: export, import, saving the setup
// into its package, and the offer to save a changed setup at close.
#include "moduletest/widgets/DlgTest.h"

#include <QSignalBlocker>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "moduletest/package/PackageExport.h"
#include "moduletest/package/TestPackage.h"
#include "moduletest/widgets/DlgTestParts.h"
#include "platform/files/AppPaths.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/Prompts.h"

namespace fs = std::filesystem;

using dlgtest::Q;
using dlgtest::S;

namespace {

const char* const kPackageFolderText = "..\\test\\test_package\\";

// The file name of a stored path text, either separator.
std::string FileNameOf(const std::string& text) {
  const size_t cut = text.find_last_of("\\/");
  return cut == std::string::npos ? text : text.substr(cut + 1);
}

}  // namespace

void CDlgTest::ExportTestPackage() {
  if (RefuseWhileBusy("导出配置")) return;
  SaveTestSettings();
  const QString suggested =
      Q(GetChipName()) + m_now().toString(QStringLiteral("_yyyyMMddHHmm")) + QStringLiteral(".tp");
  const auto chosen =
      m_prompts.saveFileName(Q(m_paths.packageDir.string()),
                             QStringLiteral("Test Package(*.tp) (*.tp);;All Files(*.*) (*)"),
                             suggested, QStringLiteral("tp"));
  if (!chosen) {
    m_exportedPath.clear();
    return;
  }
  const ExportResult r = ::ExportTestPackage(m_paths, fs::path(S(*chosen)));
  if (!r.messageBox.empty()) {
    m_prompts.warn(Q(r.messageBox));
    return;
  }
  if (!r.ok) {
    Log(r.logLine, LOG_ERROR);
    if (!r.reason.empty()) Log(r.reason, LOG_ERROR);
    return;
  }
  m_exportedPath = S(*chosen);
  Log(r.logLine, LOG_INFO);
}

bool CDlgTest::ImportTestPackage() {
  const QString text = m_package->text();
  if (text.isEmpty()) return false;
  // A choice that was not imported goes back out of the field: the field is
  // what the close offers to save into.
  if (RefuseWhileBusy("导入测试配置包")) {
    SetPackageText(m_packageText);
    return false;
  }
  std::string error;
  if (!UnpackTestPackage(platform::AppPaths::Resolve(S(text)), m_paths, &error)) {
    Log("导入测试配置包失败", LOG_ERROR);
    Log(error, LOG_ERROR);
    SetPackageText(m_packageText);
    return false;
  }
  m_packageText = text;
  Log("导入测试配置包成功", LOG_INFO);
  WriteChipIni("Test File", "Test Package", S(text));
  LoadTestIniPath();
  LoadTestSettings(/*fromPackage=*/true);
  m_settingsChanged = true;
  if (IsLocked(m_lock)) emit ShowDemoPageRequested();
  return true;
}

void CDlgTest::OnBnClickedSaveConfig() {
  if (RefuseWhileBusy("保存配置")) return;
  const std::string text = S(m_package->text());
  if (text.empty()) {
    ExportTestPackage();
    std::error_code ec;
    if (!m_exportedPath.empty() && fs::is_regular_file(m_exportedPath, ec)) {
      SetPackageText(Q(m_exportedPath));
      m_packageText.clear();
      ImportTestPackage();
    }
    return;
  }
  // What the operator sees is what goes into the package.
  SaveTestSettings();
  const std::string target = kPackageFolderText + FileNameOf(text);
  std::string error;
  if (!PackFolder(platform::AppPaths::Resolve(target), m_paths.testFileDir, &error)) {
    Log(target + "保存失败", LOG_ERROR);
    Log(error, LOG_ERROR);
    return;
  }
  WriteChipIni("Test File", "Test Package", target);
  Log(target + "保存成功", LOG_INFO);
  // The saved copy is the package from now on; no import of it.
  SetPackageText(Q(target));
  m_packageText = Q(target);
}

void CDlgTest::PrepareClose() {
  SaveTestSettings();
  const std::string text = S(m_package->text());
  if (text.empty()) return;
  if (IsFolderChangedFromPackage(platform::AppPaths::Resolve(text), m_paths.testFileDir) &&
      m_prompts.askYesNo(QStringLiteral("测试配置有改动，是否保存？"))) {
    OnBnClickedSaveConfig();
  }
}

void CDlgTest::SetPackageText(const QString& text) {
  const QSignalBlocker block(m_package);
  m_package->setText(text);
}
