#include "device/SettingsFileCheck.h"

#include <sys/stat.h>

#include <map>
#include <mutex>
#include <tuple>

#include "device/LogSink.h"
#include "platform/files/IniFile.h"

namespace {

// What tells one state of a file from another.
using FileState = std::tuple<dev_t, ino_t, off_t, long long, long long, std::string>;

FileState StateOf(const std::filesystem::path& file, const std::string& problem) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {0, 0, 0, 0, 0, problem};
  return {st.st_dev, st.st_ino, st.st_size, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, problem};
}

std::mutex g_mutex;
std::map<std::filesystem::path, FileState> g_said;

}  // namespace

std::optional<std::string> UnreadableSettingsLine(const std::filesystem::path& file) {
  if (file.empty()) return std::nullopt;
  const std::optional<std::string> problem = platform::IniReadProblem(file);
  std::lock_guard lock(g_mutex);
  if (!problem) {
    // Readable again: a later breakage is news.
    g_said.erase(file);
    return std::nullopt;
  }
  FileState state = StateOf(file, *problem);
  const auto it = g_said.find(file);
  if (it != g_said.end() && it->second == state) return std::nullopt;
  g_said[file] = std::move(state);
  return kUnreadableSettingsText + *problem;
}

void ReportUnreadableSettingsFile(const std::filesystem::path& file, ILogSink& log) {
  if (const std::optional<std::string> line = UnreadableSettingsLine(file)) {
    log.AddLog(*line, LOG_ERROR);
  }
}
