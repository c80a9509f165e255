#pragma once
// The save dialog of a configuration export, as the core sees it. The window
// implements it with its file dialog; tests answer with a path of their own.

#include <filesystem>
#include <optional>
#include <string>

class ICfgPathChooser {
 public:
  virtual ~ICfgPathChooser() = default;
  // Asks where to save. proposedName is the suggested file name; filter is
  // "description|pattern|description|pattern||". The dialog asks before
  // overwriting an existing file. std::nullopt: the operator cancelled.
  virtual std::optional<std::filesystem::path> ChooseSavePath(const std::string& proposedName,
                                                              const std::string& filter) = 0;
};
