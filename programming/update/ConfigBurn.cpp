#include "programming/update/ConfigBurn.h"

#include "device/config/Config.h"
#include "device/link/RegisterOps.h"

std::unique_ptr<ConfigBurnOps> MakeConfigBurn() {
  auto config = std::make_shared<CConfig>();
  auto ops = std::make_unique<ConfigBurnOps>();
  // The file goes into a fresh block: bytes it does not give would be
  // burnt as zeros, so only a file of the whole block is taken.
  ops->load = [config](const std::filesystem::path& path) {
    config->LoadCfgFile(path, CConfig::CfgFileFit::kWholeBlock);
  };
  ops->send = [config] {
    StopDataStream();
    config->SendWithChecksum();
  };
  ops->compare = [config, stopped = false]() mutable {
    if (!stopped) StopDataStream();
    stopped = true;
    return config->CompareChipConfig(true);
  };
  ops->fileVersion = [config] { return config->Block()[0]; };
  ops->chipVersion = [config]() -> std::optional<uint8_t> {
    uint8_t value = 0;
    if (!QueueRegisterAccess().TryRead8(config->CfgAddr(), value)) return std::nullopt;
    return value;
  };
  return ops;
}
