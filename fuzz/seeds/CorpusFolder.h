#pragma once
// The seed folders under fuzz/corpus: writing the generated seeds, checking
// that the committed ones are still what the generators make, and checking
// that every fuzz target has its one folder and every folder its target.

#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/seeds/Seeds.h"

namespace fuzzseeds {

// Makes corpus/<target> hold exactly the seeds (files of other names are
// removed). false with the reason in *error.
bool WriteSeeds(const std::filesystem::path& corpus, const TargetSeeds& seeds, std::string* error);

// One line per difference between corpus/<target> and the seeds: a missing,
// changed or extra file.
std::vector<std::string> CompareSeeds(const std::filesystem::path& corpus,
                                      const TargetSeeds& seeds);

// One line per target (fuzz_*.cpp in fuzzSources) without a non-empty seed
// folder, and per folder of the corpus that names no target.
std::vector<std::string> CheckFolders(const std::filesystem::path& corpus,
                                      const std::filesystem::path& fuzzSources);

}  // namespace fuzzseeds
