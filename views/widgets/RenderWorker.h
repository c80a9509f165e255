#pragma once
// The state a view's render thread works on: the mailbox it is fed through,
// the renderer, the view parameters the UI thread sets, and the picture it
// publishes. Shared between the widget and its render thread, so a thread
// that outlives its bounded join still finds everything it uses.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/sync/Event.h"
#include "views/widgets/FrameMailbox.h"
#include "views/widgets/GridRenderer.h"
#include "views/widgets/RenderedPicture.h"
#include "views/widgets/ViewParams.h"

class RenderWorker {
 public:
  explicit RenderWorker(std::unique_ptr<GridRenderer> renderer);

  FrameMailbox& Mailbox() { return mailbox_; }
  GridRenderer& Renderer() { return *renderer_; }

  ViewParams Params() const;
  void SetParams(const ViewParams& params);

  std::shared_ptr<const RenderedPicture> Picture() const;
  // Waits (bounded) until at least n pictures were published.
  bool WaitForRenderCount(uint64_t n, uint32_t limitMs) const;

  // Runs on the render thread after each publication; replaced or cleared
  // under a lock, so a cleared callback is never running afterwards.
  void SetPublished(std::function<void()> published);

  // The thread body: draws until the mailbox quits, then sets Finished().
  void Run();
  platform::Event& Finished() { return finished_; }

 private:
  void Draw(const FramePayload* frame);

  FrameMailbox mailbox_;
  const std::unique_ptr<GridRenderer> renderer_;
  platform::Event finished_{true, false};

  mutable std::mutex paramsMutex_;
  ViewParams params_;

  mutable std::mutex pictureMutex_;
  mutable std::condition_variable pictureCv_;
  std::shared_ptr<const RenderedPicture> picture_;
  uint64_t renders_ = 0;

  std::mutex publishedMutex_;
  std::function<void()> published_;
};
