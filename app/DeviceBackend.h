#pragma once
// Where the program's HID devices come from: the real hidraw nodes, or, with
// KESTRANA_DEVICE=sim, a simulated bridge with a touch chip behind it (for
// machines without a bridge). The only place the program itself reaches
// into the simulator.

#include <cstdint>
#include <memory>
#include <string>

#include "device/connection/DeviceEventSource.h"
#include "platform/hid/HidPort.h"
#include "platform/usb/UsbBulkPort.h"

// Wire time of one 64-byte report of the program's simulated bridge, each
// way: the pace of a real bridge.
inline constexpr int64_t kSimReportWireUs = 1000;

// deviceEnv: the value of KESTRANA_DEVICE (nullptr when unset). moduleEnv:
// the value of KESTRANA_SIM_MODULE, the fault profile of the simulated
// module ("good" when unset; an unknown name is said on stderr).
std::shared_ptr<platform::IHidBackend> MakeDeviceBackend(const char* deviceEnv,
                                                         const char* moduleEnv = nullptr);

// The simulated module of the program's simulated bridge.
namespace sim {
struct ModuleProfile;
class SimBridge;
class SimClock;
}  // namespace sim
sim::ModuleProfile SimulatedModule(const char* moduleEnv);

// The program's simulated bridge on `clock`: the chip's flash and loader, the
// module of `moduleEnv` and the noise area. MakeDeviceBackend adds the
// bridge's pace and turns its traces off; tests take it on a virtual clock.
std::shared_ptr<sim::SimBridge> MakeSimulatedBridge(const char* moduleEnv,
                                                    std::shared_ptr<sim::SimClock> clock);

// Where the arrivals and removals of the backend's devices come from: the
// simulated bridge's own events for the simulator, else the udev monitor.
// Null when there is none; for the real devices that means udev cannot be
// reached, and *udevUnreachable (when given) is set.
std::unique_ptr<IDeviceEventSource> MakeDeviceEventSource(
    const std::shared_ptr<platform::IHidBackend>& backend, bool* udevUnreachable = nullptr);

// Where the bridge programmer finds the bridge's USB bootloader: libusb, or
// for the simulator a simulated bootloader that its bridge restarts into on
// command 14 and that brings the bridge back after a burn. Null when libusb
// cannot start.
std::unique_ptr<platform::IUsbBackend> MakeUsbBackend(
    const std::shared_ptr<platform::IHidBackend>& backend);
