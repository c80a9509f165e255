// kestrana_simdemo <folder>: writes the demonstration files of the program's
// simulated bridge into folder (scripts/run.sh stages them as
// <stage>/sim-demo/ when it starts on the simulated bridge) and lists them.

#include <cstdio>
#include <filesystem>
#include <string>

#include "tools/simdemo/SimDemoFiles.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const simdemo::DemoSet set = simdemo::MakeDemoSet();
  std::string error;
  if (!simdemo::WriteDemoSet(set, folder, &error)) {
    std::fprintf(stderr, "kestrana_simdemo: %s\n", error.c_str());
    return 1;
  }
  for (const simdemo::DemoFile& file : set.files) {
    std::printf("%s\n", (folder / file.name).string().c_str());
  }
  return 0;
}
