#pragma once
// The one item table behind the configuration fixtures of the simulated
// chips: the ".sc", ".ui" and ".cfg" files under tests/data/config/ and the
// ".sc" files staged for the program under resources/runtime/System/CfgItem/
// are all generated from it (test_config_fixtures.cpp checks that the files
// on disk are what it generates, and regenerates them when the environment
// variable KESTRANA_WRITE_CONFIG_FIXTURES is set). Block bases and lengths
// are those of the simulated chips' configuration personality.

#include <cstdint>
#include <string>
#include <vector>

#include "device/config/CfgItem.h"

namespace config_fixtures {

struct TableItem {
  std::string name;  // as written (".sc" hexadecimal items get "(H)" when read)
  uint16_t address;  // register of the field's lowest bit (the low byte of a 16-bit value)
  int lowBit;
  int width;     // 1..8, or 16 for a value over two registers (lowBit 0)
  int ctrlType;  // ".sc" control type: 0 decimal, 1 combo box, 2 check box, 7 hexadecimal
  // Options in index order; "res" marks an index the ".sc" file leaves out.
  std::vector<std::string> options;
  std::string page;
  std::string group;
  unsigned value;  // the value the ".cfg" fixture holds
};

struct ChipTable {
  std::string chip;            // file names are chip + "_demo" + extension
  bool de7 = false;            // checksum layout of the DE7 family
  uint16_t base = 0;           // CFGAddr
  int length = 0;              // CfgLength
  uint16_t senseMap = 0;       // SenStartAddr
  int senseCount = 0;          // SenMaxNum
  uint16_t driveMap = 0;       // DrvStartAddr
  int driveCount = 0;          // DrvMaxNum
  int unusedDriveEntries = 0;  // trailing 0xFF entries of the drive map
  bool gbk = false;            // texts stored in GBK (else UTF-8)
  bool crlf = false;           // ".sc" and ".ui" lines end in CR LF
  std::vector<TableItem> items;
};

// RO9110V (RU9 family) and RO7387Z (DE7 family).
const std::vector<ChipTable>& Chips();

// File contents as they are written to disk.
std::string ScFileBytes(const ChipTable& chip);
std::string UiFileBytes(const ChipTable& chip);
std::string CfgFileBytes(const ChipTable& chip);
// The block the ".cfg" file holds (length bytes, valid checksum).
std::vector<uint8_t> Block(const ChipTable& chip);

// What the parsers must make of the files: the table's items as records.
std::vector<CfgItem> ExpectedScItems(const ChipTable& chip);
std::vector<CfgItem> ExpectedUiItems(const ChipTable& chip);

}  // namespace config_fixtures
