#pragma once
// Where a kind of data frame lies in the chip's register space and how one
// value of it is encoded, plus the bounds every format must keep: a frame has
// to fit one FrameRing slot, and a raw frame one RawFrameStack frame.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

enum class DataKind { Raw = 0, Diff = 1, Observe = 2, Stylus = 3 };
inline constexpr size_t kDataKindCount = 4;
inline constexpr std::array<DataKind, kDataKindCount> kAllDataKinds = {
    DataKind::Raw, DataKind::Diff, DataKind::Observe, DataKind::Stylus};

// The options dialog's row names "RawData", "DiffData", "OtherData",
// "StylusData" (messages and log lines name the kinds by them).
const char* DataKindName(DataKind kind);
// The caption of the kind's page, as the page buttons show it ("原始值", ...);
// the stylus has no page of its own and is named "Stylus".
const char* DataKindCaption(DataKind kind);

// Largest frame read into one FrameRing slot, and the largest raw frame the
// statistics arrays hold.
inline constexpr size_t kMaxFrameBytes = 7040;
inline constexpr size_t kMaxRawNodes = 3520;

struct DataFormat {
  uint16_t address = 0;      // first byte of the frame
  int32_t rows = 0;          // values along the fast index (a column holds `rows` values)
  int32_t cols = 0;          // values along the slow index
  uint8_t unit = 0;          // bytes per value = 1 << unit (0: 8 bit, 1: 16 bit, 2: 32 bit)
  uint8_t isSigned = 0;      // 1: values are two's complement
  uint8_t littleEndian = 1;  // 1: the last byte of a value is the most significant

  size_t UnitBytes() const { return size_t{1} << unit; }
  // rows x cols, 0 when either is not positive.
  size_t NodeCount() const;
  bool operator==(const DataFormat&) const = default;
};

// Node (row r, column k) of a frame of `rows` rows: the frame stores one
// column after the other.
inline size_t NodeIndex(int32_t rows, int32_t row, int32_t col) {
  return static_cast<size_t>(col) * static_cast<size_t>(rows) + static_cast<size_t>(row);
}

// The format a kind has when its chip INI sets none of its keys.
DataFormat DefaultFormat(DataKind kind);

// Empty when the format can be used for the kind; otherwise why not, in a
// line fit for the log or a message box. Rules: rows and cols at least 1, a
// unit of 0..2, rows x cols x unit bytes at most kMaxFrameBytes, and for Raw
// at most kMaxRawNodes values.
std::string CheckFormat(DataKind kind, const DataFormat& format);

// What a frame request of this format reads. A format that passed
// CheckFormat reads all of its nodes; any other is cut to what a slot (and
// for Raw the statistics arrays) can take, so a request never overruns them.
struct FrameRequestSize {
  size_t nodes = 0;
  size_t bytes = 0;
};
FrameRequestSize PlanFrameRequest(DataKind kind, const DataFormat& format);
