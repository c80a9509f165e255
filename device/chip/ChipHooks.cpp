#include "device/chip/ChipHooks.h"

#include <atomic>

namespace {

class NullChipEvents final : public IChipEvents {
 public:
  bool IsReady() override { return false; }
  void OnChipChanged() override {}
};

class NullUserNotifier final : public IUserNotifier {
 public:
  void MessageBox(const std::string&) override {}
};

NullChipEvents g_nullChipEvents;
NullUserNotifier g_nullUserNotifier;
std::atomic<IChipEvents*> g_chipEvents{nullptr};
std::atomic<IUserNotifier*> g_userNotifier{nullptr};

}  // namespace

void SetChipEvents(IChipEvents* events) { g_chipEvents.store(events); }

IChipEvents& ChipEvents() {
  IChipEvents* events = g_chipEvents.load();
  return events != nullptr ? *events : g_nullChipEvents;
}

void SetUserNotifier(IUserNotifier* notifier) { g_userNotifier.store(notifier); }

IUserNotifier& UserNotifier() {
  IUserNotifier* notifier = g_userNotifier.load();
  return notifier != nullptr ? *notifier : g_nullUserNotifier;
}
