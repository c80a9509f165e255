// fuzz_frame_decode takes, as FuzzedDataProvider reads them, a chip INI, a
// format typed into the options dialog and the number of raw frames, then
// one raw, difference and observe frame and the raw frames. The chip INI
// files are the ones shipped for the simulated chips and the loader's
// fixtures; the frames are what a simulated panel sends in the formats the
// loader and the dialog make of them.

#include <stdexcept>
#include <string>

#include "fuzz/FrameDecodeInput.h"
#include "fuzz/ScratchFolder.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "fuzz/seeds/SimSamples.h"
#include "sim/DataPlane.h"
#include "sim/ValueEncoding.h"
#include "views/DataFormatLoader.h"
#include "views/DataFormatStore.h"

namespace fuzzseeds {

namespace {

using namespace frame_decode_input;

struct Typed {
  DataKind kind;
  int32_t rows;
  int32_t cols;
  uint8_t unit;
  bool isSigned;
  bool littleEndian;
};

// The formats the program holds after loading the chip INI and applying
// the typed format (or refusing it).
DataFormatSet FormatsAfter(const std::string& chipIni, const Typed& typed) {
  fuzz::ScratchFolder scratch;
  const auto file = scratch.Path() / "chip.ini";
  fuzz::WriteWhole(file, chipIni.data(), chipIni.size());
  DataFormatStore store;
  const DataFormatSet loaded = ReadDataFormats(file, nullptr);
  if (!store.Replace(loaded)) throw std::runtime_error("loaded formats refused");
  std::array<DataFormat, kDataKindCount> formats = loaded.formats;
  DataFormat& f = formats[static_cast<size_t>(typed.kind)];
  f.rows = typed.rows;
  f.cols = typed.cols;
  f.unit = typed.unit;
  f.isSigned = typed.isSigned ? 1 : 0;
  f.littleEndian = typed.littleEndian ? 1 : 0;
  store.Apply(formats);
  return store.Snapshot().set;
}

Seed Make(const char* name, const std::string& chipIni, const Typed& typed, int rawFrames) {
  const DataFormatSet set = FormatsAfter(chipIni, typed);
  sim::DataPlaneConfig config = sim::DataPlaneConfig::For(sim::ChipFamily::RU9);
  config.raw = SimFormat(set.Of(DataKind::Raw));
  config.diff = SimFormat(set.Of(DataKind::Diff));
  config.observe = SimFormat(set.Of(DataKind::Observe));
  const sim::DataPlane panel(config);

  ProviderInput input;
  input.Integer(0, kMaxChipIniBytes, chipIni.size());
  input.Bytes({chipIni.begin(), chipIni.end()});
  input.Integer(0, kDataKindCount - 1, static_cast<uint64_t>(typed.kind));
  input.Int32(typed.rows);
  input.Int32(typed.cols);
  input.Integer(0, kMaxTypedUnit, typed.unit);
  input.Integer(0, 1, typed.isSigned ? 1 : 0);
  input.Integer(0, 1, typed.littleEndian ? 1 : 0);
  input.Integer(1, kMaxRawFrames, static_cast<uint64_t>(rawFrames));
  input.Bytes(sim::EncodeFrame(panel.RawFrame(0), config.raw));
  input.Bytes(sim::EncodeFrame(panel.DiffFrame(0), config.diff));
  input.Bytes(sim::EncodeFrame(panel.ObserveFrame(0), config.observe));
  for (int n = 1; n <= rawFrames; ++n) {
    input.Bytes(sim::EncodeFrame(panel.RawFrame(static_cast<uint64_t>(n)), config.raw));
  }
  return {name, input.Build()};
}

}  // namespace

TargetSeeds FrameDecodeSeeds() {
  const std::string ru9 = ReadSourceFile("resources/runtime/System/ChipIni/RO9110V.ini");
  const std::string de7 = ReadSourceFile("resources/runtime/System/ChipIni/RO7387Z.ini");
  const std::string everyKey = ReadSourceFile("tests/data/chipini/every_key.ini");
  const std::string defaults = ReadSourceFile("tests/data/chipini/defaults.ini");

  TargetSeeds t{"fuzz_frame_decode", {}};
  // Typed formats the dialog refuses leave the loaded ones in force.
  t.seeds.push_back(Make("ru9_chip_ini", ru9, {DataKind::Raw, 0, 42, 1, false, true}, 2));
  t.seeds.push_back(Make("de7_chip_ini", de7, {DataKind::Raw, 72, 50, 1, false, true}, 1));
  t.seeds.push_back(Make("every_key_set", everyKey, {DataKind::Diff, 300, 300, 0, true, true}, 3));
  t.seeds.push_back(Make("no_keys_set", defaults, {DataKind::Stylus, -1, 5, 0, false, true}, 1));
  // Taken: a raw frame of one long column in big-endian 16-bit signed
  // values, and 32-bit observe values.
  t.seeds.push_back(Make("typed_raw_one_column", ru9, {DataKind::Raw, 3520, 1, 1, true, false}, 2));
  t.seeds.push_back(
      Make("typed_observe_32_bit", de7, {DataKind::Observe, 10, 12, 2, true, true}, 1));
  return t;
}

}  // namespace fuzzseeds
