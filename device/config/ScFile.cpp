#include "device/config/ScFile.h"

#include <algorithm>
#include <optional>

#include "device/DecimalPrefix.h"
#include "device/HexStrToWord.h"
#include "platform/files/CodePage.h"

namespace {

constexpr size_t kHeaderBytes = 5;
constexpr std::string_view kItemMark = "NO.";
constexpr std::string_view kAddressKey = "addr,0x";
constexpr std::string_view kOptionsEnd = "dataRange";
constexpr int kMaxOptionIndex = 255;  // a combo box stores at most 8 bits
constexpr size_t kMaxOptions = kMaxOptionIndex + 1;
constexpr int kMaxFieldWidth = 16;
constexpr int kMaxLowestBit = 15;
constexpr int kDecimalLimit = 1000000000;  // keeps every sum below in int range

std::string NormalizeLineEnds(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  return out;
}

// Reads the text through its items. A cursor moves forward only; keys and
// option lines are looked for only up to the next item mark.
class ScReader {
 public:
  explicit ScReader(std::string_view text) : text_(text) {}

  // The value of the first occurrence of key at or after from (after the
  // key, line feeds skipped, up to the end of its line), when it starts
  // before limit. *end receives the position of the value's end.
  std::optional<std::string_view> ValueOf(std::string_view key, size_t from, size_t limit,
                                          size_t* end) const {
    // Looking only up to limit keeps a text of many items without keys linear.
    const size_t at = text_.substr(0, limit).find(key, from);
    if (at == std::string_view::npos) return std::nullopt;
    size_t start = at + key.size();
    while (start < text_.size() && text_[start] == '\n') ++start;
    if (start >= limit) return std::nullopt;
    size_t stop = text_.find('\n', start);
    if (stop == std::string_view::npos) stop = text_.size();
    *end = stop;
    return text_.substr(start, stop - start);
  }

  size_t NextItemMark(size_t from) const {
    const size_t at = text_.find(kItemMark, from);
    return at == std::string_view::npos ? text_.size() : at;
  }

  // The key's value inside the current item, moving the cursor past it.
  std::optional<std::string_view> Key(std::string_view key) {
    size_t end = 0;
    auto value = ValueOf(key, cursor_, NextItemMark(cursor_), &end);
    if (value) cursor_ = end;
    return value;
  }

  // "comb" and the one character after it.
  bool OptionsStart() {
    const size_t at = text_.substr(0, NextItemMark(cursor_)).find("comb", cursor_);
    if (at == std::string_view::npos) return false;
    cursor_ = std::min(at + 5, text_.size());
    return true;
  }

  // Option lines up to "dataRange", a line holding an item mark, an index
  // outside 0..255, or the end of the text.
  std::vector<std::string> Options() {
    std::vector<std::string> options;
    while (cursor_ < text_.size()) {
      size_t stop = text_.find('\n', cursor_);
      if (stop == std::string_view::npos) stop = text_.size();
      const std::string_view line = text_.substr(cursor_, stop - cursor_);
      if (line.find(kItemMark) != std::string_view::npos) break;  // the next item
      cursor_ = std::min(stop + 1, text_.size());
      if (line == kOptionsEnd) break;
      const size_t comma = line.find(',', 1);
      if (line.size() < 2 || comma == std::string_view::npos) continue;
      const int index = DecimalPrefix(line.substr(1, comma - 1), kDecimalLimit);
      if (index < 0 || index > kMaxOptionIndex || options.size() >= kMaxOptions) break;
      std::string option(line.substr(comma + 1));
      const size_t at = static_cast<size_t>(index);
      if (at < options.size()) {
        options.insert(options.begin() + static_cast<std::ptrdiff_t>(at), std::move(option));
      } else {
        options.resize(at, "res");
        options.push_back(std::move(option));
      }
    }
    return options;
  }

  size_t cursor() const { return cursor_; }
  void set_cursor(size_t at) { cursor_ = at; }

 private:
  std::string_view text_;
  size_t cursor_ = 0;
};

bool NamesAChecksum(const std::string& name) {
  for (std::string_view word : {"sum", "SUM", "Sum"}) {
    if (name.find(word) != std::string::npos) return true;
  }
  return false;
}

// One item from its mark on; appended to items unless it is skipped (a key
// missing, a dropped address, a field out of bounds). The reader's cursor
// ends after what was read, where the search for the next item goes on.
void ReadItem(ScReader& reader, std::vector<CfgItem>& items) {
  const auto address = reader.Key(kAddressKey);
  if (!address) return;
  const int registerAddress = HexStrToWord(std::string(*address));
  if (registerAddress == 0 || registerAddress == 0xFFFF) return;

  enum Field { kName, kDataLow, kDataHigh, kPartLow, kPartHigh, kPage, kGroup, kType, kFields };
  static constexpr std::string_view kKeys[kFields] = {
      "name,", "dataBitL,", "dataBitH,", "paraBitL,", "paraBitH,", "page,", "grp,", "ctrlType,"};
  std::string_view values[kFields];
  for (int field = 0; field < kFields; ++field) {
    const auto value = reader.Key(kKeys[field]);
    if (!value) return;
    values[field] = *value;
  }
  if (!reader.OptionsStart()) return;

  CfgItem item;
  item.name = std::string(values[kName]);
  item.page = std::string(values[kPage]);
  item.group = std::string(values[kGroup]);
  switch (DecimalPrefix(values[kType], kDecimalLimit)) {
    case 1:
      item.controlKind = kCfgComboBox;
      item.options = reader.Options();
      if (item.options.empty()) item.controlKind = kCfgEdit;
      break;
    case 2:
      item.controlKind = kCfgCheckBox;
      break;
    case 7:
      item.hex = true;
      item.name += "(H)";
      break;
    default:
      break;
  }

  int low = DecimalPrefix(values[kDataLow], kDecimalLimit);
  const int high = DecimalPrefix(values[kDataHigh], kDecimalLimit);
  if (item.name.find("r_CH") != std::string::npos) low = 0;
  const bool highByte = DecimalPrefix(values[kPartLow], kDecimalLimit) == 8 &&
                        DecimalPrefix(values[kPartHigh], kDecimalLimit) == 15;
  item.bitWidth = highByte ? high - low + 9 : high - low + 1;
  if (item.bitWidth < 1 || item.bitWidth > kMaxFieldWidth || low < 0 || low > kMaxLowestBit) {
    return;
  }
  const int lowRegister = highByte ? registerAddress - 1 : registerAddress;
  item.bitAddress = lowRegister * 8 + low;
  // The high byte of a 16-bit parameter takes the place of its low byte.
  if (highByte && !items.empty() && items.back().bitAddress / 8 == lowRegister) items.pop_back();
  items.push_back(std::move(item));
}

}  // namespace

std::string DecodeScBytes(std::string_view fileBytes) {
  if (fileBytes.size() <= kHeaderBytes) return {};
  std::string text;
  text.reserve(fileBytes.size() - kHeaderBytes);
  for (size_t i = kHeaderBytes; i < fileBytes.size(); ++i) {
    const char c = static_cast<char>(static_cast<unsigned char>(fileBytes[i]) - 1);
    if (c == '\0') break;
    text += c;
  }
  return platform::DecodeText(text).text;
}

std::string EncodeScBytes(std::string_view text, std::string_view header) {
  std::string plain(header.substr(0, std::min(header.size(), kHeaderBytes)));
  plain.resize(kHeaderBytes, '0');
  plain += text;
  for (char& c : plain) c = static_cast<char>(static_cast<unsigned char>(c) + 1);
  return plain;
}

ScDescription ParseScFile(std::string_view fileBytes, int cfgLength) {
  if (fileBytes.size() > kItemFileMaxBytes) {
    ScDescription refused;
    refused.error = std::string(kItemFileOpenFailedText);
    return refused;
  }
  return ParseScText(DecodeScBytes(fileBytes), cfgLength);
}

ScDescription ParseScText(std::string_view rawText, int cfgLength) {
  ScDescription result;
  result.ok = true;
  const std::string text = NormalizeLineEnds(rawText);
  ScReader reader(text);

  size_t end = 0;
  if (const auto base = reader.ValueOf(kAddressKey, 0, text.size(), &end)) {
    result.hasBaseAddress = true;
    result.baseAddress = HexStrToWord(std::string(*base));
  }

  for (size_t mark = reader.NextItemMark(0); mark < text.size();) {
    reader.set_cursor(mark + kItemMark.size());
    ReadItem(reader, result.items);
    mark = reader.NextItemMark(reader.cursor());
  }

  if (!result.items.empty() && !NamesAChecksum(result.items.back().name)) {
    CfgItem sum;
    sum.name = "Config_Chksum";
    sum.bitAddress = (result.baseAddress + std::clamp(cfgLength, 0, 0xFFFF)) * 8;
    sum.bitWidth = 8;
    sum.page = "CheckSum";
    sum.group = "CheckSum";
    sum.controlKind = kCfgEdit;
    result.items.push_back(std::move(sum));
  }
  return result;
}
