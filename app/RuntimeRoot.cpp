#include "app/RuntimeRoot.h"

#include <cstdlib>
#include <system_error>

#include "platform/files/AppPaths.h"
#include "platform/files/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

// Shipped runtime files are settings, chip files and documents; anything
// larger is not ours to copy.
constexpr size_t kMaxSeedFileBytes = 64u << 20;

bool IsDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

// The temporary folder; a TMPDIR that names no folder must not end the start.
fs::path TempFolder() {
  std::error_code ec;
  fs::path dir = fs::temp_directory_path(ec);
  if (ec || dir.empty()) return "/tmp";
  return dir;
}

// The program never writes its documents (the operator's guide above all),
// so their shipped copies stay the program's: an upgrade's newer copy
// replaces the user's. Every other shipped file is a first default only.
bool IsProgramOwned(const fs::path& relative) {
  return !relative.empty() && *relative.begin() == "doc";
}

// The user's copy of an owned file, when it already holds the shipped bytes.
bool HoldsSameBytes(const fs::path& target, const std::string& shipped) {
  std::string current;
  return platform::ReadFileBytes(target, &current, kMaxSeedFileBytes) && current == shipped;
}

}  // namespace

RuntimeRootInputs RuntimeRootInputsFromProcess() {
  RuntimeRootInputs inputs;
  if (const char* root = std::getenv("KESTRANA_ROOT")) inputs.rootOverride = root;
  std::error_code ec;
  const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  inputs.programDir = ec ? fs::current_path(ec) : exe.parent_path();
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg != nullptr && xdg[0] == '/') {
    inputs.userDataHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    inputs.userDataHome = fs::path(home) / ".local" / "share";
  }
  return inputs;
}

fs::path InstalledDefaultsDir(const fs::path& programDir) {
  return (programDir.parent_path() / "share" / "kestrana").lexically_normal();
}

RuntimeRoot ChooseRuntimeRoot(const RuntimeRootInputs& inputs) {
  RuntimeRoot chosen;
  if (!inputs.rootOverride.empty()) {
    chosen.kind = RuntimeRoot::Kind::Override;
    chosen.root = fs::path(inputs.rootOverride).lexically_normal();
    return chosen;
  }
  // A program at the file-system root has no parent folder above its own.
  const fs::path parent = inputs.programDir.parent_path();
  if (!parent.empty() && IsDirectory(parent / "System")) {
    chosen.kind = RuntimeRoot::Kind::ProgramParent;
    chosen.root = parent.lexically_normal();
    return chosen;
  }
  chosen.kind = RuntimeRoot::Kind::PerUser;
  chosen.defaults = InstalledDefaultsDir(inputs.programDir);
  const fs::path home = inputs.userDataHome.empty() ? TempFolder() : inputs.userDataHome;
  chosen.root = (home / "kestrana").lexically_normal();
  return chosen;
}

bool SeedRuntimeRoot(const fs::path& defaults, const fs::path& root, std::string* error) {
  std::error_code ec;
  fs::create_directories(root, ec);
  if (ec) {
    if (error) *error = "cannot create " + root.string() + ": " + ec.message();
    return false;
  }
  if (!IsDirectory(defaults)) return true;  // nothing shipped: the program creates what it needs

  fs::recursive_directory_iterator it(defaults, ec);
  if (ec) {
    if (error) *error = "cannot read " + defaults.string() + ": " + ec.message();
    return false;
  }
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) {
      if (error) *error = "cannot read " + defaults.string() + ": " + ec.message();
      return false;
    }
    const fs::path relative = it->path().lexically_relative(defaults);
    const fs::path target = root / relative;
    if (it->is_directory(ec)) {
      fs::create_directories(target, ec);
      if (ec) {
        if (error) *error = "cannot create " + target.string() + ": " + ec.message();
        return false;
      }
      continue;
    }
    if (!it->is_regular_file(ec)) continue;
    const fs::file_status present = fs::symlink_status(target, ec);
    const bool refresh = fs::is_regular_file(present) && IsProgramOwned(relative);
    if (fs::exists(present) && !refresh) continue;  // the user's own copy wins
    std::string bytes;
    if (!platform::ReadFileBytes(it->path(), &bytes, kMaxSeedFileBytes, error)) return false;
    if (refresh && HoldsSameBytes(target, bytes)) continue;
    if (!platform::WriteFileAtomic(target, bytes, error)) return false;
  }
  return true;
}

bool PrepareRuntimeRoot(const RuntimeRootInputs& inputs, RuntimeRoot* chosen, std::string* error) {
  const RuntimeRoot root = ChooseRuntimeRoot(inputs);
  if (chosen) *chosen = root;
  platform::AppPaths::SetBaseDir(root.root);
  if (root.kind != RuntimeRoot::Kind::PerUser) return true;
  return SeedRuntimeRoot(root.defaults, root.root, error);
}
