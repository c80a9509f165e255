// The desktop must not take the bridge's touch reports as pointer input while
// the tool drives the panel; the platform layer inhibits those input devices.

#include "device/link/HidDevice.h"
#include "platform/hid/DigitizerInhibit.h"

void RemoveDigitizerInterface() {
  // Best effort: without the attribute or the permission nothing changes, and
  // the tool still works.
  platform::InhibitDigitizerInputs();
}
