// The kestrana program: the main window on the bridge that is plugged in, or
// on the simulated one with KESTRANA_DEVICE=sim.

#include <QApplication>
#include <cstdio>
#include <cstdlib>

#include "app/DeviceBackend.h"
#include "app/DeviceTeardown.h"
#include "app/KestranaApp.h"
#include "app/KestranaDlg.h"
#include "app/QtPrompts.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Kestrana"));

  QtPrompts prompts;
  CKestranaApp kestrana(prompts);
  auto backend =
      MakeDeviceBackend(std::getenv("KESTRANA_DEVICE"), std::getenv("KESTRANA_SIM_MODULE"));
  if (const auto refused = kestrana.Start(RuntimeRootInputsFromProcess(), std::move(backend))) {
    return *refused;
  }
  kestrana.Window()->show();
  const int status = QApplication::exec();
  kestrana.Finish();
  if (DeviceTeardownAbandoned()) {
    // A request is still stuck in the bridge; the process-wide request queue
    // must not be destroyed under it.
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}
