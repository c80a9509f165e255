#pragma once
// The noise view's draw thread. Frames reach it through a one-frame
// mailbox: noise frames from the read chain are offered without waiting (a
// busy drawing drops them), auto-adjust frames wait up to 100 ms. Each frame
// is drawn by the renderer; the callbacks then say what changed (they run on
// the draw thread and must only hand over to the UI).

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <variant>
#include <vector>

#include "platform/sync/Event.h"
#include "views/noise/AutoAdjust.h"
#include "views/widgets/HandOffMailbox.h"
#include "views/widgets/noise/NoiseRenderer.h"

using NoisePayload = std::variant<std::vector<uint8_t>, AdjustFrame>;

class NoiseDrawWorker : public std::enable_shared_from_this<NoiseDrawWorker> {
 public:
  static constexpr uint32_t kJoinLimitMs = 2000;

  struct Callbacks {
    std::function<void()> pictureChanged;
    std::function<void(const NoiseMarkers&)> markers;
    std::function<void(const std::array<int, 11>&)> adjustDone;
  };

  explicit NoiseDrawWorker(std::shared_ptr<NoiseRenderer> renderer);
  ~NoiseDrawWorker();

  NoiseRenderer& Renderer() { return *renderer_; }

  void Start();
  // Ends the thread (bounded wait; a thread that does not end is let go and
  // keeps what it uses alive).
  void Stop();

  // Any thread. Noise frames never wait; auto-adjust frames up to 100 ms.
  bool OfferNoise(std::vector<uint8_t> frame);
  bool OfferAdjust(AdjustFrame frame);
  // The markers again over the current curves.
  void RequestRedraw() { mailbox_.RequestRedraw(); }

  void SetAverage(bool on) { average_ = on; }
  void SetRefFreq(int index) { refFreq_ = index; }
  void SetCallbacks(Callbacks callbacks);

  // A frame counts once it is drawn and its callbacks have run.
  uint64_t FramesDrawn() const;
  bool WaitForFramesDrawn(uint64_t n, uint32_t limitMs) const;
  // The same for auto-adjust frames alone; the wait also ends when the worker
  // stops, since what is still queued will then never be drawn.
  uint64_t AdjustFramesDrawn() const;
  bool WaitForAdjustFramesDrawn(uint64_t n, uint32_t limitMs) const;

 private:
  void Run();
  void Draw(NoisePayload& payload);

  const std::shared_ptr<NoiseRenderer> renderer_;
  HandOffMailbox<NoisePayload> mailbox_;
  platform::Event finished_{true, false};
  std::thread thread_;
  std::atomic<bool> average_{false};
  std::atomic<int> refFreq_{0};

  std::mutex callbacksMutex_;
  Callbacks callbacks_;

  mutable std::mutex countMutex_;
  mutable std::condition_variable countCv_;
  uint64_t drawn_ = 0;
  uint64_t adjustDrawn_ = 0;
  bool stopping_ = false;
};
