#pragma once
// A settings file (AppConfigInit.ini, a chip INI, TestReport.ini) that exists
// but cannot be read is read as missing: its defaults apply and writes refuse
// it, so nothing is lost, but the operator must hear that the program runs on
// the wrong settings. Said once per file and per state of that file in a
// program's life: looking the same broken file up again says nothing, a
// changed file (or another file at that path) is said again.

#include <filesystem>
#include <optional>
#include <string>

class ILogSink;

// The line to log for file, or nullopt when it is readable or missing, or
// when this state of it has been said already.
std::optional<std::string> UnreadableSettingsLine(const std::filesystem::path& file);

// The same line, at LOG_ERROR.
void ReportUnreadableSettingsFile(const std::filesystem::path& file, ILogSink& log);

inline constexpr const char* kUnreadableSettingsText = "设置文件无法读取，已按缺省值处理：";
