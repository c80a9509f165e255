// Feeds arbitrary bytes to the parsers that read device texts from outside:
// uevent files, event properties, and the ids and numbers inside them.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/hid/HotplugClassify.h"
#include "platform/hid/UeventText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const platform::UeventProperties props = platform::ParseUevent(text);
  const platform::HotplugFacts facts = platform::FactsFromUevent(props);
  const platform::HotplugKind kind = platform::ClassifyHotplug(facts);
  if (facts.info.interfaceNumber < -1 || facts.info.interfaceNumber > 0xFF) __builtin_trap();
  if (kind != platform::HotplugKind::Other && facts.info.vendorId == 0) __builtin_trap();

  // Each single-value parser on the raw input as well.
  (void)platform::ParseHexNumber(text, 0xFFFF);
  (void)platform::ParseDecimalNumber(text, 0xFFFFF);
  (void)platform::ParseHidId(text);
  (void)platform::ParseHidDeviceName(text);
  (void)platform::ParseUsbProduct(text);
  const int fromPhys = platform::InterfaceFromHidPhys(text);
  const int fromName = platform::InterfaceFromUsbInterfaceName(text);
  if (fromPhys < -1 || fromPhys > 0xFF || fromName < -1 || fromName > 0xFF) __builtin_trap();
  return 0;
}
