#include "fuzz/seeds/CorpusFolder.h"

#include <set>
#include <system_error>

#include "platform/files/AtomicFile.h"

namespace fuzzseeds {

namespace fs = std::filesystem;

namespace {

// Seeds are small; anything larger in a seed folder is a mistake.
constexpr size_t kMaxSeedBytes = 1 << 20;

std::set<std::string> FileNames(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, ec)) {
    if (entry.is_regular_file(ec)) names.insert(entry.path().filename().string());
  }
  return names;
}

std::string AsText(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

bool WriteSeeds(const fs::path& corpus, const TargetSeeds& seeds, std::string* error) {
  const fs::path folder = corpus / seeds.target;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) {
    *error = folder.string() + ": " + ec.message();
    return false;
  }
  std::set<std::string> keep;
  for (const Seed& seed : seeds.seeds) {
    if (!platform::WriteFileAtomic(folder / seed.name, AsText(seed.bytes), error)) return false;
    keep.insert(seed.name);
  }
  for (const std::string& name : FileNames(folder)) {
    if (keep.count(name) == 0 && !fs::remove(folder / name, ec)) {
      *error = (folder / name).string() + ": " + ec.message();
      return false;
    }
  }
  return true;
}

std::vector<std::string> CompareSeeds(const fs::path& corpus, const TargetSeeds& seeds) {
  std::vector<std::string> differences;
  const fs::path folder = corpus / seeds.target;
  std::set<std::string> expected;
  for (const Seed& seed : seeds.seeds) {
    expected.insert(seed.name);
    const fs::path path = folder / seed.name;
    std::string bytes;
    bool missing = false;
    if (!platform::ReadFileBytes(path, &bytes, kMaxSeedBytes, nullptr, &missing)) {
      differences.push_back(path.string() + (missing ? ": missing" : ": unreadable"));
    } else if (bytes != AsText(seed.bytes)) {
      differences.push_back(path.string() + ": differs from what the generator makes");
    }
  }
  for (const std::string& name : FileNames(folder)) {
    if (expected.count(name) == 0) {
      differences.push_back((folder / name).string() + ": not made by the generator");
    }
  }
  return differences;
}

std::vector<std::string> CheckFolders(const fs::path& corpus, const fs::path& fuzzSources) {
  std::vector<std::string> problems;
  std::set<std::string> targets;
  std::error_code ec;
  for (const fs::directory_entry& entry : fs::directory_iterator(fuzzSources, ec)) {
    const fs::path& p = entry.path();
    if (p.extension() == ".cpp" && p.stem().string().rfind("fuzz_", 0) == 0) {
      targets.insert(p.stem().string());
    }
  }
  if (ec || targets.empty()) {
    problems.push_back(fuzzSources.string() + ": no fuzz targets found");
    return problems;
  }
  for (const std::string& target : targets) {
    if (FileNames(corpus / target).empty()) {
      problems.push_back(target + ": no seeds in " + (corpus / target).string());
    }
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(corpus, ec)) {
    const std::string name = entry.path().filename().string();
    if (entry.is_directory() && targets.count(name) == 0) {
      problems.push_back((corpus / name).string() + ": no fuzz target " + name + ".cpp uses it");
    }
  }
  return problems;
}

}  // namespace fuzzseeds
