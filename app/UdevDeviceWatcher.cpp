#include "app/UdevDeviceWatcher.h"

#include <QSocketNotifier>
#include <QTimer>

UdevDeviceWatcher::UdevDeviceWatcher(std::unique_ptr<IDeviceEventSource> source, QObject* parent)
    : QObject(parent), source_(std::move(source)) {
  qRegisterMetaType<platform::HotplugEvent>();
  if (!source_) return;
  if (source_->Fd() >= 0) {
    notifier_ = new QSocketNotifier(source_->Fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &UdevDeviceWatcher::ReadPending);
  } else {
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &UdevDeviceWatcher::ReadPending);
    timer_->start(kPollIntervalMs);
  }
}

UdevDeviceWatcher::~UdevDeviceWatcher() = default;

void UdevDeviceWatcher::ReadPending() {
  if (!source_) return;
  for (int i = 0; i < kMaxEventsPerWake; ++i) {
    std::optional<platform::HotplugEvent> event = source_->ReadEvent();
    if (!event) return;
    emit deviceEvent(*event);
  }
}
