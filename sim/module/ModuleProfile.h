#pragma once
// A simulated touch module for the production test: which chip family, the
// panel's size, and what is wrong with it. Node indexes are in the chip's
// order (one column after the other, `rows` values each).

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ChipFamily.h"

namespace sim {

// A short between two channels, or a channel and the supply, as the
// open/short program of the 0x8047 family measures it (chip channel numbers).
enum class ShortPair { TxTx, TxRx, RxRx, TxAvdd, RxAvdd };
struct ShortTarget {
  ShortPair pair = ShortPair::TxTx;
  int first = 0;
  int second = 0;      // unused for the supply shorts
  int64_t kOhm = 100;  // target resistance
};

// One finding of the DE7 family's own test: b0 the second channel (0xF0
// GND, 0xF1 AVDD, bit 7 a drive channel), b1 the first (bit 7 a drive
// channel), and the resistance.
struct ShortFindingB {
  uint8_t b0 = 0xF0;
  uint8_t b1 = 0;
  uint16_t kOhm = 10;
};

// The result header the open/short program of the 0x8047 family reports:
// status (0x8801) and the Tx and Rx record counts (0x8802, 0x8803).
struct ShortHeaderA {
  uint8_t status = 0;
  uint8_t txCount = 0;
  uint8_t rxCount = 0;
};

struct ModuleFaults {
  std::optional<size_t> deadNode;          // reads 0
  std::optional<size_t> stuckNode;         // reads far above the panel
  std::optional<size_t> weakNode;          // about half of its neighbours
  std::optional<size_t> intermittentNode;  // reads 0 in `intermittentFrames` of every 16
  unsigned intermittentFrames = 0;
  std::optional<int> openColumn;  // a whole column near 0
  std::optional<int> shortedRow;  // this row and the next read the same raised values
  bool starvation = false;        // the ready flag never rises
  bool intOpen = false;           // the bridge never takes the INT report
  uint8_t sensorId = 2;
  std::vector<ShortTarget> shortsA;
  std::vector<ShortFindingB> shortsB;
  bool shortNeverFinishes = false;  // the open/short program never reports done
  // A program that reports this header instead of the one its findings make.
  std::optional<ShortHeaderA> shortHeaderA;
  // The chip keeps the first configuration sent (the test configuration) and
  // loses later ones: the restore does not hold.
  bool configKeepsFirstOnly = false;
};

struct ModuleProfile {
  ChipFamily family = ChipFamily::RU9;
  int rows = 10;
  int cols = 14;
  bool touches = false;  // the data plane's moving contacts
  ModuleFaults faults;

  // The named profiles the program's simulated bridge offers: "good",
  // "dead-node", "stuck-node", "weak-node", "intermittent-node",
  // "open-channel", "shorted-rows", "starvation", "int-open",
  // "wrong-sensor-id", "tx-short", "avdd-short", "restore-fails". Unknown
  // names give std::nullopt.
  static std::optional<ModuleProfile> Named(std::string_view name, ChipFamily family);
  static std::vector<std::string> Names();
};

// Shares of the good module's raw frames: baseline about 2000; limits of
// 1000..3500 and 40 % adjacent deviation hold for every node.
inline constexpr int32_t kStuckValue = 4000;
inline constexpr int32_t kShortedRowValue = 3800;
inline constexpr int32_t kOpenValue = 5;

}  // namespace sim
