#pragma once
// The one rule by which frame bytes become node values, used by every data
// view, the module test capture and the sample files. Values are two's
// complement: only the most significant byte carries the sign.

#include <cstddef>
#include <cstdint>

#include "views/DataFormat.h"

// One value of `width` bytes (1..4) at `bytes`. Unsigned values wider than
// 31 bits come back as their 32-bit pattern (0xFFFFFFFF gives -1), as the
// frame buffers hold signed 32-bit values. A width outside 1..4 gives 0.
int32_t DecodeValue(const uint8_t* bytes, size_t width, bool isSigned, bool littleEndian);

// Decodes up to `nodeCount` values of `format` from `byteCount` bytes into
// `out` (room for `outCapacity` values). Returns how many were decoded: never
// more than whole values in the bytes, nor than out can hold.
size_t DecodeFrame(const uint8_t* bytes, size_t byteCount, const DataFormat& format,
                   size_t nodeCount, int32_t* out, size_t outCapacity);
