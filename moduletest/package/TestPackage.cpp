#include "moduletest/package/TestPackage.h"

#include <algorithm>
#include <map>
#include <system_error>
#include <vector>

#include "moduletest/package/PackageCodec.h"
#include "platform/files/AtomicFile.h"
#include "platform/files/Glob.h"

namespace fs = std::filesystem;

namespace {

fs::path BackupDir(const TestPaths& p) { return p.testDir / "test_file.bak"; }
fs::path StagingDir(const TestPaths& p) { return p.testDir / "test_file.staging"; }

// Top-level regular files, sorted so packing is repeatable.
bool ReadFolder(const fs::path& folder, std::vector<PackageRecord>* records, std::string* error) {
  std::error_code ec;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeEc;
    std::string name = it->path().filename().string();
    // A file an atomic write is still writing (or left behind in a crash).
    if (it->is_regular_file(typeEc) && !platform::IsAtomicTempName(name)) {
      names.push_back(std::move(name));
    }
  }
  if (ec) {
    if (error != nullptr) *error = folder.string() + ": " + ec.message();
    return false;
  }
  std::sort(names.begin(), names.end(), platform::FileNameLess);
  for (const std::string& name : names) {
    PackageRecord r;
    r.name = name;
    if (!platform::ReadFileBytes(folder / name, &r.data, kMaxPackageBytes, error)) return false;
    records->push_back(std::move(r));
  }
  return true;
}

bool Fail(std::string* error, const std::string& why) {
  if (error != nullptr) *error = why;
  return false;
}

}  // namespace

bool PackFolder(const fs::path& pkg, const fs::path& folder, std::string* error) {
  std::vector<PackageRecord> records;
  if (!ReadFolder(folder, &records, error)) return false;
  std::string bytes;
  if (!EncodePackage(records, &bytes, error)) return false;
  return platform::WriteFileAtomic(pkg, bytes, error);
}

bool UnpackTestPackage(const fs::path& pkg, const TestPaths& paths, std::string* error) {
  std::string bytes;
  if (!platform::ReadFileBytes(pkg, &bytes, kMaxPackageBytes, error)) return false;
  std::vector<PackageRecord> records;
  std::string why;
  if (!DecodePackage(bytes, &records, &why)) return Fail(error, pkg.string() + ": " + why);

  // The copy for the package folder is written now but put in place only
  // once the swap below has succeeded: a package refused on the way leaves
  // the known-good copy of that name as it was.
  std::error_code ec;
  const fs::path copyTarget = paths.packageDir / pkg.filename();
  platform::PendingFile copy;
  if (!fs::equivalent(pkg, copyTarget, ec) && !copy.Prepare(copyTarget, bytes, error)) {
    return false;
  }
  if (records.empty()) return !copy.IsPrepared() || copy.Commit(error);

  const fs::path staging = StagingDir(paths);
  fs::remove_all(staging, ec);
  if (!fs::create_directories(staging, ec)) {
    return Fail(error, staging.string() + ": " + ec.message());
  }
  auto abandon = [&](const std::string& why2) {
    std::error_code ignored;
    fs::remove_all(staging, ignored);
    return Fail(error, why2);
  };
  std::vector<PackageRecord> current;
  if (fs::exists(paths.testFileDir, ec) && !ReadFolder(paths.testFileDir, &current, error)) {
    return abandon(error != nullptr ? *error : std::string());
  }
  std::map<std::string, std::string> files;
  for (PackageRecord& r : current) files[r.name] = std::move(r.data);
  for (PackageRecord& r : records) files[UnpackedName(r.name)] = std::move(r.data);
  for (const auto& [name, data] : files) {
    std::string writeError;
    if (!platform::WriteFileAtomic(staging / name, data, &writeError)) return abandon(writeError);
  }
  // Packages hold only top-level files; anything else in the folder stays.
  for (fs::directory_iterator it(paths.testFileDir, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_directory(typeEc)) continue;
    fs::copy(it->path(), staging / it->path().filename(), fs::copy_options::recursive, typeEc);
    if (typeEc) return abandon(it->path().string() + ": " + typeEc.message());
  }
  ec.clear();

  const fs::path backup = BackupDir(paths);
  fs::remove_all(backup, ec);
  const bool hadFolder = fs::exists(paths.testFileDir, ec);
  if (hadFolder) {
    fs::rename(paths.testFileDir, backup, ec);
    if (ec) return abandon(paths.testFileDir.string() + ": " + ec.message());
  }
  fs::rename(staging, paths.testFileDir, ec);
  if (ec) {
    const std::string why2 = paths.testFileDir.string() + ": " + ec.message();
    std::error_code undo;
    if (hadFolder) fs::rename(backup, paths.testFileDir, undo);
    return abandon(why2);
  }
  std::string copyError;
  if (copy.IsPrepared() && !copy.Commit(&copyError)) {
    // The import fails as a whole: the new folder goes back to staging (and
    // away), the old one comes back.
    std::error_code undo;
    fs::rename(paths.testFileDir, staging, undo);
    if (undo) fs::remove_all(paths.testFileDir, undo);
    if (hadFolder) fs::rename(backup, paths.testFileDir, undo);
    return abandon(copyError);
  }
  fs::remove_all(backup, ec);
  return true;
}

bool IsFolderChangedFromPackage(const fs::path& pkg, const fs::path& folder) {
  std::string bytes;
  if (!platform::ReadFileBytes(pkg, &bytes, kMaxPackageBytes)) return false;
  std::vector<PackageRecord> records;
  if (!DecodePackage(bytes, &records, nullptr)) return true;
  std::vector<PackageRecord> current;
  if (!ReadFolder(folder, &current, nullptr)) return true;
  std::map<std::string, std::string> packed;
  for (PackageRecord& r : records) packed[UnpackedName(r.name)] = std::move(r.data);
  std::map<std::string, std::string> now;
  for (PackageRecord& r : current) now[r.name] = std::move(r.data);
  return packed != now;
}

bool DeleteFolderFiles(const fs::path& folder) {
  std::error_code ec;
  std::vector<fs::path> entries;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec)) {
    entries.push_back(it->path());
  }
  if (ec) return false;
  std::sort(entries.begin(), entries.end());
  for (const fs::path& entry : entries) {
    std::error_code typeEc;
    if (fs::is_directory(fs::symlink_status(entry, typeEc)) || !fs::remove(entry, typeEc)) {
      return false;
    }
  }
  return true;
}

std::string RecoverPackageSwap(const TestPaths& paths) {
  std::error_code ec;
  std::string line;
  const fs::path backup = BackupDir(paths);
  if (fs::exists(backup, ec)) {
    if (!fs::exists(paths.testFileDir, ec)) {
      // Cut between the two renames: the old setup comes back whole.
      fs::rename(backup, paths.testFileDir, ec);
      line = ec ? "测试文件夹恢复失败：" + backup.string() + ": " + ec.message()
                : "导入测试配置包被中断，已恢复原测试文件";
    } else {
      // Cut after the swap: the new setup is complete.
      fs::remove_all(backup, ec);
    }
  }
  fs::remove_all(StagingDir(paths), ec);
  // Half-written files of a crash, anywhere below the test folder: the
  // complete old file is still in place.
  platform::RemoveLeftoverTempFiles(paths.testDir);
  return line;
}
