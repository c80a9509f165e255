// The module test page's start and what its other files share: the
// construction (interrupted imports repaired, folders, report number,
// test.ini and counters), the busy test, the chip profile writes and the
// page's log, which holds a start's lines for the run.
#include "moduletest/widgets/DlgTest.h"

#include <QDesktopServices>
#include <QUrl>
#include <system_error>

#include "device/ChipGlobals.h"
#include "device/LogSink.h"
#include "device/StreamControl.h"
#include "moduletest/package/TestPackage.h"
#include "moduletest/report/ResultIndex.h"
#include "platform/files/IniFile.h"

namespace fs = std::filesystem;

CDlgTest::CDlgTest(IPrompts& prompts, ILogSink& log, QWidget* parent)
    : QWidget(parent), m_prompts(prompts), m_log(log), m_paths(TestPaths::Current()) {
  m_openFolder = [](const QString& folder) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
  };
  m_now = [] { return QDateTime::currentDateTime(); };
  BuildUi();
  ConnectHandlers();

  const std::string recovered = RecoverPackageSwap(m_paths);
  if (!recovered.empty()) Log(recovered, LOG_ERROR);
  std::string error;
  if (!CreateTestFolders(m_paths, &error)) Log("测试文件夹创建失败：" + error, LOG_ERROR);
  std::vector<std::string> warnings;
  m_nextResultIndex = ::NextResultIndex(m_paths.resultDir, &warnings);
  for (const std::string& w : warnings) Log(w, LOG_INFO);

  LoadTestIniPath();
  LoadTestSettings();
  m_counters = LoadTestCounters(m_paths.countersFile, m_paths.testIni, &m_log);
  ShowCounters();
}

CDlgTest::~CDlgTest() = default;

bool CDlgTest::RefuseWhileBusy(const char* what) {
  if (!IsBusy()) return false;
  Log(std::string("测试进行中，不能") + what, LOG_ERROR);
  return true;
}

bool CDlgTest::IsBusy() const { return m_running || StreamControl().IsBusy(); }

void CDlgTest::WriteChipIni(const char* section, const char* key, const std::string& value) {
  // Only the profile of a known chip: no profile file is made for these keys.
  const fs::path chipIni = GetChipIniPath();
  std::error_code ec;
  if (chipIni.empty() || !fs::is_regular_file(chipIni, ec)) return;
  std::string error;
  if (!platform::IniWriteString(section, key, value, chipIni, &error)) {
    Log("芯片配置文件写入失败：" + error, LOG_ERROR);
  }
}

void CDlgTest::Log(const std::string& text, LogLevel level) {
  if (m_holdLines) {
    m_startLines.emplace_back(text, level);
    return;
  }
  m_log.AddLog(text, level);
}
