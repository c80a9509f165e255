#include "platform/hid/DigitizerInhibit.h"

#include <fcntl.h>
#include <unistd.h>

#include <system_error>

#include "platform/hid/BridgeVendors.h"
#include "platform/hid/SysfsHid.h"

namespace platform {

namespace fs = std::filesystem;

namespace {

// An existing attribute only: a missing one must not be created (on a real
// sysfs that fails anyway; on anything else it would leave a stray file).
bool WriteOne(const fs::path& attribute) {
  const int fd = ::open(attribute.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::write(fd, "1", 1) == 1;
  return ::close(fd) == 0 && ok;
}

}  // namespace

int InhibitDigitizerInputs(const fs::path& sysfsRoot) {
  for (const auto& node : ReadHidrawNodes(sysfsRoot, ListHidrawSysPaths(sysfsRoot))) {
    if (node.info.interfaceNumber != 0 || !IsDigitizerVendor(node.info.vendorId)) continue;
    if (node.hidSysPath.empty()) return 0;
    int inhibited = 0;
    std::error_code ec;
    fs::directory_iterator it(SysfsLocation(sysfsRoot, node.hidSysPath) / "input", ec);
    for (const fs::directory_iterator end; !ec && it != end; it.increment(ec)) {
      if (it->path().filename().string().rfind("input", 0) != 0) continue;
      if (WriteOne(it->path() / "inhibited")) ++inhibited;
    }
    return inhibited;  // only the first digitizer interface is handled
  }
  return 0;
}

}  // namespace platform
