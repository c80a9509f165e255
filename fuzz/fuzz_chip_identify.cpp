// The chip's id block names the chip, and the name becomes part of file
// names and search patterns: whatever bytes a read delivers, the name and
// version must be text, a listed chip must end the tries, a failed read must
// leave the names as they were, and the profile files looked up after a
// change must lie in their own folders.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "device/ChipGlobals.h"
#include "device/chip/ChipHooks.h"
#include "device/chip/ChipIdentify.h"
#include "fuzz/ChipIdentifyInput.h"
#include "fuzz/ScratchFolder.h"
#include "platform/files/AppPaths.h"

namespace {

using namespace chip_identify_input;
namespace fs = std::filesystem;

void Require(bool condition) {
  if (!condition) std::abort();
}

// A runtime tree of the harness's own: the chip list, an empty chip INI
// folder and one chip's .sc file.
class RuntimeTree {
 public:
  RuntimeTree() {
    const fs::path system = scratch_.Path() / "System";
    fs::create_directories(system / "ChipIni");
    fs::create_directories(system / "CfgItem");
    const std::string list = "[CHIP LIST]\r\nchip list=RO9110V,RO9110R, RO7387Z,RO911,VE6572\r\n";
    fuzz::WriteWhole(system / "AppConfigInit.ini", list.data(), list.size());
    fuzz::WriteWhole(system / "CfgItem" / "RO9110V_demo.sc", "", 0);
    // The base directory is the folder above the program's, as "..\" says.
    platform::AppPaths::SetBaseDir(scratch_.Path());
    chipIni_ = fs::weakly_canonical(system / "ChipIni");
    cfgItem_ = fs::weakly_canonical(system / "CfgItem");
  }
  const fs::path& ChipIni() const { return chipIni_; }
  const fs::path& CfgItem() const { return cfgItem_; }

 private:
  fuzz::ScratchFolder scratch_;
  fs::path chipIni_;
  fs::path cfgItem_;
};

class Events final : public IChipEvents {
 public:
  bool ready = false;
  int changes = 0;
  bool IsReady() override { return ready; }
  void OnChipChanged() override { ++changes; }
};

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    const auto c = static_cast<uint8_t>(s[i]);
    size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<uint8_t>(s[i + k]) & 0xC0) != 0x80) return false;
    }
    i += n;
  }
  return true;
}

void CheckParsed(ChipIdFamily family, const std::array<uint8_t, 8>& bytes) {
  const ChipId id = ParseChipId(family, bytes.data());
  Require(IsUtf8(id.name) && IsUtf8(id.nameVersion));
  // A sales name is never mapped again: files and chips carry one name.
  Require(MapChipName(id.name) == id.name);
  const size_t versionChars = family == ChipIdFamily::DE7 ? 5 : 4;
  Require(id.nameVersion.size() == id.name.size() + 1 + versionChars);
  Require(id.nameVersion.compare(0, id.name.size() + 1, id.name + "_") == 0);
}

bool Inside(const fs::path& file, const fs::path& folder) {
  std::error_code ec;
  return fs::weakly_canonical(file, ec).parent_path() == folder && !ec;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static RuntimeTree tree;
  static Events events;
  SetChipEvents(&events);

  FuzzedDataProvider fdp(data, size);
  const ChipIdFamily family =
      fdp.ConsumeIntegralInRange<int>(0, 1) == 1 ? ChipIdFamily::DE7 : ChipIdFamily::RU9;
  const int tries = fdp.ConsumeIntegralInRange<int>(1, kMaxTries);
  const std::string previous =
      kPreviousNames[fdp.ConsumeIntegralInRange<size_t>(0, kPreviousNames.size() - 1)];
  events.ready = fdp.ConsumeIntegralInRange<int>(0, 1) == 1;
  events.changes = 0;
  SetChipName(previous);
  SetChipNameVersion("before");
  SetChipIniPath({});
  SetScFilePath({});

  const ChipIdBlock block = IdBlockOf(family);
  int reads = 0;
  std::optional<std::array<uint8_t, 8>> last;
  const bool listed = IdentifyChipForUpdate(
      family,
      [&](uint16_t address, uint8_t* out, uint32_t length) {
        ++reads;
        Require(address == block.address && length == block.length);
        if (fdp.ConsumeIntegralInRange<int>(0, 1) == 0) return false;
        std::array<uint8_t, 8> bytes{};
        const std::vector<uint8_t> got = fdp.ConsumeBytes<uint8_t>(length);
        std::copy(got.begin(), got.end(), bytes.begin());
        std::copy_n(bytes.begin(), length, out);
        last = bytes;
        CheckParsed(ChipIdFamily::RU9, bytes);
        CheckParsed(ChipIdFamily::DE7, bytes);
        return true;
      },
      tries);

  Require(reads == tries || listed);
  if (!last) {
    Require(!listed && GetChipName() == previous && GetChipNameVersion() == "before");
  } else {
    const ChipId id = ParseChipId(family, last->data());
    Require(GetChipName() == id.name && GetChipNameVersion() == id.nameVersion);
    Require(listed == IsChipInList(id.name));
  }
  Require(events.changes <= 1 && (events.changes == 0 || (listed && events.ready)));
  // A listed chip that replaced another name or a placeholder is announced.
  if (listed && events.ready &&
      (previous.find("XXX") != std::string::npos || previous != GetChipName())) {
    Require(events.changes == 1);
  }
  if (events.changes == 1) {
    const fs::path ini = GetChipIniPath();
    Require(ini.empty() || Inside(ini, tree.ChipIni()));
    const fs::path sc = GetScFilePath();
    Require(sc == kMissingScFileName || Inside(sc, tree.CfgItem()));
  }
  return 0;
}
