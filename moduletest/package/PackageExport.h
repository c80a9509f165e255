#pragma once
// Exporting the current test setup as a package: test.ini and every selected
// file it names are gathered in the staging folder (test/temp_file), the
// staged test.ini is rewritten to name the files as "..\test\test_file\" +
// file name (valid after unpacking on the line machine), and the folder is
// packed.

#include <filesystem>
#include <string>

#include "moduletest/TestPaths.h"

struct ExportResult {
  bool ok = false;
  // A problem with one file: shown in a message box (error icon).
  std::string messageBox;
  // A problem with the package itself: LOG_ERROR lines (text, then reason).
  std::string logLine;
  std::string reason;
};

// Files whose name contains "ini" are refused (older installations unpack
// any such name as test.ini), and so are two selected files of one name
// from different folders (one would overwrite the other).
ExportResult ExportTestPackage(const TestPaths& paths, const std::filesystem::path& target);

inline constexpr const char* kExportFailedText = "导出失败";
inline constexpr const char* kExportPackFailedText = "导出测试配置失败";
inline constexpr const char* kExportDoneText = "导出测试配置成功";
