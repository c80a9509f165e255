// Data formats come from the chip INI file and the options dialog, frames
// from the chip: whatever the file says, every format loaded must fit the
// frame buffers; a typed format is stored only when it fits; a frame request
// never outgrows a FrameRing slot or the raw arrays; and every value decoded
// is exactly the bytes the chip encoded, in range for its width and sign,
// into the stack and statistics the raw view keeps.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "fuzz/DecodedRange.h"
#include "fuzz/FrameDecodeInput.h"
#include "fuzz/ScratchFolder.h"
#include "sim/ValueEncoding.h"
#include "views/DataFormat.h"
#include "views/DataFormatLoader.h"
#include "views/DataFormatStore.h"
#include "views/FrameRing.h"
#include "views/RawStatistics.h"
#include "views/ValueDecode.h"

namespace {

using namespace frame_decode_input;

void Require(bool condition) {
  if (!condition) std::abort();
}

FrameRequestSize CheckedPlan(DataKind kind, const DataFormat& f) {
  const FrameRequestSize plan = PlanFrameRequest(kind, f);
  Require(plan.bytes <= FrameRing::kSlotBytes);
  Require(kind != DataKind::Raw || plan.nodes <= kMaxRawNodes);
  Require(plan.nodes <= f.NodeCount());
  Require(f.unit > 2 || plan.bytes == plan.nodes * f.UnitBytes());
  // A format that fits is read whole.
  if (CheckFormat(kind, f).empty()) Require(plan.nodes == f.NodeCount());
  return plan;
}

// The bytes of one request as read into a slot (zero where the input ended).
std::vector<uint8_t> ReadFrame(FuzzedDataProvider& fdp, size_t bytes) {
  std::vector<uint8_t> frame = fdp.ConsumeBytes<uint8_t>(bytes);
  frame.resize(bytes, 0);
  return frame;
}

// Encoding the values again as the chip does gives back the bytes read.
void CheckValues(const DataFormat& f, const std::vector<uint8_t>& bytes, const int32_t* values,
                 size_t count) {
  const auto width = static_cast<unsigned>(f.UnitBytes());
  const fuzz::DecodedRange range = fuzz::DecodedRangeOf(f);
  uint8_t again[4];
  for (size_t i = 0; i < count; ++i) {
    Require(values[i] >= range.low && values[i] <= range.high);
    sim::EncodeValue(values[i], width, f.littleEndian != 0, again);
    for (unsigned b = 0; b < width; ++b) Require(again[b] == bytes[i * width + b]);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchFolder scratch;
  const std::filesystem::path chipIni = scratch.Path() / "chip.ini";
  FuzzedDataProvider fdp(data, size);
  const std::vector<uint8_t> text =
      fdp.ConsumeBytes<uint8_t>(fdp.ConsumeIntegralInRange<size_t>(0, kMaxChipIniBytes));
  fuzz::WriteWhole(chipIni, text.data(), text.size());

  // Whatever the file holds, the loader bounds it and the store takes it.
  const DataFormatSet loaded = ReadDataFormats(chipIni, nullptr);
  for (DataKind kind : kAllDataKinds) Require(CheckFormat(kind, loaded.Of(kind)).empty());
  Require(loaded.stylusLength >= 0 && loaded.stylusLength <= kStylusSlotBytes);
  DataFormatStore store;
  Require(store.Replace(loaded));

  // The options dialog's apply: all formats or none.
  const auto typedKind =
      static_cast<DataKind>(fdp.ConsumeIntegralInRange<size_t>(0, kDataKindCount - 1));
  DataFormat typed = loaded.Of(typedKind);
  typed.rows = fdp.ConsumeIntegral<int32_t>();
  typed.cols = fdp.ConsumeIntegral<int32_t>();
  typed.unit = fdp.ConsumeIntegralInRange<uint8_t>(0, kMaxTypedUnit);
  typed.isSigned = fdp.ConsumeIntegralInRange<uint8_t>(0, 1);
  typed.littleEndian = fdp.ConsumeIntegralInRange<uint8_t>(0, 1);
  std::array<DataFormat, kDataKindCount> formats = loaded.formats;
  formats[static_cast<size_t>(typedKind)] = typed;
  const bool applied = store.Apply(formats);
  Require(applied == CheckFormat(typedKind, typed).empty());
  Require(store.Snapshot().set.formats == (applied ? formats : loaded.formats));
  (void)CheckedPlan(typedKind, typed);

  const int rawFrames = fdp.ConsumeIntegralInRange<int>(1, kMaxRawFrames);
  static std::vector<int32_t> values(kMaxFrameBytes);
  for (DataKind kind : kFrameKinds) {
    const DataFormat f = store.Format(kind);
    const FrameRequestSize plan = CheckedPlan(kind, f);
    const std::vector<uint8_t> frame = ReadFrame(fdp, plan.bytes);
    const size_t n =
        DecodeFrame(frame.data(), frame.size(), f, plan.nodes, values.data(), values.size());
    Require(n == plan.nodes);
    CheckValues(f, frame, values.data(), n);
  }

  // The raw view: each frame into the stack, statistics over the ones before.
  // Kept for the whole run, as the program's are: large, and every value
  // the statistics read is written first.
  static auto* const stack = new RawFrameStack;
  static auto* const nodes = new NodeArrays;
  stack->Reset();
  nodes->NodeFailFlags.fill(0);
  const DataFormat raw = store.Format(DataKind::Raw);
  const FrameRequestSize plan = CheckedPlan(DataKind::Raw, raw);
  for (int k = 0; k < rawFrames; ++k) {
    const std::vector<uint8_t> frame = ReadFrame(fdp, plan.bytes);
    const RawFrameResult r = AddRawFrame(*stack, *nodes, frame.data(), frame.size(), raw);
    Require(r.slot == static_cast<size_t>(k) && r.count == plan.nodes);
    CheckValues(raw, frame, stack->At(r.slot).data(), r.count);
    for (size_t i = 0; i < plan.nodes; ++i) {
      Require((nodes->NodeFailFlags[i] & ~(kFailMax | kFailMin | kFailAdjacent)) == 0);
    }
    for (size_t i = plan.nodes; i < NodeArrays::kNodes; ++i) Require(nodes->NodeFailFlags[i] == 0);
  }
  return 0;
}
