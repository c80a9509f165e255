#include "app/UdevDeviceWatcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <deque>
#include <mutex>
#include <vector>

#include "tests/ui/QtTestUtil.h"

namespace {

using qttest::ProcessEventsUntil;

// A source whose descriptor is the read end of a pipe (or none): the test
// queues events and, with a pipe, makes the descriptor readable.
class QueueSource : public IDeviceEventSource {
 public:
  explicit QueueSource(bool withFd) {
    if (withFd && ::pipe(fds_) != 0) ADD_FAILURE() << "pipe failed";
  }
  ~QueueSource() override {
    for (int fd : fds_)
      if (fd >= 0) ::close(fd);
  }
  int Fd() const override { return fds_[0]; }
  std::optional<platform::HotplugEvent> ReadEvent() override {
    std::lock_guard lock(mutex_);
    if (events_.empty()) {
      char drop[16];
      if (fds_[0] >= 0) (void)!::read(fds_[0], drop, sizeof drop);
      return std::nullopt;
    }
    platform::HotplugEvent e = events_.front();
    events_.pop_front();
    return e;
  }
  void Push(platform::HotplugKind kind, int count = 1) {
    std::lock_guard lock(mutex_);
    for (int i = 0; i < count; ++i) {
      platform::HotplugEvent e;
      e.kind = kind;
      events_.push_back(e);
    }
    if (fds_[1] >= 0) (void)!::write(fds_[1], "x", 1);
  }

 private:
  int fds_[2] = {-1, -1};
  std::mutex mutex_;
  std::deque<platform::HotplugEvent> events_;
};

TEST(UdevDeviceWatcher, DeliversEventsInOrderWithAndWithoutDescriptor) {
  for (bool withFd : {true, false}) {
    SCOPED_TRACE(withFd ? "descriptor" : "timer");
    auto owned = std::make_unique<QueueSource>(withFd);
    QueueSource* source = owned.get();
    UdevDeviceWatcher watcher(std::move(owned));
    std::vector<platform::HotplugKind> got;
    QObject::connect(&watcher, &UdevDeviceWatcher::deviceEvent,
                     [&](const platform::HotplugEvent& e) { got.push_back(e.kind); });
    source->Push(platform::HotplugKind::Digitizer);
    source->Push(platform::HotplugKind::BridgeCommand);
    ASSERT_TRUE(ProcessEventsUntil([&] { return got.size() == 2; }));
    EXPECT_EQ((std::vector<platform::HotplugKind>{platform::HotplugKind::Digitizer,
                                                  platform::HotplugKind::BridgeCommand}),
              got);
  }
}

TEST(UdevDeviceWatcher, AFloodIsHandedOnInBoundedBatches) {
  auto owned = std::make_unique<QueueSource>(false);
  QueueSource* source = owned.get();
  UdevDeviceWatcher watcher(std::move(owned));
  int got = 0;
  QObject::connect(&watcher, &UdevDeviceWatcher::deviceEvent,
                   [&](const platform::HotplugEvent&) { ++got; });
  source->Push(platform::HotplugKind::Other, UdevDeviceWatcher::kMaxEventsPerWake + 5);
  watcher.ReadPending();
  EXPECT_EQ(UdevDeviceWatcher::kMaxEventsPerWake, got);
  watcher.ReadPending();
  EXPECT_EQ(UdevDeviceWatcher::kMaxEventsPerWake + 5, got);
}

TEST(UdevDeviceWatcher, NullSourceWatchesNothing) {
  UdevDeviceWatcher watcher(nullptr);
  watcher.ReadPending();  // must not crash
}

}  // namespace
