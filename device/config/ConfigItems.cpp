// Item values: the block's bytes shown as item texts and written back, the
// items chosen by chip INI keys, and the axis commands.

#include <algorithm>
#include <cstdio>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/config/Config.h"
#include "device/ConfigError.h"
#include "device/config/ConfigFamily.h"
#include "device/HexStrToWord.h"
#include "platform/files/CodePage.h"
#include "platform/HexDigit.h"
#include "platform/files/IniFile.h"
#include "platform/TextTrim.h"

namespace {

constexpr uint8_t kUnusedMapEntry = 0xFF;

struct ChannelSet {
  const std::vector<int32_t>* list;
  int half;
  int max;
};

std::optional<long> OptionIndex(const CfgItem& item, const std::string& text) {
  auto it = std::find(item.options.begin(), item.options.end(), text);
  if (it == item.options.end()) return std::nullopt;
  return static_cast<long>(it - item.options.begin());
}

bool IsCombo(const CfgItem& item) {
  return item.controlKind == kCfgComboBox && !item.options.empty();
}

int LowBit(const CfgItem& item) { return item.bitAddress % 8; }

// Bytes an item spans: a width above 8 is a 16-bit parameter over two
// registers (low byte first), anything else lives in one byte.
int SpanBytes(const CfgItem& item) { return item.bitWidth > 8 ? 2 : 1; }

// Channel numbers fill a whole byte; a field elsewhere is a plain number.
bool IsChannelByte(const CfgItem& item) {
  return item.bitWidth == 8 && LowBit(item) == 0 && item.channelList() != CfgChannelList::kNone;
}

uint32_t FieldMask(const CfgItem& item) { return ((1u << CfgFieldBits(item)) - 1u) << LowBit(item); }

[[noreturn]] void Refuse(const CfgItem& item, const std::string& text, const char* why) {
  throw ConfigError("配置项" + item.name + "的值\"" + text + "\"" + why);
}

}  // namespace

struct CConfig::ItemWrite {
  size_t offset = 0;
  int count = 0;      // bytes the item spans
  uint32_t bits = 0;  // the field's new bits, in place
  uint32_t mask = 0;  // the field's bits; the others are kept
};

std::optional<size_t> CConfig::ItemOffset(const CfgItem& item) const {
  if (item.bitWidth <= 0 || item.bitAddress < 0) return std::nullopt;
  const long offset = item.bitAddress / 8 - static_cast<long>(cfgAddr_);
  const long bytes = SpanBytes(item);
  if (offset < 0 || offset + bytes > static_cast<long>(kBlockBytes)) return std::nullopt;
  return static_cast<size_t>(offset);
}

std::string CConfig::ItemText(const CfgItem& item, size_t offset, bool de7) const {
  uint32_t span = block_[offset];
  if (SpanBytes(item) == 2) span |= static_cast<uint32_t>(block_[offset + 1]) << 8;
  int v = static_cast<int>((span & FieldMask(item)) >> LowBit(item));
  if (IsChannelByte(item)) {
    const uint8_t b = static_cast<uint8_t>(v);
    const bool drive = item.channelList() == CfgChannelList::kDrive;
    const std::vector<int32_t>& list = drive ? driveChannels_ : senseChannels_;
    const int half = drive ? drvHalfNumber_ : senHalfNumber_;
    const int max = drive ? drvMaxNum_ : senMaxNum_;
    const int size = static_cast<int>(list.size());
    int from = 0;
    int to = std::min(size, max);
    int shift = 0;
    if (de7) {
      if (item.channelNumber() < half) {
        to = std::min(size, half);
        shift = half;
      } else {
        from = std::max(half, 0);
        shift = -half;
      }
    }
    for (int k = from; k < to; ++k) {
      if (list[k] == b) {
        v = k + shift;
        break;
      }
    }
  }
  if (IsCombo(item)) {
    return v >= 0 && v < static_cast<int>(item.options.size()) ? item.options[v]
                                                               : item.options.front();
  }
  return CfgNumberText(item, v);
}

void CConfig::RefreshItemValues() {
  ReadChannelCounts();
  const bool de7 = ConfigFamilyIsDe7();
  for (CfgItem& item : items_) {
    const std::optional<size_t> offset = ItemOffset(item);
    item.value = offset ? ItemText(item, *offset, de7) : std::string();
    item.refreshedValue = item.value;
    if (item.initialValue.empty()) item.initialValue = item.value;
  }
}

CConfig::ItemWrite CConfig::PlanItemWrite(const CfgItem& item, size_t offset, bool de7) const {
  const std::optional<long> parsed =
      IsCombo(item) ? OptionIndex(item, item.value) : CfgParseNumber(item.value, item.hex);
  if (!parsed) Refuse(item, item.value, "无效");
  long v = *parsed;

  ItemWrite write;
  write.offset = offset;
  write.count = SpanBytes(item);
  if (IsChannelByte(item) && !IsCombo(item)) {
    if (v > 0xFF) Refuse(item, item.value, "超出范围");
    const bool drive = item.channelList() == CfgChannelList::kDrive;
    const std::vector<int32_t>& list = drive ? driveChannels_ : senseChannels_;
    const long half = drive ? drvHalfNumber_ : senHalfNumber_;
    const long max = drive ? drvMaxNum_ : senMaxNum_;
    long index = -1;
    if (!de7) {
      index = v < max ? v : -1;
    } else if (v < half) {
      index = half + v;
    } else if (v < max) {
      index = v - half;
    }
    // A position without a chip channel in the list stays as it is.
    if (index >= 0 && index < static_cast<long>(list.size())) v = list[index];
  }
  if (v < 0 || v >= (1L << CfgFieldBits(item))) Refuse(item, item.value, "超出范围");
  write.mask = FieldMask(item);
  write.bits = (static_cast<uint32_t>(v) << LowBit(item)) & write.mask;
  return write;
}

void CConfig::ApplyItemValues() {
  ReadChannelCounts();
  const bool de7 = ConfigFamilyIsDe7();
  // Every text is checked before the block changes.
  std::vector<ItemWrite> writes;
  std::vector<CfgItem*> written;
  for (CfgItem& item : items_) {
    if (item.value == item.refreshedValue) continue;
    const std::optional<size_t> offset = ItemOffset(item);
    if (!offset) continue;
    writes.push_back(PlanItemWrite(item, *offset, de7));
    written.push_back(&item);
  }
  for (const ItemWrite& w : writes) {
    for (int i = 0; i < w.count; ++i) {
      const uint32_t mask = w.mask >> (8 * i) & 0xFF;
      const uint32_t bits = w.bits >> (8 * i) & 0xFF;
      block_[w.offset + i] = static_cast<uint8_t>((block_[w.offset + i] & ~mask) | bits);
    }
  }
  // The block now holds these texts: a later change back is a change again.
  for (CfgItem* item : written) item->refreshedValue = item->value;
  ComputeChecksum();
}

const CfgItem* CConfig::FindItemByKey(const std::string& key) const {
  const std::string text = platform::IniGetString("Cfg", key, "", GetChipIniPath(), kTextKeyBuffer);
  if (text.empty()) {
    for (const CfgItem& item : items_) {
      if (platform::EqualsIgnoringAsciiCase(item.name, key)) return &item;
    }
    return nullptr;
  }
  const std::vector<std::string> fields = SplitByComma(text);
  if (fields.size() < 2) return nullptr;
  const std::optional<long> bit = CfgParseNumber(fields[1], false);
  if (!bit) return nullptr;
  const long bitAddress = static_cast<long>(HexStrToWord(fields[0])) * 8 + *bit;
  for (const CfgItem& item : items_) {
    if (item.bitAddress == bitAddress) return &item;
  }
  return nullptr;
}

CfgItem* CConfig::FindItemByKey(const std::string& key) {
  return const_cast<CfgItem*>(std::as_const(*this).FindItemByKey(key));
}

int CConfig::ItemNumber(const CfgItem& item) const {
  const std::optional<long> v =
      IsCombo(item) ? OptionIndex(item, item.value) : CfgParseNumber(item.value, item.hex);
  if (!v) Refuse(item, item.value, "无效");
  return static_cast<int>(*v);
}

bool CConfig::GetItemValue(const std::string& key, int& value) const {
  const CfgItem* item = FindItemByKey(key);
  if (item == nullptr) throw ConfigError(std::string(kCfgItemNotFoundText) + key);
  value = ItemNumber(*item);
  return true;
}

void CConfig::SetItemValue(const std::string& key, int value) {
  if (items_.empty()) {
    const std::optional<std::filesystem::path> scFile = FindScFileFor(GetChipName());
    if (!scFile) throw ConfigError(std::string(kCfgScMissingText));
    LoadScFile(*scFile);
    RefreshItemValues();
  }
  CfgItem* item = FindItemByKey(key);
  if (item == nullptr) throw ConfigError(std::string(kCfgItemNotFoundText) + key);
  const std::string asText = std::to_string(value);
  if (IsCombo(*item)) {
    if (value < 0 || value >= static_cast<int>(item->options.size())) {
      Refuse(*item, asText, "超出范围");
    }
    item->value = item->options[value];
    return;
  }
  if (value < 0 || value >= (1 << CfgFieldBits(*item))) Refuse(*item, asText, "超出范围");
  item->value = CfgNumberText(*item, value);
}

std::string CConfig::ToggleItem(const std::string& key) {
  CfgItem* item = FindItemByKey(key);
  if (item == nullptr) return "找不到配置项" + key;
  const int v = ItemNumber(*item);
  SetItemValue(key, 1 - v);
  return {};
}

std::string CConfig::ApplyX2Y() { return ToggleItem("X2Y"); }

std::string CConfig::ReverseMap(std::optional<size_t> offset, int entries, const MapKeys& keys) {
  if (entries == 0) return std::string("芯片INI缺少") + keys.countKey;
  if (!offset) {
    return std::string(keys.name) + "超出配置块(" + keys.startKey + "/" + keys.countKey + ")";
  }
  uint8_t* map = block_.data() + *offset;
  int last = entries - 1;
  while (last >= 0 && map[last] == kUnusedMapEntry) --last;
  if (last < 1) return std::string(keys.name) + "中的通道少于两个";
  std::reverse(map, map + last + 1);
  RefreshItemValues();
  return {};
}

std::string CConfig::ApplyX2X() {
  if (ConfigFamilyIsDe7()) return ToggleItem("X2X");
  ReadChannelCounts();
  return ReverseMap(DriveMapOffset(), drvMaxNum_, {"DrvMaxNum", "DrvStartAddr", "驱动通道表"});
}

std::string CConfig::ApplyY2Y() {
  if (ConfigFamilyIsDe7()) return ToggleItem("Y2Y");
  ReadChannelCounts();
  return ReverseMap(SenseMapOffset(), senMaxNum_, {"SenMaxNum", "SenStartAddr", "感应通道表"});
}
