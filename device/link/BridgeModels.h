#pragma once
// Which bridge product ids belong to which chip family. The ids are
// configuration, read from the settings file's "BRIDGE MODELS" section:
//   DE7 PIDs     = ids whose boards carry a DE7-family chip
//   Shared PIDs  = ids used by boards of both families (the chip name decides)
//   Early PID    = the model whose early firmware reports no version text
//   Allowed PIDs = when not empty, the only ids the bridge may be opened with
//   Model numbers = how a shared-id bridge is told apart: "number=code"
//                   pairs ("R6481=6481, R648=648"), the number searched in the
//                   bridge's version text, the code a hexadecimal id
//   G models, P models = model codes whose version caption carries a G or P
// Every id value is a comma-separated list of hexadecimal ids ("0x1001, 2002");
// a missing key is an empty list.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

struct BridgeModelNumber {
  std::string text;
  uint16_t code = 0;
};

struct BridgeModelTable {
  std::vector<uint16_t> de7Pids;
  std::vector<uint16_t> sharedPids;
  std::optional<uint16_t> earlyPid;
  std::vector<uint16_t> allowedPids;
  std::vector<BridgeModelNumber> modelNumbers;
  std::vector<uint16_t> gModels;
  std::vector<uint16_t> pModels;

  bool IsDe7Pid(uint16_t pid) const;
  bool IsSharedPid(uint16_t pid) const;
  bool IsEarlyPid(uint16_t pid) const;
  // Model codes shown with a "G" or "P" mark.
  bool IsGModel(uint16_t code) const;
  bool IsPModel(uint16_t code) const;
  // An empty allow list accepts every id.
  bool IsAllowedPid(uint16_t pid) const;
  // The code of the first model number found in text, the longest numbers
  // tried first (so "R6481" is not taken for "R648"); nullopt when none is in it.
  std::optional<uint16_t> ModelCodeIn(const std::string& text) const;
};

// Parses "0x27C0, 1b96,2" into ids. Empty or blank text is an empty list.
// nullopt when any item is not 1 to 4 hexadecimal digits (optional 0x).
std::optional<std::vector<uint16_t>> ParsePidList(const std::string& text);

// Parses "R6481=6481, R648=0x648" into model numbers. Empty or blank text is
// an empty list; nullopt when an item lacks its text or its id.
std::optional<std::vector<BridgeModelNumber>> ParseModelNumbers(const std::string& text);

// The table in force (a copy).
BridgeModelTable GetBridgeModels();
void SetBridgeModels(BridgeModelTable table);

// Reads the table from a settings file and puts it in force. On a malformed
// value the table in force is left unchanged, false is returned and *error
// (when given) names the key and its text.
bool LoadBridgeModels(const std::filesystem::path& iniFile, std::string* error = nullptr);
