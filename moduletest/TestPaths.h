#pragma once
// The module test's folders below the base directory ("..\test\..."): the
// current test files with test.ini, the export staging folder, the packages
// and the reports. One object computed from the base directory, so no path
// depends on the process's working folder.

#include <filesystem>
#include <string>

struct TestPaths {
  std::filesystem::path testDir;       // test/
  std::filesystem::path testFileDir;   // test/test_file: test.ini and the current files
  std::filesystem::path tempFileDir;   // test/temp_file: export staging
  std::filesystem::path packageDir;    // test/test_package
  std::filesystem::path resultDir;     // test/test_result: reports and counters
  std::filesystem::path testIni;       // test/test_file/test.ini
  std::filesystem::path countersFile;  // test/test_result/TestReport.ini

  static TestPaths ForBase(const std::filesystem::path& baseDir);
  // From platform::AppPaths::BaseDir().
  static TestPaths Current();
};

// The stored text of the test INI path, as the chip INI records it.
inline constexpr const char* kTestIniText = "..\\test\\test_file\\test.ini";
// How the test INI names a file of the test folder.
inline constexpr const char* kTestFilePrefix = "..\\test\\test_file\\";

// Creates the four folders (with their parents) when missing. false with the
// folders that failed in *error.
bool CreateTestFolders(const TestPaths& paths, std::string* error);
