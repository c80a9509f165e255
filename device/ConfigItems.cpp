// Item values: the block's bytes shown as item texts and written back, the
// items chosen by chip INI keys, and the axis commands.

#include <algorithm>
#include <cstdio>
#include <utility>

#include "device/ChipGlobals.h"
#include "device/ChipIdentify.h"
#include "device/Config.h"
#include "device/ConfigError.h"
#include "device/ConfigFamily.h"
#include "device/HexStrToWord.h"
#include "platform/CodePage.h"
#include "platform/HexDigit.h"
#include "platform/IniFile.h"
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

[[noreturn]] void Refuse(const CfgItem& item, const std::string& text, const char* why) {
  throw ConfigError("配置项" + item.name + "的值\"" + text + "\"" + why);
}

}  // namespace

struct CConfig::ItemWrite {
  size_t offset = 0;
  int count = 0;  // 1: the masked bits of one byte; 2: two whole bytes
  uint8_t bytes[2] = {0, 0};
  uint8_t mask = 0xFF;
};

std::optional<size_t> CConfig::ItemOffset(const CfgItem& item) const {
  if (item.bitWidth <= 0 || item.bitAddress < 0) return std::nullopt;
  const long offset = item.bitAddress / 8 - static_cast<long>(cfgAddr_);
  const long bytes = item.bitWidth > 8 ? 2 : 1;
  if (offset < 0 || offset + bytes > static_cast<long>(kBlockBytes)) return std::nullopt;
  return static_cast<size_t>(offset);
}

std::string CConfig::ItemText(const CfgItem& item, size_t offset, bool de7) const {
  const uint8_t b = block_[offset];
  int v;
  if (item.bitWidth > 8) {
    v = b | block_[offset + 1] << 8;
  } else if (item.bitWidth == 8) {
    v = b;
    const CfgChannelList which = item.channelList();
    if (which != CfgChannelList::kNone) {
      const bool drive = which == CfgChannelList::kDrive;
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
  } else {
    v = (b >> LowBit(item)) & ((1 << item.bitWidth) - 1);
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
  if (item.bitWidth > 8) {
    if (v > 0xFFFF) Refuse(item, item.value, "超出范围");
    write.count = 2;
    write.bytes[0] = static_cast<uint8_t>(v);
    write.bytes[1] = static_cast<uint8_t>(v >> 8);
    return write;
  }
  write.count = 1;
  if (item.bitWidth == 8) {
    // A whole byte, as the refresh reads it.
    if (v > 0xFF) Refuse(item, item.value, "超出范围");
    const CfgChannelList which = IsCombo(item) ? CfgChannelList::kNone : item.channelList();
    if (which != CfgChannelList::kNone) {
      const bool drive = which == CfgChannelList::kDrive;
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
      if (index >= 0 && index < static_cast<long>(list.size())) {
        v = list[index];
        if (v < 0 || v > 0xFF) Refuse(item, item.value, "超出范围");
      }
    }
    write.bytes[0] = static_cast<uint8_t>(v);
    return write;
  }
  const int bits = CfgFieldBits(item);
  if (v >= (1L << bits)) Refuse(item, item.value, "超出范围");
  write.mask = static_cast<uint8_t>(((1 << bits) - 1) << LowBit(item));
  write.bytes[0] = static_cast<uint8_t>(v << LowBit(item));
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
    if (w.count == 2) {
      block_[w.offset] = w.bytes[0];
      block_[w.offset + 1] = w.bytes[1];
    } else {
      block_[w.offset] = static_cast<uint8_t>((block_[w.offset] & ~w.mask) | (w.bytes[0] & w.mask));
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
  if (value < 0 || value > CfgFieldMax(*item)) Refuse(*item, asText, "超出范围");
  item->value = CfgNumberText(*item, value);
}

void CConfig::ToggleItem(const std::string& key) {
  CfgItem* item = FindItemByKey(key);
  if (item == nullptr) return;
  const int v = ItemNumber(*item);
  SetItemValue(key, 1 - v);
}

void CConfig::ApplyX2Y() { ToggleItem("X2Y"); }

void CConfig::ReverseMap(std::optional<size_t> offset, int entries) {
  if (!offset) return;
  uint8_t* map = block_.data() + *offset;
  int last = entries - 1;
  while (last >= 0 && map[last] == kUnusedMapEntry) --last;
  if (last < 1) return;
  std::reverse(map, map + last + 1);
  RefreshItemValues();
}

void CConfig::ApplyX2X() {
  if (ConfigFamilyIsDe7()) {
    ToggleItem("X2X");
    return;
  }
  ReadChannelCounts();
  ReverseMap(DriveMapOffset(), drvMaxNum_);
}

void CConfig::ApplyY2Y() {
  if (ConfigFamilyIsDe7()) {
    ToggleItem("Y2Y");
    return;
  }
  ReadChannelCounts();
  ReverseMap(SenseMapOffset(), senMaxNum_);
}
