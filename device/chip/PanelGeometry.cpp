#include "device/chip/PanelGeometry.h"

#include <mutex>

#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/HexStrToWord.h"
#include "device/link/HidDevice.h"
#include "device/link/RegisterOps.h"
#include "platform/files/IniFile.h"

std::atomic<uint32_t> g_nResolutionX{0};
std::atomic<uint32_t> g_nResolutionY{0};

namespace {

std::mutex g_geometryMutex;
PanelGeometry g_geometry;

constexpr uint32_t kGeometryReadTimeoutMs = 100;

uint16_t AddressFromChipIni(const char* key, const char* def) {
  return ParseChipIniAddress(platform::IniGetString("Cfg", key, def, GetChipIniPath()));
}

bool ReadFour(CHidDevice* device, uint16_t address, uint8_t (&bytes)[4]) {
  return ReadChipRegs(device, address, bytes, 4, kGeometryReadTimeoutMs) != 0;
}

// DE7 boards report the two halves of each axis separately. The stylus rows
// follow the columns, so the row limit, applied last, may override them.
void ApplyDe7Channels(const uint8_t (&b)[4], PanelGeometry& g) {
  const uint32_t rows = b[0] + b[2];
  const uint32_t columns = b[1] + b[3];
  g.rawRows = g.diffRows = rows;
  g.rawColumns = g.diffColumns = g.stylusRows = columns;
  if (columns == 0 || columns > kDe7MaxColumns) {
    g.rawColumns = g.diffColumns = g.stylusRows = kDe7MaxColumns;
  }
  if (rows == 0 || rows > kDe7MaxRows) g.rawRows = g.diffRows = g.stylusRows = kDe7MaxRows;
}

// Other boards: two driving groups (5 bits each) give the columns, the two
// nibbles of the sensing byte the rows. Here the stylus rows follow the rows,
// and the column limit, applied first, may set them too.
void ApplyRu9Channels(const uint8_t (&b)[4], PanelGeometry& g) {
  const uint32_t columns = (b[0] & 0x1Fu) + (b[1] & 0x1Fu);
  const uint32_t rows = (b[2] >> 4) + (b[2] & 0x0Fu);
  g.rawColumns = g.diffColumns = columns;
  g.rawRows = g.diffRows = g.stylusRows = rows;
  if (columns == 0 || columns > kRu9MaxColumns) {
    g.rawColumns = g.diffColumns = g.stylusRows = kRu9MaxColumns;
  }
  if (rows == 0 || rows > kRu9MaxRows) g.rawRows = g.diffRows = g.stylusRows = kRu9MaxRows;
}

uint32_t ResolutionOf(uint8_t low, uint8_t high) {
  const uint32_t value = static_cast<uint32_t>(high) << 8 | low;
  return value == 0 ? kDefaultResolution : value;
}

}  // namespace

PanelGeometry GetPanelGeometry() {
  std::lock_guard lock(g_geometryMutex);
  return g_geometry;
}

void SetPanelGeometry(const PanelGeometry& geometry) {
  std::lock_guard lock(g_geometryMutex);
  g_geometry = geometry;
}

uint16_t ParseChipIniAddress(const std::string& text) {
  size_t start = 0;
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) start = 2;
  return HexStrToWord(text.substr(start, 4));
}

bool ReadPanelGeometry() {
  if (g_bDigitizerDisabled.load()) {
    DisableDigitizer();
  } else {
    EnableDigitizer();
  }
  if (!IsChipInList(GetChipName())) return false;

  CHidDevice* device = g_pBridgeDevice.load();
  uint8_t bytes[4] = {};
  bool channelsRead = false;
  if (device != nullptr && device->IsDe7Family()) {
    if (ReadFour(device, AddressFromChipIni(kDe7ChannelKey, kDe7ChannelDefault), bytes)) {
      std::lock_guard lock(g_geometryMutex);
      ApplyDe7Channels(bytes, g_geometry);
      channelsRead = true;
    }
  } else if (ReadFour(device, AddressFromChipIni(kRu9ChannelKey, kRu9ChannelDefault), bytes)) {
    std::lock_guard lock(g_geometryMutex);
    ApplyRu9Channels(bytes, g_geometry);
    channelsRead = true;
  }

  if (ReadFour(device, AddressFromChipIni(kResolutionKey, kResolutionDefault), bytes)) {
    g_nResolutionX = ResolutionOf(bytes[0], bytes[1]);
    g_nResolutionY = ResolutionOf(bytes[2], bytes[3]);
  }
  return channelsRead;
}
