#include "moduletest/settings/TestSettings.h"

#include <limits>
#include <string_view>
#include <utility>

#include "device/DecimalPrefix.h"
#include "platform/files/IniFile.h"
#include "platform/TextTrim.h"

namespace {

constexpr const char* kThresholdSection = "Test Threhold";
constexpr const char* kShortSection = "Short Open Test Threhold";
constexpr const char* kEnableSection = "Test Enable";
constexpr const char* kFileSection = "Test File";
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();
// The open/short values travel to the chip as 16-bit words.
constexpr int64_t kU16Max = 0xFFFF;

// A default no stored value holds (and not a blank, which the reader would
// trim away): it means "missing".
constexpr const char* kMissing = "\x01";

bool ReadFlag(const char* section, const char* key, bool def, const std::filesystem::path& ini) {
  return platform::IniGetInt(section, key, def ? 1 : 0, ini) != 0;
}

const char* Flag(bool on) { return on ? "1" : "0"; }

// The entries whose stored value differs from the wanted one, written in
// one read-modify-write. An empty ini path (no test INI) writes nothing.
bool WriteChanged(const std::vector<platform::IniEntry>& wanted, const std::filesystem::path& ini,
                  std::string* error) {
  if (ini.empty()) return true;
  std::vector<platform::IniEntry> changed;
  for (const platform::IniEntry& e : wanted) {
    if (platform::IniGetString(e.section, e.key, kMissing, ini) != e.value) changed.push_back(e);
  }
  if (changed.empty()) return true;
  return platform::IniWriteEntries(changed, ini, error);
}

}  // namespace

const std::array<NumericFieldKeys, kNumericFieldCount> kNumericFieldKeys = {{
    {kThresholdSection, "Max", "3500", "最大阈值", kI32Max},
    {kThresholdSection, "Min", "1000", "最小阈值", kI32Max},
    {kThresholdSection, "UniformityTest", "40", "均匀性阈值（%）", kI32Max},
    {kThresholdSection, "JitterTest", "40", "抖动阈值（%）", kI32Max},
    {kThresholdSection, "AdjacentDeviationTest", "40", "相邻偏差阈值（%）", kI32Max},
    {kThresholdSection, "OffsetTest", "40", "相对平均值偏差阈值（%）", kI32Max},
    {kShortSection, "Ch2Ch", "50", "通道间短路检测阈值", kU16Max},
    {kShortSection, "Ch2GND2AVDD", "128", "通道对地短路检测阈值", kU16Max},
    {kShortSection, "Wait for satble", "150", "测试启动前稳定帧数", kU16Max},
}};

const std::array<TestFlagKeys, kTestFlagCount> kTestFlagKeys = {{
    {"UniformityTest", true},
    {"JitterTest", true},
    {"AdjacentDeviationTest", true},
    {"OffsetTest", true},
    {"OpenShortTest", true},
    {"INT Tets", true},
    {"Sensor ID Test", false},
}};

TestSettings TestSettings::Defaults() {
  TestSettings s;
  for (int i = 0; i < kTestFlagCount; ++i) s.tests[i] = kTestFlagKeys[i].defaultOn;
  for (int i = 0; i < kNumericFieldCount; ++i) s.numbers[i] = kNumericFieldKeys[i].defaultText;
  return s;
}

int64_t ParseMinTestId(const std::string& text, bool present, std::string* warning) {
  if (!present) return kDefaultMinTestId;
  const std::optional<int64_t> value = ParseNumericField(text, std::numeric_limits<int64_t>::max());
  if (value && *value > 0) return *value;
  // A zero or unreadable minimum would make every first scanned digit a
  // complete Test ID.
  if (warning != nullptr) {
    *warning = "[Test ID] \"Min id\"无效（" + text + "），使用" + std::to_string(kDefaultMinTestId);
  }
  return kDefaultMinTestId;
}

TestSettings LoadTestSettings(const std::filesystem::path& ini,
                              std::vector<std::string>* warnings) {
  TestSettings s = TestSettings::Defaults();
  if (ini.empty()) return s;
  for (int k = 0; k < kTestFileKinds; ++k) {
    s.filePaths[k] = platform::IniGetString(kFileSection, kTestFileKeys[k].fileKey, "", ini);
  }
  for (int f = 0; f < kNumericFieldCount; ++f) {
    const NumericFieldKeys& keys = kNumericFieldKeys[f];
    s.numbers[f] = platform::IniGetString(keys.section, keys.key, keys.defaultText, ini);
  }
  for (int t = 0; t < kTestFlagCount; ++t) {
    s.tests[t] = ReadFlag(kEnableSection, kTestFlagKeys[t].key, kTestFlagKeys[t].defaultOn, ini);
  }
  const bool versionCheck = ReadFlag(kEnableSection, "VersionCheck", false, ini);
  const bool forceUpdate = ReadFlag(kEnableSection, "ForceUpdate", false, ini);
  const bool testOnly = ReadFlag(kEnableSection, "SensorTest", true, ini);
  // The run treats the test-only radio as deciding, so it wins a conflict.
  if (testOnly || (!forceUpdate && !versionCheck)) {
    s.mode = UpdateMode::TestOnly;
  } else {
    s.mode = forceUpdate ? UpdateMode::ForceUpdate : UpdateMode::VersionCheck;
  }
  for (int k = 0; k < kTestFileKinds; ++k) {
    s.fileEnabled[k] = ReadFlag(kEnableSection, kTestFileKeys[k].enableKey, false, ini);
  }
  const std::string minId = platform::IniGetString("Test ID", "Min id", kMissing, ini);
  std::string warning;
  s.minTestId = ParseMinTestId(minId, minId != kMissing, &warning);
  if (!warning.empty() && warnings != nullptr) warnings->push_back(warning);
  s.sensorId = platform::IniGetString(kThresholdSection, "Sensor ID", "2", ini);
  s.noModification = ReadFlag("Test Package", "No Motification", false, ini);
  return s;
}

bool SaveTestSettings(const TestSettings& s, const std::filesystem::path& ini, std::string* error) {
  std::vector<platform::IniEntry> entries;
  auto enable = [&](const char* key, bool on) {
    entries.push_back({kEnableSection, key, Flag(on)});
  };
  enable("UniformityTest", s.tests[kFlagUniformity]);
  enable("JitterTest", s.tests[kFlagJitter]);
  enable("AdjacentDeviationTest", s.tests[kFlagAdjacentDeviation]);
  enable("OffsetTest", s.tests[kFlagOffset]);
  enable("OpenShortTest", s.tests[kFlagOpenShort]);
  enable("ForceUpdate", s.mode == UpdateMode::ForceUpdate);
  enable("VersionCheck", s.mode == UpdateMode::VersionCheck);
  enable("SensorTest", s.mode == UpdateMode::TestOnly);
  enable("DetectedDeviceAutoTest", s.autoTest);
  enable("INT Tets", s.tests[kFlagInt]);
  enable("Sensor ID Test", s.tests[kFlagSensorId]);
  for (int k = 0; k < kTestFileKinds; ++k) enable(kTestFileKeys[k].enableKey, s.fileEnabled[k]);
  // The threshold section's keys, then the open/short section's.
  for (const char* section : {kThresholdSection, kShortSection}) {
    for (int f = 0; f < kNumericFieldCount; ++f) {
      if (std::string_view(kNumericFieldKeys[f].section) == section) {
        entries.push_back({section, kNumericFieldKeys[f].key, s.numbers[f]});
      }
    }
  }
  return WriteChanged(entries, ini, error);
}

bool WriteTestIniKey(const std::string& section, const std::string& key, const std::string& value,
                     const std::filesystem::path& ini, std::string* error) {
  return WriteChanged({{section, key, value}}, ini, error);
}

int32_t NumericValue(const std::string& text) {
  return DecimalPrefix(text, std::numeric_limits<int32_t>::max());
}

std::optional<int64_t> ParseNumericField(const std::string& text, int64_t maxValue) {
  const std::string_view digits = platform::TrimChars(text);
  if (digits.empty() || digits.size() > 19) return std::nullopt;
  uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value > static_cast<uint64_t>(maxValue)) return std::nullopt;
  return static_cast<int64_t>(value);
}

std::optional<std::string> ValidateForRun(const TestSettings& s) {
  std::vector<NumericField> used;
  if (s.tests[kFlagUniformity]) used.insert(used.end(), {kFieldMax, kFieldMin});
  if (s.tests[kFlagAdjacentDeviation]) used.push_back(kFieldAdjacentDeviation);
  if (s.tests[kFlagOpenShort]) {
    used.insert(used.end(), {kFieldCh2Ch, kFieldCh2Gnd2Avdd, kFieldWaitForStable});
  }
  for (NumericField f : used) {
    const NumericFieldKeys& keys = kNumericFieldKeys[f];
    if (!ParseNumericField(s.numbers[f], keys.maxValue)) {
      return std::string("测试设置无效：") + keys.label + "“" + s.numbers[f] + "”应为0到" +
             std::to_string(keys.maxValue) + "的整数";
    }
  }
  return std::nullopt;
}
