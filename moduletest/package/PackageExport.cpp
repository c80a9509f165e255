#include "moduletest/package/PackageExport.h"

#include <map>
#include <system_error>

#include "moduletest/package/PackageCodec.h"
#include "moduletest/package/TestPackage.h"
#include "moduletest/settings/TestSettings.h"
#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/CodePage.h"
#include "platform/files/IniFile.h"

namespace fs = std::filesystem;

namespace {

ExportResult Refused(std::string message) {
  ExportResult r;
  r.messageBox = std::move(message);
  return r;
}

bool CopyFileAtomic(const fs::path& from, const fs::path& to) {
  std::string bytes;
  return platform::ReadFileBytes(from, &bytes, kMaxPackageBytes) &&
         platform::WriteFileAtomic(to, bytes);
}

std::string Lower(std::string text) {
  for (char& c : text) c = platform::AsciiToLower(c);
  return text;
}

}  // namespace

ExportResult ExportTestPackage(const TestPaths& paths, const fs::path& target) {
  const fs::path& staging = paths.tempFileDir;
  std::error_code ec;
  if (fs::is_directory(staging, ec)) {
    if (!DeleteFolderFiles(staging)) return Refused(kExportFailedText);
  } else if (!fs::create_directories(staging, ec)) {
    return Refused(kExportFailedText);
  }
  const fs::path ini = staging / "test.ini";
  if (!CopyFileAtomic(paths.testIni, ini)) return Refused(kExportFailedText);

  std::map<std::string, std::string> taken;  // file name, letter case folded -> its path
  for (const TestFileKeys& keys : kTestFileKeys) {
    if (platform::IniGetInt("Test Enable", keys.enableKey, 0, ini) == 0) continue;
    const std::string stored = platform::IniGetString("Test File", keys.fileKey, "", ini);
    if (stored.empty()) {
      if (!platform::IniWriteString("Test File", keys.fileKey, "", ini)) {
        return Refused(kExportFailedText);
      }
      continue;
    }
    const fs::path source = platform::AppPaths::Resolve(stored);
    const std::string name = source.filename().string();
    if (Lower(name).find("ini") != std::string::npos || !IsSafePackageName(name)) {
      return Refused(stored + "：文件名不能含有ini，无法导出");
    }
    const auto [it, fresh] = taken.emplace(Lower(name), stored);
    if (!fresh && platform::AppPaths::Resolve(it->second) != source) {
      return Refused(it->second + "与" + stored + "文件名相同，无法一起导出");
    }
    if (!fs::is_regular_file(source, ec)) return Refused(stored + "文件不存在");
    if (!CopyFileAtomic(source, staging / name) ||
        !platform::IniWriteString("Test File", keys.fileKey, kTestFilePrefix + name, ini)) {
      return Refused(kExportFailedText);
    }
  }
  ExportResult result;
  if (!PackFolder(target, staging, &result.reason)) {
    result.logLine = kExportPackFailedText;
    return result;
  }
  result.ok = true;
  result.logLine = kExportDoneText;
  return result;
}
