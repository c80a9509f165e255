#include "device/BridgeModels.h"

#include <algorithm>
#include <mutex>

#include "platform/IniFile.h"

namespace {

std::mutex g_tableMutex;
BridgeModelTable g_table;

bool Contains(const std::vector<uint16_t>& ids, uint16_t pid) {
  return std::find(ids.begin(), ids.end(), pid) != ids.end();
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string Trim(const std::string& s) {
  size_t b = 0;
  size_t e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::optional<uint16_t> ParsePid(const std::string& item) {
  std::string digits = item;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 4) return std::nullopt;
  uint16_t value = 0;
  for (char c : digits) {
    int nibble;
    if (c >= '0' && c <= '9') {
      nibble = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      nibble = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      nibble = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = static_cast<uint16_t>(value << 4 | nibble);
  }
  return value;
}

}  // namespace

bool BridgeModelTable::IsDe7Pid(uint16_t pid) const { return Contains(de7Pids, pid); }
bool BridgeModelTable::IsSharedPid(uint16_t pid) const { return Contains(sharedPids, pid); }
bool BridgeModelTable::IsEarlyPid(uint16_t pid) const { return earlyPid && *earlyPid == pid; }
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
  std::vector<BridgeModelNumber> numbers;
  if (Trim(text).empty()) return numbers;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item =
        Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    const size_t equals = item.find('=');
    if (equals == std::string::npos) return std::nullopt;
    BridgeModelNumber number{Trim(item.substr(0, equals)), 0};
    const std::optional<uint16_t> code = ParsePid(Trim(item.substr(equals + 1)));
    if (number.text.empty() || !code) return std::nullopt;
    number.code = *code;
    numbers.push_back(std::move(number));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return numbers;
}

std::optional<std::vector<uint16_t>> ParsePidList(const std::string& text) {
  std::vector<uint16_t> ids;
  if (Trim(text).empty()) return ids;
  size_t start = 0;
  for (;;) {
    const size_t comma = text.find(',', start);
    const std::string item =
        Trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    const std::optional<uint16_t> pid = ParsePid(item);
    if (!pid) return std::nullopt;
    ids.push_back(*pid);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return ids;
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
