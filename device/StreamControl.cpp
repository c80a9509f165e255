#include "device/StreamControl.h"

#include <atomic>

namespace {

class NullStreamControl final : public IStreamControl {
 public:
  int CurrentPage() const override { return PAGE_DEMO; }
  bool IsBusy() const override { return false; }
  void RestartPage(int) override {}
  void MarkPageStopped(int) override {}
  bool StopPageStream(int) override { return false; }
  void RestartPageStream(int) override {}
};

NullStreamControl g_nullStreamControl;
std::atomic<IStreamControl*> g_streamControl{nullptr};

}  // namespace

void SetStreamControl(IStreamControl* control) { g_streamControl.store(control); }

IStreamControl& StreamControl() {
  IStreamControl* control = g_streamControl.load();
  return control != nullptr ? *control : g_nullStreamControl;
}
