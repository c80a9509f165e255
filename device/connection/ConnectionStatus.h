#pragma once
// The connection display's state machine and the chip-information refresh.
// Both run on the window's thread and return what to show as data; the
// device is reached only through ConnectionOps, so the window's side never
// waits on the bus except where the refresh identifies the chip.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "device/connection/ConnectionView.h"

class CHidDevice;

// Log lines and captions of the connection display.
inline constexpr char kTextUsbConnected[] = "USB已连接";
inline constexpr char kTextUsbNotConnected[] = "USB未连接";
inline constexpr char kTextUsbDisconnected[] = "USB已经断开";
inline constexpr char kTextIicConnected[] = "IIC已连接";
inline constexpr char kTextIicNotConnected[] = "IIC未连接";
inline constexpr char kTextIicDisconnected[] = "IIC已经断开";
// Bridge caption while the bridge sits in its programming loader.
inline constexpr char kTextLoaderCaption[] = "R64oz_IRE";
// TouchIC caption when no listed chip answers; a caption holding
// kUnknownChipMarker is refreshed at the next good check.
inline constexpr char kTextUnknownChip[] = "VAzezu_xxxx";
inline constexpr char kUnknownChipMarker[] = "xxx";

// Register read before each identification to wake the chip's bus (the value
// is not used).
inline constexpr uint16_t kChipWakeRegister = 0x8000;

// The device operations the connection logic uses; tests put in their own.
struct ConnectionOps {
  std::function<std::string()> bridgeVersion;
  // Non-zero when the identified chip is listed.
  std::function<int()> identifyChip;
  std::function<std::string()> chipNameVersion;
  // The full probe of the periodic check (worker side).
  std::function<ConnectionProbe()> probe;
  // Rebuilds the data-options pop-up for the chip in force (null: none yet).
  std::function<void()> rebuildDataOptions;
  // true when the panel's channel counts were read from the chip.
  std::function<bool()> readPanelGeometry;
};

// The operations on the process's bridge device.
ConnectionOps DeviceConnectionOps();

// Reads the bridge text, names the bridge model, wakes and identifies the
// chip. Runs on the monitor's worker.
ConnectionProbe ProbeConnection();

// The model code for the device's bridge text (a bridge sharing its product
// id with other models is known by the model number in its text; every other
// one by its product id), stored in the device, and the lamp caption made of
// it and the release number: "K%xG_%04x", "K%xP_%04x" or "K%x_%04x".
std::string NameBridgeModel(CHidDevice& device, const std::string& bridgeText);

// The bridge lamp's caption for the process's bridge device given the text it
// answered with (NameBridgeModel); empty when it gave none or is gone.
std::string BridgeLampCaption(const std::string& bridgeText);

struct StatusInputs {
  bool programmingPresent = false;
  bool busy = false;
  ConnectionProbe probe;
  std::string touchIcText;  // the TouchIC lamp's caption now
};

struct StatusDecision {
  ViewActions actions;
  // 1 when a link is missing, 0 when both are up or nothing was checked.
  int result = 0;
};

// Keeps the two lamps and the connection log lines in step with the links:
// each state change gives its log line once; a lamp without its link blinks
// red/grey, one step per check. Single-threaded (the window's thread).
class ConnectionStatus {
 public:
  StatusDecision Check(const StatusInputs& in);

  // The bridge sits in its programming loader: the bridge lamp says so, and
  // the bridge counts as gone, so its return is announced by the next check.
  // Also shown when the loader arrives: a short reflash may start and end
  // between two checks.
  ViewActions LoaderPresent();
  // true once after the loader caption was shown and no check has shown
  // the bridge since: the bridge lamp needs its own caption back.
  bool TakeLoaderShown();

 private:
  LampColour NextBlink(bool& toggle);

  bool loaderShown_ = false;
  bool bridgeConnected_ = false;
  bool chipConnected_ = false;
  bool bridgeBlink_ = false;  // false: red next, true: grey next
  bool chipBlink_ = false;
};

struct ChipInfoDecision {
  ViewActions actions;
  // The chip-type item of the chip in force; nullopt when it is no listed
  // chip (the list then shows no selection).
  std::optional<int> chipTypeIndex;
};

// After the chip may have changed: identifies it, names it on the TouchIC
// lamp, picks it in the chip-type list, rebuilds the data options and reads
// the panel geometry.
ChipInfoDecision RefreshChipInfo(const ConnectionOps& ops,
                                 const std::vector<std::string>& chipTypeItems);

// The item whose text is exactly name (blanks around either ignored).
// Searched from item 1 on with item 0 last, the order the list has always
// been searched in; nullopt when none matches exactly.
std::optional<int> FindChipTypeIndex(const std::vector<std::string>& items,
                                     const std::string& name);

// The user picked a chip type: it becomes the chip in force. true when the
// name changed (the data options then need rebuilding, nothing else).
bool SelectChipType(const std::string& itemText);
