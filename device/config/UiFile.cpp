#include "device/config/UiFile.h"

#include <algorithm>
#include <string>

#include "device/chip/ChipIdentify.h"
#include "device/HexStrToWord.h"
#include "device/config/ScFile.h"
#include "device/config/Utf8Suffix.h"
#include "platform/files/CodePage.h"
#include "platform/HexDigit.h"

namespace {

constexpr int kMaxFieldWidth = 16;
constexpr int kMaxLowestBit = 15;
constexpr size_t kMinFields = 5;
constexpr size_t kMaxOptions = 256;  // a combo box stores at most 8 bits

bool HasHexDigit(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return platform::HexDigitValue(c) >= 0; });
}

std::string WithoutBlanks(std::string_view line) {
  std::string out;
  for (char c : line) {
    if (c != ' ' && c != '\t') out += c;
  }
  return out;
}

std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t feed = text.find('\n');
    std::string_view line = text.substr(0, feed);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (feed == std::string_view::npos) break;
    text.remove_prefix(feed + 1);
  }
  return lines;
}

bool ControlKindOf(std::string_view word, int* kind) {
  using platform::EqualsIgnoringAsciiCase;
  if (EqualsIgnoringAsciiCase(word, "EDIT")) {
    *kind = kCfgEdit;
  } else if (EqualsIgnoringAsciiCase(word, "CHECK_BOX")) {
    *kind = kCfgCheckBox;
  } else if (EqualsIgnoringAsciiCase(word, "COMBOBOX")) {
    *kind = kCfgComboBox;
  } else {
    return false;
  }
  return true;
}

UiDescription Failed(std::string error) {
  UiDescription failed;
  failed.error = std::move(error);
  return failed;
}

// Line n, 0-based.
UiDescription Malformed(std::string_view fileName, size_t n) {
  return Failed(std::string(fileName) + ": 第" + std::to_string(n + 1) + "行格式错误");
}

}  // namespace

UiDescription ParseUiFile(std::string_view fileBytes, std::string_view fileName) {
  if (fileBytes.size() > kItemFileMaxBytes) return Failed(std::string(kItemFileOpenFailedText));
  const std::string text = platform::DecodeText(fileBytes).text;
  const std::vector<std::string_view> lines = Lines(text);

  std::string_view header = lines.empty() ? std::string_view() : lines.front();
  if (header.find("BaseAddress") == std::string_view::npos) {
    return Failed(std::string(fileName) + "文件不是指定的ui文件");
  }
  while (!header.empty() && (header.back() == ' ' || header.back() == '\t'))
    header.remove_suffix(1);

  UiDescription result;
  result.baseAddress = HexStrToWord(std::string(Utf8Suffix(header, 4)));
  for (size_t n = 1; n < lines.size(); ++n) {
    const std::string line = WithoutBlanks(lines[n]);
    if (line.empty()) continue;
    const std::vector<std::string> fields = SplitByComma(line);
    int kind = kCfgEdit;
    if (fields.size() < kMinFields || !HasHexDigit(fields[0]) || !HasHexDigit(fields[2]) ||
        !HasHexDigit(fields[3]) || !ControlKindOf(fields[4], &kind)) {
      return Malformed(fileName, n);
    }
    const int address = HexStrToWord(std::string(Utf8Suffix(fields[0], 4)));
    const int low = HexStrToWord(fields[2]);
    const int width = HexStrToWord(fields[3]);
    if (width < 1 || width > kMaxFieldWidth || low > kMaxLowestBit) continue;

    CfgItem item;
    item.name = fields[1];
    item.bitAddress = address * 8 + low;
    item.bitWidth = width;
    item.controlKind = kind;
    if (kind == kCfgComboBox) {
      if (fields.size() - kMinFields > kMaxOptions) return Malformed(fileName, n);
      item.options.assign(fields.begin() + kMinFields, fields.end());
      if (item.options.empty()) item.controlKind = kCfgEdit;
    }
    result.items.push_back(std::move(item));
  }
  result.ok = true;
  return result;
}
