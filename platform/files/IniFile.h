#pragma once
// Settings files with the Windows profile-string behaviour the stored files
// were written for: case-insensitive section and key names, the first of
// duplicate keys wins, values trimmed and one pair of surrounding quotes
// removed, ';' comments, and writes that keep every other line untouched.
// Text is UTF-8 in memory; files are read as UTF-8 (BOM or valid), UTF-16LE
// (BOM) or else GBK, and written back in the encoding they were read in (new
// files UTF-8, CR LF line ends). Every write is atomic.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform {

// GetPrivateProfileString: the value, or def when the file, section or key is
// missing; at most bufferSize-1 UTF-16 code units are returned (a surrogate
// pair is never split), as a caller's buffer of bufferSize would hold.
// bufferSize 0 returns "".
std::string IniGetString(const std::string& section, const std::string& key,
                         const std::string& def, const std::filesystem::path& file,
                         size_t bufferSize = 65536);

// GetPrivateProfileInt: optional leading white space and sign, then decimal
// digits up to the first non-digit ("42A" -> 42, "B" -> 0, "+1" -> 1), wrapping
// at 32 bits; def when the key is missing.
int32_t IniGetInt(const std::string& section, const std::string& key, int32_t def,
                  const std::filesystem::path& file);

// The number a value spells by IniGetInt's rules, not wrapped: what the file
// says, held at the 64-bit bounds. Lets a reader tell a value beyond 32 bits
// from the one IniGetInt wraps it to.
int64_t IniIntValue(std::string_view value);

// WritePrivateProfileString: creates the file, section or key as needed and
// replaces the first matching key in place. false when the file could not be
// written (the old file is then unchanged).
bool IniWriteString(const std::string& section, const std::string& key,
                    const std::string& value, const std::filesystem::path& file);
// The same, with the reason for a failure in *error (file error text, or why
// the name or value cannot be stored: line breaks, '=' in a key, ']' in a
// section name, a key starting with '[' or ';', a character the file's
// encoding lacks).
bool IniWriteString(const std::string& section, const std::string& key, const std::string& value,
                    const std::filesystem::path& file, std::string* error);
// Several keys of one section in one read and one atomic write, in order:
// either all are written or, on any failure, none (the old file is kept).
bool IniWriteStrings(const std::string& section,
                     const std::vector<std::pair<std::string, std::string>>& keyValues,
                     const std::filesystem::path& file, std::string* error);

struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};
// Keys of any sections in one read and one atomic write, in order: all or
// none, as above. One save of several sections is one replacement of the
// file, so a crash leaves it all old or all new.
bool IniWriteEntries(const std::vector<IniEntry>& entries, const std::filesystem::path& file,
                     std::string* error);

// Why a settings file that exists cannot be read (larger than settings files
// may be, not a regular file, no permission): the readers above then answer
// with their defaults as for a missing file, and the writers refuse it.
// nullopt when the file is readable or simply missing.
std::optional<std::string> IniReadProblem(const std::filesystem::path& file);

}  // namespace platform
