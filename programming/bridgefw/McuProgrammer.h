#pragma once
// The bridge programmer as its callers see it: the main window's update
// sequence and the module test's bridge step. CMcuIsp is the real one; the
// callers' tests fake this interface. Switching the bridge into its
// bootloader and waiting for devices to come and go are the callers' steps.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

// The file behind the image of the last LoadHexFile.
struct McuImageSource {
  bool loaded = false;
  std::filesystem::path path;
  std::filesystem::file_time_type writeTime{};
  std::string extension;    // lower case, without the dot
  // The four characters after the first "_v" of the file name (fewer when
  // the name ends sooner); empty when the name holds no "_v".
  std::string versionText;
};

class IMcuProgrammer {
 public:
  virtual ~IMcuProgrammer() = default;

  // Looks for the bootloader; true when one was found.
  virtual bool EnumDevices() = 0;
  // The chip type the last enumeration ended on (0x51, 0x52, 0x54, 0x78, 0x79).
  virtual uint8_t DeviceType() const = 0;

  // Loads a ".hex" file, or a binary with its 112-byte ".ect" beside it.
  // True when loaded; throws UserMessageError with the operator's message.
  virtual bool LoadHexFile(const std::filesystem::path& path) = 0;
  // Loads as LoadHexFile and programs; false at once when the last
  // enumeration found nothing. Load errors throw. The source is not
  // recorded: afterwards Source() holds no file (loaded is false).
  virtual bool LoadAndProgram(const std::filesystem::path& path) = 0;
  // Takes an image received from elsewhere (the remote link) as the image
  // to program. Throws UserMessageError when it does not fit.
  virtual void SetImage(std::span<const uint8_t> image) = 0;
  // Programs and verifies the image, retrying; true only when the device
  // holds the image. False without touching the device when nothing is loaded.
  virtual bool Program() = 0;

  // The image to program (empty when none), e.g. for the .ect/.bin split.
  virtual std::span<const uint8_t> Image() const = 0;
  virtual const McuImageSource& Source() const = 0;
};
