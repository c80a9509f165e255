#pragma once
// The program's start: one instance per user, the runtime root, then the
// main window. main() only adds the Qt application, the real prompts and the
// device backend, so that tests can run every start-up path in one process.

#include <QString>
#include <memory>
#include <optional>

#include "app/RuntimeRoot.h"
#include "app/SingleInstanceGuard.h"
#include "platform/hid/HidPort.h"

class CKestranaDlg;
class IPrompts;

class CKestranaApp {
 public:
  // Exit status of a start that was refused (second instance, unusable lock
  // file, settings file).
  static constexpr int kExitRefused = 1;

  // lockDir empty: the user's runtime folder.
  explicit CKestranaApp(IPrompts& prompts, const QString& lockDir = QString());
  ~CKestranaApp();

  // Everything up to a window ready to show. nullopt when it is; otherwise
  // the user has been told why and the value is the exit status.
  std::optional<int> Start(const RuntimeRootInputs& rootInputs,
                           std::shared_ptr<platform::IHidBackend> backend);

  // The main window after a successful Start, else nullptr.
  CKestranaDlg* Window() const { return m_window.get(); }
  // Shuts the window down (bounded) and destroys it.
  void Finish();

 private:
  IPrompts& m_prompts;
  SingleInstanceGuard m_guard;
  std::unique_ptr<CKestranaDlg> m_window;
};
