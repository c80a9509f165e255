#include "moduletest/TestPaths.h"

#include <system_error>

#include "platform/files/AppPaths.h"

namespace fs = std::filesystem;

TestPaths TestPaths::ForBase(const fs::path& baseDir) {
  TestPaths p;
  p.testDir = baseDir / "test";
  p.testFileDir = p.testDir / "test_file";
  p.tempFileDir = p.testDir / "temp_file";
  p.packageDir = p.testDir / "test_package";
  p.resultDir = p.testDir / "test_result";
  p.testIni = p.testFileDir / "test.ini";
  p.countersFile = p.resultDir / "TestReport.ini";
  return p;
}

TestPaths TestPaths::Current() { return ForBase(platform::AppPaths::BaseDir()); }

bool CreateTestFolders(const TestPaths& paths, std::string* error) {
  bool ok = true;
  for (const fs::path& dir :
       {paths.testFileDir, paths.tempFileDir, paths.packageDir, paths.resultDir}) {
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir)) {
      ok = false;
      if (error != nullptr) {
        if (!error->empty()) *error += "; ";
        *error += dir.string() + ": " + (ec ? ec.message() : std::string("not a folder"));
      }
    }
  }
  return ok;
}
