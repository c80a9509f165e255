#include "ConfigFixtures.h"

#include <cstdio>
#include <numeric>
#include <stdexcept>

#include "device/config/CfgText.h"
#include "device/config/ScFile.h"
#include "platform/files/CodePage.h"
#include "sim/noise/NoiseArea.h"

namespace config_fixtures {

namespace {

// first: the block byte of the first item (the DE7 family keeps a checksum in
// byte 2).
std::vector<TableItem> CommonItems(uint16_t base, int first, uint16_t senseMap, uint16_t driveMap,
                                   const std::string& basicPage) {
  const auto at = [base, first](int offset) {
    return static_cast<uint16_t>(base + first + offset);
  };
  std::vector<TableItem> items = {
      {"Config_Version", at(0), 0, 8, 7, {}, basicPage, "Version", 0x41},
      {"X_Output_Max", at(1), 0, 16, 0, {}, basicPage, "Resolution", 1080},
      {"Y_Output_Max", at(3), 0, 16, 0, {}, basicPage, "Resolution", 1920},
      {"Touch_Number", at(5), 0, 4, 0, {}, basicPage, "Touch", 5},
      {"INT_Trigger", at(6), 0, 2, 1, {"Rising", "Falling", "Low", "High"}, basicPage, "Module", 1},
      {"X2Y", at(6), 3, 1, 2, {}, basicPage, "Module", 0},
      {"Stretch", at(6), 4, 3, 0, {}, basicPage, "Module", 6},
      {"Shake_Count", at(9), 0, 4, 0, {}, basicPage, "Touch", 2},
      {"Noise_Reduction", at(11), 0, 4, 1, {"Off", "Weak", "res", "Strong"}, "Noise", "Filter", 3},
      {"Screen_Touch_Level", at(12), 0, 8, 0, {}, "Noise", "Filter", 80},
      {"Freq_A", at(32), 0, 16, 7, {}, "Noise", "Hopping", 0x1A2B},
      {"Sensor_CH0", senseMap, 0, 8, 0, {}, "Channel", "Sense", 0},
      {"Sensor_CH1", static_cast<uint16_t>(senseMap + 1), 0, 8, 0, {}, "Channel", "Sense", 1},
      {"Driver_CH0", driveMap, 0, 8, 0, {}, "Channel", "Drive", 0},
      {"Driver_CH1", static_cast<uint16_t>(driveMap + 1), 0, 8, 0, {}, "Channel", "Drive", 1},
  };
  return items;
}

// The frequency-hopping items where the simulated chip keeps them.
void AddNoiseItems(ChipTable& t, sim::ChipFamily family) {
  for (const sim::NoiseItem& item : sim::NoiseItemLayout::For(family).All()) {
    t.items.push_back({item.name, item.address, 0, item.width, 0, {}, "Noise", "Hopping",
                       static_cast<unsigned>(item.value)});
  }
}

ChipTable Ru9() {
  ChipTable t;
  t.chip = "RO9110V";
  t.base = 0x8047;
  t.length = 186;
  t.senseMap = 0x80B7;
  t.senseCount = 30;
  t.driveMap = 0x80D5;
  t.driveCount = 42;
  t.unusedDriveEntries = 2;
  t.gbk = true;
  t.crlf = true;
  t.items = CommonItems(t.base, 0, t.senseMap, t.driveMap, "基本参数");
  AddNoiseItems(t, sim::ChipFamily::RU9);
  // The last item names the checksum, so no checksum item is appended.
  t.items.push_back({"Config_Chksum",
                     static_cast<uint16_t>(t.base + t.length - 2),
                     0,
                     8,
                     7,
                     {},
                     "CheckSum",
                     "CheckSum",
                     0});
  return t;
}

ChipTable De7() {
  ChipTable t;
  t.chip = "RO7387Z";
  t.de7 = true;
  t.base = 0x8050;
  t.length = 340;
  t.senseMap = 0x8141;
  t.senseCount = 44;
  t.driveMap = 0x8171;
  t.driveCount = 42;
  t.unusedDriveEntries = 0;
  t.items = CommonItems(t.base, 3, t.senseMap, t.driveMap, "基本参数");
  AddNoiseItems(t, sim::ChipFamily::DE7);
  t.items.push_back({"Gesture_Enable",
                     static_cast<uint16_t>(t.base + 220),
                     7,
                     1,
                     2,
                     {},
                     "Gesture",
                     "Gesture",
                     1});
  return t;
}

std::string Encode(const ChipTable& chip, const std::string& utf8) {
  if (!chip.gbk) return utf8;
  std::string gbk;
  if (!platform::Utf8ToGbk(utf8, &gbk)) throw std::logic_error("fixture text not in GBK");
  return gbk;
}

std::string Line(const ChipTable& chip, const std::string& text) {
  return text + (chip.crlf ? "\r\n" : "\n");
}

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
  return text;
}

// One ".sc" record; part 1 of 2 is the low byte of a 16-bit value, part 2 the
// high byte, which the reader merges with the record before it.
std::string ScRecord(const ChipTable& chip, int number, const TableItem& item, uint16_t address,
                     int dataLow, int dataHigh, int partLow, int partHigh) {
  const auto line = [&chip](const std::string& text) { return Line(chip, text); };
  std::string out = line("NO." + std::to_string(number));
  out += line("addr,0x" + Hex4(address));
  out += line("name," + item.name);
  out += line("dataBitL," + std::to_string(dataLow));
  out += line("dataBitH," + std::to_string(dataHigh));
  out += line("paraBitL," + std::to_string(partLow));
  out += line("paraBitH," + std::to_string(partHigh));
  out += line("page," + item.page);
  out += line("grp," + item.group);
  out += line("ctrlType," + std::to_string(item.ctrlType));
  out += line("comb:");
  if (item.ctrlType == 1) {
    for (size_t i = 0; i < item.options.size(); ++i) {
      if (item.options[i] != "res") out += line("\t" + std::to_string(i) + "," + item.options[i]);
    }
    out += line("dataRange");
  }
  out += line("min,0");
  return out;
}

void PutBits(std::vector<uint8_t>& block, const ChipTable& chip, const TableItem& item) {
  const size_t offset = item.address - chip.base;
  if (item.width > 8) {
    block.at(offset) = static_cast<uint8_t>(item.value);
    block.at(offset + 1) = static_cast<uint8_t>(item.value >> 8);
    return;
  }
  const unsigned mask = ((1u << item.width) - 1) << item.lowBit;
  block.at(offset) =
      static_cast<uint8_t>((block.at(offset) & ~mask) | ((item.value << item.lowBit) & mask));
}

uint8_t Negated(const std::vector<uint8_t>& block, size_t from, size_t to) {
  return static_cast<uint8_t>(-std::accumulate(block.begin() + static_cast<std::ptrdiff_t>(from),
                                               block.begin() + static_cast<std::ptrdiff_t>(to),
                                               0u));
}

}  // namespace

const std::vector<ChipTable>& Chips() {
  static const std::vector<ChipTable> chips = {Ru9(), De7()};
  return chips;
}

std::string ScFileBytes(const ChipTable& chip) {
  std::string text = Line(chip, "[ConfigInfo]");
  text += Line(chip, "chip," + chip.chip);
  text += Line(chip, "addr,0x" + Hex4(chip.base));
  text += Line(chip, "len," + std::to_string(chip.length));
  int number = 1;
  for (const TableItem& item : chip.items) {
    if (item.width > 8) {
      text += ScRecord(chip, number++, item, item.address, 0, 7, 0, 7);
      text += ScRecord(chip, number++, item, static_cast<uint16_t>(item.address + 1), 0, 7, 8, 15);
    } else {
      text += ScRecord(chip, number++, item, item.address, item.lowBit,
                       item.lowBit + item.width - 1, 0, item.width - 1);
    }
  }
  return EncodeScBytes(Encode(chip, text));
}

std::string UiFileBytes(const ChipTable& chip) {
  std::string text = Line(chip, "BaseAddress=0x" + Hex4(chip.base));
  for (const TableItem& item : chip.items) {
    static const char* const kKinds[] = {"EDIT", "CHECK_BOX", "COMBOBOX"};
    const int kind = item.ctrlType == 1 ? 2 : item.ctrlType == 2 ? 1 : 0;
    char fields[64];
    std::snprintf(fields, sizeof fields, "%04X, %s, %X, %X, %s", item.address, item.name.c_str(),
                  item.lowBit, item.width, kKinds[kind]);
    std::string line = fields;
    for (const std::string& option : item.options) line += ", " + option;
    text += Line(chip, line);
  }
  return Encode(chip, text);
}

std::vector<uint8_t> Block(const ChipTable& chip) {
  std::vector<uint8_t> block(static_cast<size_t>(chip.length));
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 37 + 11);
  // Sense channels in order, drive channels reversed, unused drive entries 0xFF.
  for (int k = 0; k < chip.senseCount; ++k) {
    block.at(chip.senseMap - chip.base + k) = static_cast<uint8_t>(k);
  }
  const int usedDrive = chip.driveCount - chip.unusedDriveEntries;
  for (int k = 0; k < chip.driveCount; ++k) {
    block.at(chip.driveMap - chip.base + k) =
        static_cast<uint8_t>(k < usedDrive ? usedDrive - 1 - k : 0xFF);
  }
  for (const TableItem& item : chip.items) {
    // Channel items show the map's bytes; the checksum item the computed sum.
    if (CfgChannelListOf(item.name) == CfgChannelList::kNone && item.group != "CheckSum") {
      PutBits(block, chip, item);
    }
  }
  const size_t n = block.size();
  if (chip.de7) {
    block[2] = Negated(block, 0, 2);
    block[212] = Negated(block, 0, 212);
    block[n - 1] = Negated(block, 213, n - 1);
  } else {
    block[n - 2] = Negated(block, 0, n - 2);
    block[n - 1] = 1;
  }
  return block;
}

std::string CfgFileBytes(const ChipTable& chip) {
  return FormatCfgText(Block(chip), CfgTextEnding::kComma);
}

std::vector<CfgItem> ExpectedScItems(const ChipTable& chip) {
  std::vector<CfgItem> items;
  for (const TableItem& t : chip.items) {
    CfgItem item;
    item.name = t.name + (t.ctrlType == 7 ? "(H)" : "");
    item.page = t.page;
    item.group = t.group;
    item.controlKind = t.ctrlType == 1 ? kCfgComboBox : t.ctrlType == 2 ? kCfgCheckBox : kCfgEdit;
    item.hex = t.ctrlType == 7;
    item.options = t.options;
    item.bitAddress = t.address * 8 + t.lowBit;
    item.bitWidth = t.width;
    items.push_back(item);
  }
  if (items.back().name.find("sum") == std::string::npos) {
    CfgItem sum;
    sum.name = "Config_Chksum";
    sum.page = sum.group = "CheckSum";
    sum.bitAddress = (chip.base + chip.length) * 8;
    sum.bitWidth = 8;
    items.push_back(sum);
  }
  return items;
}

std::vector<CfgItem> ExpectedUiItems(const ChipTable& chip) {
  std::vector<CfgItem> items;
  for (const TableItem& t : chip.items) {
    CfgItem item;
    item.name = t.name;
    item.controlKind = t.ctrlType == 1 ? kCfgComboBox : t.ctrlType == 2 ? kCfgCheckBox : kCfgEdit;
    item.options = t.options;
    item.bitAddress = t.address * 8 + t.lowBit;
    item.bitWidth = t.width;
    items.push_back(item);
  }
  return items;
}

}  // namespace config_fixtures
