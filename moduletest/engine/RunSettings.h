#pragma once
// Everything one module test run needs from the page, taken as a copy on the
// UI thread when the run is asked for, so that nothing the operator changes
// during a run reaches it. Names follow the page's controls and test.ini keys.

#include <cstdint>
#include <filesystem>
#include <string>

struct RunSettings {
  // Update mode radios: 1005 "TP测试", 1006 "版本检测", 1007 "强制升级固件和配置".
  // testOnly decides when more than one is set (a hand-edited test.ini).
  bool testOnly = true;
  bool versionCheck = false;
  bool forceUpdate = false;

  // Test items: 1085, 1091, 1107, 1082, 1081.
  bool maxMinTest = true;
  bool adjacentTest = true;
  bool openShortTest = true;
  bool intTest = true;
  bool sensorIdTest = false;
  // Text of combo 1134 (the expected sensor id).
  std::string sensorIdText = "2";

  // Open/short thresholds (1104 "Ch2Ch", 1109 "Ch2GND2AVDD", 1110 "Wait for satble"),
  // as the decimal texts of their edits.
  std::string ch2ChThreshold = "50";
  std::string ch2GndThreshold = "128";
  std::string waitFrames = "150";

  // The four files: box ticked and the path of its browse edit.
  bool useBridgeFirmware = false;  // 1154 "V64er.bin", 1139
  std::filesystem::path bridgeFirmwarePath;
  bool useTouchFirmware = false;  // 1153 "VAzezu.bin", 1141
  std::filesystem::path touchFirmwarePath;
  bool useProductionConfig = false;  // 1152 "VAzezu.cfg", 1140
  std::filesystem::path productionConfigPath;
  bool useTestConfig = false;  // 1150 "Test.cfg", 1143
  std::filesystem::path testConfigPath;
};
