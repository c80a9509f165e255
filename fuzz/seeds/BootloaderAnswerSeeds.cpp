// fuzz_bootloader_answers takes the number of bootloaders and the image's
// length from the back, then, in the order the programmer makes them, each
// transfer's outcome and each answer's length from the back and the answer's
// bytes from the front (FuzzedDataProvider). The seeds are what the simulated
// bootloader answered while the real programmer burnt the same image: whole
// burns, an image too large for the part, an older bootloader, and answers
// spoiled on the way (garbled, refused, missing, unplugged).

#include <memory>

#include "fuzz/BootloaderAnswerInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "programming/bridgefw/Ch55xUsb.h"
#include "programming/bridgefw/McuIsp.h"
#include "sim/ch55x/SimCh55xBootloader.h"
#include "sim/ch55x/SimCh55xUsbBackend.h"

namespace fuzzseeds {

namespace {

using namespace bootloader_answer_input;

struct Fault {
  uint8_t command;
  sim::Ch55xFault kind;
};

Seed Make(const char* name, const sim::Ch55xConfig& config, size_t imageBytes,
          const std::vector<Fault>& faults = {}) {
  sim::SimCh55xUsbBackend usb;
  const auto loader = usb.AddLoader(std::make_shared<sim::SimCh55xBootloader>(config));
  loader->PowerUp();
  for (const Fault& f : faults) loader->InjectFault(f.command, f.kind, 1);
  {
    Ch55xUsbBackend backend(usb);
    CMcuIsp isp(backend);
    if (isp.EnumDevices()) {
      isp.SetImage(Image(imageBytes));
      isp.Program();
    }
  }

  ProviderInput input;
  input.Integer(0, kMaxDevices, 1);
  input.Integer(0, kMaxImageBytes, imageBytes);
  for (const sim::UsbTransfer& t : loader->Transfers()) {
    input.Integer(0, kMaxPick, static_cast<uint64_t>(PickOf(t.result)));
    if (t.out || t.result != platform::UsbIoResult::Ok) continue;
    input.Integer(0, kMaxAnswerBytes, t.bytes.size());
    input.Bytes(t.bytes);
  }
  return {name, input.Build()};
}

sim::Ch55xConfig Part(uint8_t chipType, size_t userFlashBytes) {
  sim::Ch55xConfig c;
  c.chipType = chipType;
  c.userFlashBytes = userFlashBytes;
  return c;
}

}  // namespace

TargetSeeds BootloaderAnswerSeeds() {
  const sim::Ch55xConfig ch552 = Part(0x52, 14 * 1024);
  sim::Ch55xConfig older = ch552;
  older.olderGeneration = true;

  TargetSeeds t{"fuzz_bootloader_answers", {}};
  t.seeds.push_back(Make("ch552_burn", ch552, 300));
  t.seeds.push_back(Make("ch554_burn_last_chunk_padded", Part(0x54, 14 * 1024), 1001));
  t.seeds.push_back(Make("ch551_image_too_large", Part(0x51, 10 * 1024), 12 * 1024));
  t.seeds.push_back(Make("older_bootloader", older, 300));
  t.seeds.push_back(
      Make("verify_garbled", ch552, 200, {{sim::kCh55xVerify, sim::Ch55xFault::Garbled}}));
  t.seeds.push_back(
      Make("key_sum_refused", ch552, 200, {{sim::kCh55xSetKey, sim::Ch55xFault::Refuse}}));
  t.seeds.push_back(
      Make("erase_unanswered", ch552, 200, {{sim::kCh55xErase, sim::Ch55xFault::Silent}}));
  t.seeds.push_back(Make("unplugged_while_programming", ch552, 200,
                         {{sim::kCh55xProgram, sim::Ch55xFault::Unplug}}));
  return t;
}

}  // namespace fuzzseeds
