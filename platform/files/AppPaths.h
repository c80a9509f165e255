#pragma once
// Where the program's runtime files live, and how stored path texts such as
// "..\System\AppConfigInit.ini" become real paths. The stored texts were
// written relative to the executable's folder, so "..\" names the folder above
// it: the base directory, which holds System/, test/ and doc/.

#include <filesystem>
#include <string_view>
#include <vector>

namespace platform {

class AppPaths {
 public:
  // The parent of the executable's folder (from /proc/self/exe), unless
  // SetBaseDir chose another. Safe to call from any thread.
  static std::filesystem::path BaseDir();
  // Overrides the base directory for the rest of the process (tests, and the
  // application's own choice of runtime root). A relative dir is made absolute
  // against the current working folder.
  static void SetBaseDir(const std::filesystem::path& dir);
  // The default base directory, whatever SetBaseDir chose.
  static std::filesystem::path ExecutableBaseDir();

  // Turns a stored path text into a real path. '\' and '/' both separate
  // components. An absolute text stays as it is; a leading "..\" stands for
  // the base directory; any other relative text is taken relative to the base
  // directory as well. The result is lexically normalised.
  static std::filesystem::path Resolve(std::string_view text);

  // Regular files matching a stored pattern text: everything up to the last
  // separator is a folder (resolved as above), the last component a wildcard
  // (see WildcardMatch) matched without regard to ASCII case. Sorted with
  // FileNameLess so the first entry is a stable "first match"; empty when the
  // folder is missing or unreadable.
  static std::vector<std::filesystem::path> FindFiles(std::string_view patternText);
};

}  // namespace platform
