#pragma once
// The panel's channel counts and coordinate range, read from the chip after
// each identification. The data views take their frame sizes from here (from
// their render threads, hence the lock), the touch demo its coordinate range.

#include <atomic>
#include <cstdint>
#include <string>

struct PanelGeometry {
  uint32_t rawRows = 0;
  uint32_t rawColumns = 0;
  uint32_t diffRows = 0;
  uint32_t diffColumns = 0;
  uint32_t stylusRows = 0;
  bool operator==(const PanelGeometry&) const = default;
};

// Copies under the data-format lock.
PanelGeometry GetPanelGeometry();
void SetPanelGeometry(const PanelGeometry& geometry);

// The panel's X and Y coordinate maxima.
extern std::atomic<uint32_t> g_nResolutionX;
extern std::atomic<uint32_t> g_nResolutionY;

// Channel limits of the two chip families, used when the chip reports none
// or more than its family can have.
inline constexpr uint32_t kDe7MaxColumns = 44;
inline constexpr uint32_t kDe7MaxRows = 72;
inline constexpr uint32_t kRu9MaxColumns = 42;
inline constexpr uint32_t kRu9MaxRows = 30;
// Resolution assumed when the chip reports 0.
inline constexpr uint32_t kDefaultResolution = 4096;

// Register addresses in the chip INI file, section "Cfg", and their defaults.
inline constexpr char kDe7ChannelKey[] = "SenNumAddr";
inline constexpr char kDe7ChannelDefault[] = "0x81CC";
inline constexpr char kRu9ChannelKey[] = "DrvNumAddr";
inline constexpr char kRu9ChannelDefault[] = "0x8062";
inline constexpr char kResolutionKey[] = "XmaxAddr";
inline constexpr char kResolutionDefault[] = "0x8048";

// Re-applies the digitizer setting, then, for a listed chip, reads the
// channel counts and the resolution. A failed read leaves what it would have
// set unchanged. true when the channel counts were read: only then does the
// geometry describe the chip in force.
bool ReadPanelGeometry();

// A register address as the chip INI writes it ("0x81CC"); the "0x" is
// optional, and only the first four digits after it count.
uint16_t ParseChipIniAddress(const std::string& text);
