#include "device/link/BridgeModels.h"

#include <algorithm>
#include <mutex>

#include "platform/HexDigit.h"
#include "platform/files/IniFile.h"
#include "platform/TextTrim.h"

namespace {

std::mutex g_tableMutex;
BridgeModelTable g_table;

bool Contains(const std::vector<uint16_t>& ids, uint16_t pid) {
  return std::find(ids.begin(), ids.end(), pid) != ids.end();
}

std::optional<uint16_t> ParsePid(std::string_view item) {
  std::string_view digits = item;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  uint16_t value = 0;
  for (char c : digits) {
    const int nibble = platform::HexDigitValue(c);
    if (nibble < 0) return std::nullopt;
    value = static_cast<uint16_t>(value << 4 | nibble);
  }
  return value;
}

// A blank text is an empty list; any item that does not parse refuses the whole list.
template <typename T, typename ParseItem>
std::optional<std::vector<T>> ParseCommaList(std::string_view text, ParseItem parseItem) {
  std::vector<T> items;
  if (platform::TrimChars(text, platform::kSpaceTabCrLf).empty()) return items;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const size_t end = comma == std::string_view::npos ? text.size() : comma;
    std::optional<T> item =
        parseItem(platform::TrimChars(text.substr(start, end - start), platform::kSpaceTabCrLf));
    if (!item) return std::nullopt;
    items.push_back(std::move(*item));
    if (comma == std::string_view::npos) return items;
    start = comma + 1;
  }
}

}  // namespace

bool BridgeModelTable::IsDe7Pid(uint16_t pid) const { return Contains(de7Pids, pid); }
bool BridgeModelTable::IsSharedPid(uint16_t pid) const { return Contains(sharedPids, pid); }
bool BridgeModelTable::IsEarlyPid(uint16_t pid) const { return earlyPid && *earlyPid == pid; }
bool BridgeModelTable::IsGModel(uint16_t code) const { return Contains(gModels, code); }
bool BridgeModelTable::IsPModel(uint16_t code) const { return Contains(pModels, code); }
bool BridgeModelTable::IsAllowedPid(uint16_t pid) const {
  return allowedPids.empty() || Contains(allowedPids, pid);
}

std::optional<uint16_t> BridgeModelTable::ModelCodeIn(const std::string& text) const {
  const BridgeModelNumber* best = nullptr;
  for (const BridgeModelNumber& number : modelNumbers) {
    if (text.find(number.text) == std::string::npos) continue;
    // Among the numbers found the longest wins; equal lengths keep list order.
    if (best == nullptr || number.text.size() > best->text.size()) best = &number;
  }
  if (best == nullptr) return std::nullopt;
  return best->code;
}

std::optional<std::vector<BridgeModelNumber>> ParseModelNumbers(const std::string& text) {
  return ParseCommaList<BridgeModelNumber>(
      text, [](std::string_view item) -> std::optional<BridgeModelNumber> {
        const size_t equals = item.find('=');
        if (equals == std::string_view::npos) return std::nullopt;
        BridgeModelNumber number{
            std::string(platform::TrimChars(item.substr(0, equals), platform::kSpaceTabCrLf)), 0};
        const std::optional<uint16_t> code =
            ParsePid(platform::TrimChars(item.substr(equals + 1), platform::kSpaceTabCrLf));
        if (number.text.empty() || !code) return std::nullopt;
        number.code = *code;
        return number;
      });
}

std::optional<std::vector<uint16_t>> ParsePidList(const std::string& text) {
  return ParseCommaList<uint16_t>(text, ParsePid);
}

BridgeModelTable GetBridgeModels() {
  std::lock_guard lock(g_tableMutex);
  return g_table;
}

void SetBridgeModels(BridgeModelTable table) {
  std::lock_guard lock(g_tableMutex);
  g_table = std::move(table);
}

bool LoadBridgeModels(const std::filesystem::path& iniFile, std::string* error) {
  static constexpr char kSection[] = "BRIDGE MODELS";
  BridgeModelTable table;
  struct ListKey {
    const char* key;
    std::vector<uint16_t>* target;
  };
  std::vector<uint16_t> early;
  const ListKey keys[] = {{"DE7 PIDs", &table.de7Pids}, {"Shared PIDs", &table.sharedPids},
                          {"Early PID", &early},        {"Allowed PIDs", &table.allowedPids},
                          {"G models", &table.gModels}, {"P models", &table.pModels}};
  for (const ListKey& k : keys) {
    const std::string text = platform::IniGetString(kSection, k.key, "", iniFile);
    std::optional<std::vector<uint16_t>> ids = ParsePidList(text);
    if (!ids || (k.target == &early && ids->size() > 1)) {
      if (error)
        *error = std::string(kSection) + " / " + k.key + ": bad product id list \"" + text + "\"";
      return false;
    }
    *k.target = std::move(*ids);
  }
  const std::string numbers = platform::IniGetString(kSection, "Model numbers", "", iniFile);
  std::optional<std::vector<BridgeModelNumber>> parsed = ParseModelNumbers(numbers);
  if (!parsed) {
    if (error) *error = std::string(kSection) + " / Model numbers: bad list \"" + numbers + "\"";
    return false;
  }
  table.modelNumbers = std::move(*parsed);
  if (!early.empty()) table.earlyPid = early.front();
  SetBridgeModels(std::move(table));
  return true;
}
