#pragma once
// How fuzz_sample_files reads its input (FuzzedDataProvider): from the back
// the number of sample files and each one's length, the raw format the files
// are read with, the ratios of the limit computation (each within its
// field's range), and the browsing steps; from the front each file's bytes.
// The seed generator writes its inputs by the same ranges, so that a seed
// still decodes as meant when they change.

#include <cstddef>
#include <cstdint>

namespace sample_file_input {

inline constexpr int kMaxFiles = 3;  // at least 1
inline constexpr size_t kMaxFileBytes = 64 * 1024;
// Rows and columns of the raw format: up to a grid beyond the raw arrays.
inline constexpr int32_t kMaxSide = 128;
inline constexpr uint8_t kMaxUnit = 2;
inline constexpr int kMaxBrowseSteps = 16;

// What one browsing step does.
enum Step : int { kStepBack = 0, kStepNext = 1, kNextSample = 2 };
inline constexpr int kMaxStep = kNextSample;

}  // namespace sample_file_input
