#pragma once
// Which touch chip sits behind the bridge, whether the settings list it as
// supported, and where its profile files are.
//
// A chip's name is "RO" followed by its id characters ("RO911", "RO9111"),
// with a few ids known by their sales names (RO9111 -> RO9110V). The
// supported chips are listed in the settings file, section "CHIP LIST", key
// "chip list", as comma-separated names.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Settings file of the chip list, and the list's section and key in it.
inline constexpr std::string_view kAppConfigIniText = "..\\System\\AppConfigInit.ini";
inline constexpr const char* kChipListSection = "CHIP LIST";
inline constexpr const char* kChipListKey = "chip list";
// Folder of the chips' configuration item (.sc) files.
inline constexpr std::string_view kCfgItemFolder = "..\\System\\CfgItem\\";
// The chip-list check's own default, used when the key is missing.
inline constexpr std::string_view kDefaultChipList = "RO9110V, RO9110R";

// The two id blocks: RU9 at 0x8140 (6 bytes: four id characters, version low
// and high byte, shown as "%4X"), DE7 at 0x8240 (8 bytes: four id
// characters, two unused, version major and minor, shown as "%02X.%02X").
enum class ChipIdFamily { RU9, DE7 };

struct ChipIdBlock {
  uint16_t address;
  uint32_t length;
};
ChipIdBlock IdBlockOf(ChipIdFamily family);

// A chip id name ("RO" + id characters) under the name the chip is sold as
// (RO9111 -> RO9110V, RO6572 -> VE6572, RO7388 -> RO7387Z, ...); any other
// name unchanged. Firmware files go through the same table, so a file and
// the chip it was made for always carry the same name.
std::string MapChipName(std::string idName);

struct ChipId {
  std::string name;         // mapped
  std::string nameVersion;  // name + "_" + version text
};
// The name and version an id block's bytes (at least IdBlockOf().length)
// stand for; id characters end at the first NUL, each byte one character.
ChipId ParseChipId(ChipIdFamily family, const uint8_t* bytes);

// Reads `length` bytes at `address` into `out`; false when the read failed.
using ChipIdReader = std::function<bool(uint16_t address, uint8_t* out, uint32_t length)>;

// The firmware engines' chip check: up to `tries` reads of one family's id
// block through `read` (a failed read goes on to the next try). Each answer
// becomes the chip name and name-with-version, listed or not; a listed chip
// ends the tries. When a listed chip replaced another name (or a
// placeholder), the profile files are looked up and the UI told as
// IdentifyChip does. true when a listed chip answered. Runs under the same
// lock as IdentifyChip.
bool IdentifyChipForUpdate(ChipIdFamily family, const ChipIdReader& read, int tries);

// Reads the chip's id block and updates the chip name and name-with-version
// (device/ChipGlobals.h). 1 when the chip answered and is listed. Otherwise 0,
// and the chip name falls back to the listed name it had before or, when it
// had none, to the placeholder of the family read last ("RO9XXX", "RO7XXX").
// On a bridge whose product id both families use, a failed or unlisted read
// of one family is followed by one read of the other.
//
// When a listed chip replaces another name (or a placeholder) and the UI is
// ready (IChipEvents::IsReady), the profile files are looked up and
// IChipEvents::OnChipChanged is called, on the calling thread, with no lock
// held. Safe to call from any thread; identifications run one at a time.
int IdentifyChip();

// true when name, ignoring spaces around it, equals one of the chip list's
// entries, each likewise taken without its surrounding spaces. Letter case
// counts. An empty entry lists nothing.
bool IsChipInList(const std::string& name);

// The pieces between commas, in order, each kept as it is (spaces included):
// "A,,B" -> {"A", "", "B"}, "A," -> {"A", ""}, "" -> {""}. A leading comma is
// dropped together with the empty piece before it: ",A" -> {"A"}.
std::vector<std::string> SplitByComma(std::string_view text);

// A chip name that can safely become part of a file name and a search
// pattern: letters, digits, '_' and '-' only (no separators, dots, wildcards
// or control characters), not empty.
bool IsPlainFileName(std::string_view name);

// Sets the chip INI path for the current chip name: the first file (in sorted
// order, any letter case) named "<name>_*.ini" in System/ChipIni, else
// System/ChipIni/<name>.ini, which is created empty when it does not exist.
// When it cannot be created the operator is told "ini文件创建失败！" and the
// path stays set. A name that is not a plain file name (letters, digits, '_',
// '-') is neither searched for nor created: the path is cleared and the
// operator told the same.
void FindChipIni();

// The .sc file of chip: the first file (in sorted order) named
// "<chip>_*.sc" in System/CfgItem. nullopt when there is none, or when chip
// is not a plain file name (never a search pattern from the chip's bytes).
std::optional<std::filesystem::path> FindScFileFor(const std::string& chip);

// Sets the .sc file path for the current chip name (FindScFileFor), else the
// operator is told kCfgScMissingText and the path is kMissingScFileName.
void FindChipScFile();
