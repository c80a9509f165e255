#pragma once
// How fuzz_frame_decode reads its input (FuzzedDataProvider): the chip INI's
// length from the back and its text from the front; from the back a format
// as the options dialog takes it (kind, rows, columns, unit, sign, byte
// order) and the number of raw frames; then from the front one frame of the
// raw, difference and observe kinds and the raw frames, each as long as its
// format's request. The seed generator writes its inputs by the same ranges,
// so that a seed still decodes as meant when they change.

#include <array>
#include <cstddef>

#include "views/DataFormat.h"

namespace frame_decode_input {

// Chip INI files are a kilobyte or two; the loader reads the file once per
// key, so a larger bound would only slow every run down.
inline constexpr size_t kMaxChipIniBytes = 4 * 1024;
// The dialog's unit combo box: 8, 16 or 32 bit.
inline constexpr uint8_t kMaxTypedUnit = 2;
inline constexpr int kMaxRawFrames = 4;  // at least 1
// The kinds whose frames are decoded value by value (the stylus report is
// the touch demo's own).
inline constexpr std::array<DataKind, 3> kFrameKinds = {DataKind::Raw, DataKind::Diff,
                                                        DataKind::Observe};

}  // namespace frame_decode_input
