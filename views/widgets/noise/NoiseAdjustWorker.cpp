#include "views/widgets/noise/NoiseAdjustWorker.h"

#include <utility>

#include "views/noise/NoiseTuning.h"

NoiseAdjustWorker::~NoiseAdjustWorker() {
  stop_->store(true);
  if (thread_.joinable()) thread_.join();
}

bool NoiseAdjustWorker::Start(std::shared_ptr<NoiseTuning> tuning, NoiseRange range, bool dual,
                              const DataFormat& raw, AutoAdjustHooks hooks, Ended ended) {
  if (state_.load() != AdjustState::Idle || !tuning) return false;
  if (thread_.joinable()) thread_.join();
  stop_ = std::make_shared<std::atomic<bool>>(false);
  hooks.stopRequested = [stop = stop_] { return stop->load(); };
  state_ = AdjustState::Running;
  ended_ = false;
  thread_ = std::thread([this, tuning = std::move(tuning), range, dual, raw,
                         hooks = std::move(hooks), ended = std::move(ended)] {
    const AutoAdjustResult result = RunAutoAdjust(*tuning, range, dual, raw, hooks);
    ended_ = true;
    if (ended) ended(result);
  });
  return true;
}

void NoiseAdjustWorker::Stop() {
  AdjustState running = AdjustState::Running;
  if (state_.compare_exchange_strong(running, AdjustState::Stopping)) stop_->store(true);
}

void NoiseAdjustWorker::Finish() {
  if (thread_.joinable()) thread_.join();
  state_ = AdjustState::Idle;
}
