#pragma once
// The thread that runs one auto-adjust at a time, with its lifecycle
// claimed on the UI thread: Idle -> Running (Start) -> Stopping (Stop) ->
// Idle only once the run has ended (Finish, called from the UI after the
// finished hand-over). So a second run can never start while the first is
// still sending configurations or restoring the backup.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

#include "views/noise/AutoAdjust.h"

class NoiseTuning;

enum class AdjustState { Idle, Running, Stopping };

class NoiseAdjustWorker {
 public:
  // Runs on the worker thread when the run has ended (restore included).
  using Ended = std::function<void(const AutoAdjustResult&)>;

  NoiseAdjustWorker() = default;
  // Asks a run to stop and waits for its thread (the owner makes sure the
  // run can end: nothing it waits for may be blocked).
  ~NoiseAdjustWorker();

  AdjustState State() const { return state_.load(); }

  // UI thread. false unless Idle. hooks.stopRequested is supplied here.
  bool Start(std::shared_ptr<NoiseTuning> tuning, NoiseRange range, bool dual,
             const DataFormat& raw, AutoAdjustHooks hooks, Ended ended);
  // UI thread: Running -> Stopping; the run leaves at its next pass.
  void Stop();
  // UI thread, after Ended was handed over: joins the thread, back to Idle.
  void Finish();
  // The thread has returned from the run (tests, shutdown).
  bool HasEnded() const { return ended_.load(); }

 private:
  std::atomic<AdjustState> state_{AdjustState::Idle};
  std::shared_ptr<std::atomic<bool>> stop_ = std::make_shared<std::atomic<bool>>(false);
  std::atomic<bool> ended_{true};
  std::thread thread_;
};
