#pragma once
// Turns a device event source into a Qt signal on the UI thread: the udev
// monitor's descriptor sits in a socket notifier; a source without a
// descriptor (the simulated bridge) is asked on a short timer.

#include <QObject>
#include <memory>

#include "device/connection/DeviceEventSource.h"

class QSocketNotifier;
class QTimer;

Q_DECLARE_METATYPE(platform::HotplugEvent)

class UdevDeviceWatcher : public QObject {
  Q_OBJECT

 public:
  // Interval at which a source without a descriptor is asked.
  static constexpr int kPollIntervalMs = 100;
  // Events handed on per wake-up; the rest follow at the next one, so a
  // flood cannot starve the UI thread.
  static constexpr int kMaxEventsPerWake = 64;

  // A null source watches nothing.
  explicit UdevDeviceWatcher(std::unique_ptr<IDeviceEventSource> source, QObject* parent = nullptr);
  ~UdevDeviceWatcher() override;

  // Reads what is waiting now and emits it (also what the notifier and the
  // timer call).
  void ReadPending();

 signals:
  void deviceEvent(const platform::HotplugEvent& event);

 private:
  std::unique_ptr<IDeviceEventSource> source_;
  QSocketNotifier* notifier_ = nullptr;
  QTimer* timer_ = nullptr;
};
