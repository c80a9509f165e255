#include "views/widgets/RenderWorker.h"

#include <chrono>
#include <utility>

RenderWorker::RenderWorker(std::unique_ptr<GridRenderer> renderer)
    : renderer_(std::move(renderer)) {}

ViewParams RenderWorker::Params() const {
  std::lock_guard lock(paramsMutex_);
  return params_;
}

void RenderWorker::SetParams(const ViewParams& params) {
  std::lock_guard lock(paramsMutex_);
  params_ = params;
}

std::shared_ptr<const RenderedPicture> RenderWorker::Picture() const {
  std::lock_guard lock(pictureMutex_);
  return picture_;
}

bool RenderWorker::WaitForRenderCount(uint64_t n, uint32_t limitMs) const {
  std::unique_lock lock(pictureMutex_);
  return pictureCv_.wait_for(lock, std::chrono::milliseconds(limitMs),
                             [&] { return renders_ >= n; });
}

void RenderWorker::SetPublished(std::function<void()> published) {
  std::lock_guard lock(publishedMutex_);
  published_ = std::move(published);
}

void RenderWorker::Draw(const FramePayload* frame) {
  std::shared_ptr<const RenderedPicture> picture = renderer_->Render(Params(), frame);
  {
    std::lock_guard lock(pictureMutex_);
    picture_ = std::move(picture);
    ++renders_;
  }
  pictureCv_.notify_all();
  std::lock_guard lock(publishedMutex_);
  if (published_) published_();
}

void RenderWorker::Run() {
  for (;;) {
    const FrameMailbox::Wake wake = mailbox_.Wait();
    if (wake == FrameMailbox::Wake::Quit) break;
    if (wake == FrameMailbox::Wake::Frame) {
      std::optional<FramePayload> frame = mailbox_.TakeFrame();
      Draw(frame ? &*frame : nullptr);
      mailbox_.MarkDone();
    } else {
      Draw(nullptr);
    }
  }
  finished_.Set();
}
