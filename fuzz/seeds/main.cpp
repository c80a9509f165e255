// kestrana_fuzz_seeds write: (re)makes the generated seed folders under
// fuzz/corpus of the source tree.
// kestrana_fuzz_seeds check: fails when a committed seed differs from what
// the generators make now, when a fuzz target has no seeds, or when a seed
// folder names no target (its seeds would never be used).

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "fuzz/seeds/CorpusFolder.h"
#include "fuzz/seeds/Seeds.h"

namespace {

const std::filesystem::path kFuzz = std::filesystem::path(KESTRANA_SOURCE_DIR) / "fuzz";
const std::filesystem::path kCorpus = kFuzz / "corpus";

int Write() {
  for (const fuzzseeds::TargetSeeds& seeds : fuzzseeds::AllGeneratedSeeds()) {
    std::string error;
    if (!fuzzseeds::WriteSeeds(kCorpus, seeds, &error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      return 1;
    }
    std::printf("%s: %zu seeds\n", seeds.target.c_str(), seeds.seeds.size());
  }
  return 0;
}

int Check() {
  const std::vector<std::string> folders = fuzzseeds::CheckFolders(kCorpus, kFuzz);
  for (const std::string& line : folders) std::fprintf(stderr, "%s\n", line.c_str());
  if (!folders.empty()) {
    std::fprintf(stderr,
                 "every fuzz target needs a few seeds in fuzz/corpus/<target>/ "
                 "(see fuzz/corpus/README.md)\n");
  }
  bool stale = false;
  for (const fuzzseeds::TargetSeeds& seeds : fuzzseeds::AllGeneratedSeeds()) {
    for (const std::string& line : fuzzseeds::CompareSeeds(kCorpus, seeds)) {
      std::fprintf(stderr, "%s\n", line.c_str());
      stale = true;
    }
  }
  if (stale) {
    std::fprintf(stderr,
                 "the generated seeds are stale: run kestrana_fuzz_seeds write and commit "
                 "fuzz/corpus\n");
  }
  return folders.empty() && !stale ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc == 2 ? argv[1] : "";
  try {
    if (mode == "write") return Write();
    if (mode == "check") return Check();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  std::fprintf(stderr, "usage: %s write|check\n", argc > 0 ? argv[0] : "kestrana_fuzz_seeds");
  return 2;
}
