#pragma once
// The number of the next "Result_OK_n.csv" / "Result_NG_n.csv": one more
// than the largest number among the reports already in the folder, so a
// restart never reuses a name.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// Files "Result_*.csv" (any letter case); the number is the leading digits
// after the last "_" (none counts as 0). Numbers too large for the index are
// skipped with a line in *warnings.
int32_t NextResultIndex(const std::filesystem::path& resultDir, std::vector<std::string>* warnings);
