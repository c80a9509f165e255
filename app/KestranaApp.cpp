#include "app/KestranaApp.h"

#include <cstdio>
#include <string>
#include <utility>

#include "app/KestranaDlg.h"
#include "ui/LogWindow.h"
#include "ui/Prompts.h"

namespace {
const QString kAlreadyRunningText = QStringLiteral("应用程序已经运行!");

// A lock that could not be taken for another reason than a running instance.
QString LockFailedText(const SingleInstanceGuard& guard) {
  const QString why = guard.Error() == QLockFile::PermissionError ? QStringLiteral("没有权限")
                                                                  : QStringLiteral("未知错误");
  return QStringLiteral("无法创建锁文件 %1：%2").arg(guard.LockFilePath(), why);
}

}  // namespace

CKestranaApp::CKestranaApp(IPrompts& prompts, const QString& lockDir)
    : m_prompts(prompts), m_guard(lockDir) {}

CKestranaApp::~CKestranaApp() { Finish(); }

std::optional<int> CKestranaApp::Start(const RuntimeRootInputs& rootInputs,
                                       std::shared_ptr<platform::IHidBackend> backend) {
  if (!m_guard.TryAcquire()) {
    if (m_guard.Error() == QLockFile::LockFailedError) {
      m_prompts.info(kAlreadyRunningText);
    } else {
      m_prompts.warn(LockFailedText(m_guard));
    }
    return kExitRefused;
  }
  // A root that could not be prepared shows up as the settings-file failure
  // below when the file cannot be made; a partly seeded one is only reported.
  std::string rootError;
  const bool rootReady = PrepareRuntimeRoot(rootInputs, nullptr, &rootError);

  auto window = std::make_unique<CKestranaDlg>(m_prompts, std::move(backend));
  if (!rootReady) {
    // The window is never shown when the start fails below.
    std::fprintf(stderr, "kestrana: %s\n", rootError.c_str());
    window->Log().AddLog(rootError, LOG_ERROR);
  }
  if (!window->Initialize()) return kExitRefused;
  m_window = std::move(window);
  return std::nullopt;
}

void CKestranaApp::Finish() {
  if (!m_window) return;
  m_window->Shutdown();
  m_window.reset();
}
