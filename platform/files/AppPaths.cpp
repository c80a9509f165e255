#include "platform/files/AppPaths.h"

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "platform/files/Glob.h"

namespace platform {
namespace {

std::mutex g_baseMutex;
std::optional<std::filesystem::path> g_baseDir;

std::string WithForwardSlashes(std::string_view text) {
  std::string s(text);
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

}  // namespace

std::filesystem::path AppPaths::ExecutableBaseDir() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (!ec && exe.has_parent_path()) return exe.parent_path().parent_path();
  // Without /proc, fall back to what the stored paths meant originally:
  // relative to the working folder.
  auto cwd = std::filesystem::current_path(ec);
  return ec ? std::filesystem::path("..") : cwd.parent_path();
}

std::filesystem::path AppPaths::BaseDir() {
  std::lock_guard lock(g_baseMutex);
  if (!g_baseDir) g_baseDir = ExecutableBaseDir();
  return *g_baseDir;
}

void AppPaths::SetBaseDir(const std::filesystem::path& dir) {
  // Absolute, so that resolved paths stay right if the working folder changes.
  std::error_code ec;
  const auto absolute = std::filesystem::absolute(dir, ec);
  std::lock_guard lock(g_baseMutex);
  g_baseDir = (ec ? dir : absolute).lexically_normal();
}

std::filesystem::path AppPaths::Resolve(std::string_view text) {
  std::string s = WithForwardSlashes(text);
  if (!s.empty() && s.front() == '/') return std::filesystem::path(s).lexically_normal();
  if (s == "..") {
    s.clear();
  } else if (s.starts_with("../")) {
    s.erase(0, 3);
  }
  if (s.empty()) return BaseDir();
  return (BaseDir() / s).lexically_normal();
}

std::vector<std::filesystem::path> AppPaths::FindFiles(std::string_view patternText) {
  const std::string s = WithForwardSlashes(patternText);
  const size_t slash = s.rfind('/');
  const std::string folderText = slash == std::string::npos ? "" : s.substr(0, slash + 1);
  const std::string namePattern = slash == std::string::npos ? s : s.substr(slash + 1);
  const std::filesystem::path folder = Resolve(folderText);

  std::vector<std::string> names;
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code typeEc;
    if (!it->is_regular_file(typeEc)) continue;
    std::string name = it->path().filename().string();
    if (WildcardMatch(namePattern, name)) names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end(), FileNameLess);

  std::vector<std::filesystem::path> files;
  files.reserve(names.size());
  for (const auto& name : names) files.push_back(folder / name);
  return files;
}

}  // namespace platform
