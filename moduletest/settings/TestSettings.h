#pragma once
// The module test's settings as test.ini holds them: which tests run, the
// update mode, the four file groups, the nine numeric thresholds (kept as the
// operator typed them), the expected sensor id, the lock and the minimum Test
// ID. A plain value: the page fills it from its controls, and a run takes a
// copy at its start.
//
// Key names are the stored file's own, misspellings included, because line
// machines share these files with older installations.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The three radios of one group. The stored flags can claim more than one;
// loading picks test-only over force over version check.
enum class UpdateMode { TestOnly, VersionCheck, ForceUpdate };

// The four file groups: check box, browse edit, [Test Enable] flag,
// [Test File] path.
enum TestFileKind : int {
  kProductionConfigFile = 0,  // "VAzezu.cfg"
  kTouchFirmwareFile = 1,     // "VAzezu.bin"
  kBridgeFirmwareFile = 2,    // "V64er.bin"
  kTestConfigFile = 3,        // "test.cfg"
};
inline constexpr int kTestFileKinds = 4;

struct TestFileKeys {
  const char* enableKey;  // [Test Enable]
  const char* fileKey;    // [Test File]
};
inline constexpr std::array<TestFileKeys, kTestFileKinds> kTestFileKeys = {{
    {"VAzezu.cfg", "VAzezu_CONFIG"},
    {"VAzezu.bin", "VAzezu_BIN"},
    {"V64er.bin", "D6oro_BIN"},
    {"test.cfg", "VAzezu_TEST_CONFIG"},
}};

// The nine numeric edits, in the order of the report's threshold block.
enum NumericField : int {
  kFieldMax = 0,            // 1092 global node maximum
  kFieldMin,                // 1131 global node minimum
  kFieldUniformity,         // 1075
  kFieldJitter,             // 1076
  kFieldAdjacentDeviation,  // 1077 (also the fill value of the node limits)
  kFieldOffset,             // 1100
  kFieldCh2Ch,              // 1104
  kFieldCh2Gnd2Avdd,        // 1109
  kFieldWaitForStable,      // 1110
  kNumericFieldCount,
};

struct NumericFieldKeys {
  const char* section;
  const char* key;
  const char* defaultText;
  const char* label;  // the operator's name of the field
  int64_t maxValue;   // the largest value a run accepts
};
extern const std::array<NumericFieldKeys, kNumericFieldCount> kNumericFieldKeys;

// The test check boxes with a [Test Enable] flag.
enum TestFlag : int {
  kFlagUniformity = 0,     // 1085 "最大值,最小值"
  kFlagJitter,             // 1090 "抖动测试"
  kFlagAdjacentDeviation,  // 1091 "相邻偏差"
  kFlagOffset,             // 1099 "相对平均值"
  kFlagOpenShort,          // 1107 "短路检测"
  kFlagInt,                // 1082 "INT测试"
  kFlagSensorId,           // 1081 "SENSOR_ID测试"
  kTestFlagCount,
};

struct TestFlagKeys {
  const char* key;
  bool defaultOn;
};
extern const std::array<TestFlagKeys, kTestFlagCount> kTestFlagKeys;

inline constexpr int64_t kDefaultMinTestId = 10000000000;

struct TestSettings {
  std::array<bool, kTestFlagCount> tests{};
  UpdateMode mode = UpdateMode::TestOnly;
  std::array<bool, kTestFileKinds> fileEnabled{};
  // The recorded file paths (stored texts, "..\test\test_file\x.bin").
  std::array<std::string, kTestFileKinds> filePaths;
  std::array<std::string, kNumericFieldCount> numbers;
  // 1080: written, never read back; the box starts unticked.
  bool autoTest = false;
  // Text of the sensor-id combo: what the SENSOR_ID test compares with.
  std::string sensorId = "2";
  bool noModification = false;
  int64_t minTestId = kDefaultMinTestId;

  static TestSettings Defaults();
  bool operator==(const TestSettings&) const = default;
};

// Reads every key (missing keys take their defaults; the file is never
// written). Problems worth a line (a bad "Min id") go to *warnings.
TestSettings LoadTestSettings(const std::filesystem::path& ini, std::vector<std::string>* warnings);

// Writes the [Test Enable] flags and the nine numeric texts. Only keys whose
// stored value differs are written, all sections in one atomic write (a crash
// leaves the file all old or all new), so an unchanged save leaves the
// file's bytes as they were.
bool SaveTestSettings(const TestSettings& settings, const std::filesystem::path& ini,
                      std::string* error);

// One key, written only when its stored value differs. An empty ini path
// (the test INI could not be created) writes nothing and succeeds.
bool WriteTestIniKey(const std::string& section, const std::string& key, const std::string& value,
                     const std::filesystem::path& ini, std::string* error);

// The value of a numeric text read the lenient way the run reads it ("12abc"
// is 12): the global maximum and minimum and the item thresholds.
int32_t NumericValue(const std::string& text);

// A numeric text a run accepts: decimal digits only (blanks around allowed),
// 0..maxValue.
std::optional<int64_t> ParseNumericField(const std::string& text, int64_t maxValue);

// Before a run: each field the selected tests use must be a decimal integer
// in its range. The message names the first bad field; nullopt when fine.
std::optional<std::string> ValidateForRun(const TestSettings& settings);

// [Test ID] "Min id": a positive decimal 64-bit number; anything else gives
// the default and a warning.
int64_t ParseMinTestId(const std::string& text, bool present, std::string* warning);
