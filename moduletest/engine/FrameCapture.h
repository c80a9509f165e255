#pragma once
// The capture of 16 consecutive raw frames for the data tests: each frame is
// a flag-polled read; once it has arrived the ready flag is cleared and only
// then the next frame is asked for, so the 16 frames are 16 different frames
// of the chip. Each frame is read only after its ready flag was seen up; a
// read that fails is tried again (its bytes are never judged) until the
// overall limit runs out.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "moduletest/engine/RunClock.h"
#include "moduletest/engine/RunResult.h"
#include "views/DataFormat.h"

// The whole capture's limit.
inline constexpr uint32_t kCaptureLimitMs = 10000;
// Each frame read's own limit (bridge command 13).
inline constexpr uint32_t kFrameReadTimeoutMs = 200;
// Pause before a failed frame read is tried again: the chip may be busy for
// a moment, and the pause lets the limit run out on a link that fails fast.
inline constexpr uint32_t kFrameRetryPauseMs = 100;
// The ready flag is polled in bursts of this many reads, with a pause
// between bursts (a chip between two frames answers within a burst).
inline constexpr int kFlagPollBurst = 10;
inline constexpr uint32_t kFlagPollPauseMs = 50;
// Writes of 0 to the ready flag before the stream starts.
inline constexpr int kFlagClearWrites = 10;

enum class CaptureStatus { Captured, TimedOut, BadFormat };

struct CaptureOutcome {
  CaptureStatus status = CaptureStatus::TimedOut;
  std::array<FrameStat, kCapturedFrames> stats{};
  std::string formatError;  // BadFormat: why
};

// Clears the stack and every per-node figure (not the limits): a run starts
// with no data of an earlier one.
void ClearCaptureArrays();

// Starts the data stream, captures the 16 frames into RawFrameStack slots
// 0..15 with NodeMax/NodeMin over them and NodeJitter = max - min, and stops
// the stream in every case. onFrame runs after each stored frame.
CaptureOutcome CaptureRawFrames(const DataFormat& raw, IRunClock& clock,
                                const std::function<void()>& onFrame);
