#pragma once
// Per-node production limits computed from sample files of good panels: the
// average of each node over the samples, widened by the ratios of the
// adjustment dialog, and saved as [Node threshold] of the test INI where the
// module test reads them back.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "views/DataFormat.h"

class SampleStore;
struct NodeArrays;

// [Calculate node threshold] of the test INI, in percent except sampleTimes
// (frames read from each sample file).
struct AdjustRatios {
  int32_t maxRatio = 20;       // "Max ratio"
  int32_t minRatio = 20;       // "Min ratio"
  int32_t adjacentRatio = 20;  // "Adjacent Deviation ratio"
  int32_t sampleTimes = 16;    // "Sample Times"
  int32_t adjacentMin = 20;    // "Adjacent Deviation Min"
  bool operator==(const AdjustRatios&) const = default;
};

// One ratio: its key, the edit's label and the values it may take.
struct AdjustRatioField {
  const char* key;
  const char* label;
  int32_t low;
  int32_t high;
  int32_t AdjustRatios::*member;
};
// In the dialog's order: a minimum ratio above 100 would give negative
// minimum limits, and no frames per file would compute nothing.
const std::vector<AdjustRatioField>& AdjustRatioFields();

// Empty when every ratio lies in its range; otherwise the message naming the
// first that does not: "<label>应为<low>到<high>之间的整数".
std::string CheckAdjustRatios(const AdjustRatios& ratios);

AdjustRatios LoadAdjustRatios(const std::filesystem::path& ini);
// All five keys in one atomic write ("%d").
bool SaveAdjustRatios(const std::filesystem::path& ini, const AdjustRatios& ratios,
                      std::string* error);

// Per-node sums of the frames read from the sample files, in 64 bits so many
// frames of 32-bit values cannot overflow.
struct SampleSums {
  DataFormat format;
  std::vector<int64_t> sums;  // rows x cols
  int64_t frames = 0;
};

// Reads up to `framesPerFile` frames of `format` from every file of the
// store's list in order (a file ends early at its end or at a partial frame),
// decodes them and adds them up. The file is closed at the end. A format the
// frame buffers cannot hold gives no frames.
SampleSums SumSampleFrames(SampleStore& store, const DataFormat& format, int32_t framesPerFile);

struct NodeLimitArrays {
  int32_t rows = 0;
  int32_t cols = 0;
  std::vector<int32_t> max;                // NodeMaxLimit
  std::vector<int32_t> min;                // NodeMinLimit
  std::vector<int32_t> adjacentDeviation;  // NodeAdjDevLimit, percent
};

// a = sum / frames; max = a x (100 + Rmax) / 100; min = a x (100 - Rmin) /
// 100; the adjacent limit is the largest |a - a'| x 100 / a over the test's
// neighbours, widened by Radj, and never below Amin (a node of average 0
// gets Amin). Truncated toward zero, in 64 bits. Empty with no frames.
NodeLimitArrays ComputeNodeLimits(const SampleSums& sums, const AdjustRatios& ratios);

// The limits the node arrays hold for a rows x cols panel, in node order
// (the test settings' [Node threshold], or the last computation). Empty
// when the panel does not fit the arrays.
NodeLimitArrays HeldNodeLimits(const NodeArrays& nodes, int32_t rows, int32_t cols);

// "%d," for each value (the text ends with a comma).
std::string NodeListText(const std::vector<int32_t>& values);

// "Adjacent Deviation", "Max" and "Min" of [Node threshold] in one atomic
// write: all three keys or none.
bool SaveNodeLimits(const std::filesystem::path& ini, const NodeLimitArrays& limits,
                    std::string* error);
