#include "app/KestranaApp.h"

#include <string>
#include <utility>

#include "app/KestranaDlg.h"
#include "app/LogWindow.h"
#include "app/Prompts.h"

namespace {
const QString kAlreadyRunningText = QStringLiteral("应用程序已经运行!");
}  // namespace

CKestranaApp::CKestranaApp(IPrompts& prompts, const QString& lockDir)
    : m_prompts(prompts), m_guard(lockDir) {}

CKestranaApp::~CKestranaApp() { Finish(); }

std::optional<int> CKestranaApp::Start(const RuntimeRootInputs& rootInputs,
                                       std::shared_ptr<platform::IHidBackend> backend) {
  if (!m_guard.TryAcquire()) {
    m_prompts.info(kAlreadyRunningText);
    return kExitRefused;
  }
  // A root that could not be prepared shows up as the settings-file failure
  // below when the file cannot be made; a partly seeded one is only reported.
  std::string rootError;
  const bool rootReady = PrepareRuntimeRoot(rootInputs, nullptr, &rootError);

  auto window = std::make_unique<CKestranaDlg>(m_prompts, std::move(backend));
  if (!rootReady) window->Log().AddLog(rootError, LOG_ERROR);
  if (!window->Initialize()) return kExitRefused;
  m_window = std::move(window);
  return std::nullopt;
}

void CKestranaApp::Finish() {
  if (!m_window) return;
  m_window->Shutdown();
  m_window.reset();
}
