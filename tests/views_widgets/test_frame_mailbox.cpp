// The one-frame hand-off between frame deliveries and a render thread.
#include <gtest/gtest.h>

#include <chrono>
#include <future>

#include "views/widgets/FrameMailbox.h"

namespace {

using namespace std::chrono_literals;

FramePayload Frame(uint8_t marker) {
  FramePayload f;
  f.bytes = {marker};
  return f;
}

TEST(FrameMailbox, OneFrameWaitsAndABusyRendererDropsTheNext) {
  FrameMailbox box;
  ASSERT_TRUE(box.Offer(Frame(1), 0ms));
  ASSERT_EQ(FrameMailbox::Wake::Frame, box.Wait());
  auto taken = box.TakeFrame();
  ASSERT_TRUE(taken);
  EXPECT_EQ(1, taken->bytes[0]);
  // Still drawing frame 1: frame 2 finds no idle renderer and is dropped.
  EXPECT_FALSE(box.Offer(Frame(2), 0ms));
  box.MarkDone();
  // The next frame after the drawing ended goes through.
  ASSERT_TRUE(box.Offer(Frame(3), 0ms));
  ASSERT_EQ(FrameMailbox::Wake::Frame, box.Wait());
  EXPECT_EQ(3, box.TakeFrame()->bytes[0]);
}

TEST(FrameMailbox, AWaitingOfferGoesThroughWhenTheRendererBecomesIdle) {
  FrameMailbox box;
  ASSERT_TRUE(box.Offer(Frame(1), 0ms));
  ASSERT_EQ(FrameMailbox::Wake::Frame, box.Wait());
  box.TakeFrame();
  // A generous wait: the offer must not need it once the renderer is done.
  auto offer = std::async(std::launch::async, [&] { return box.Offer(Frame(2), 10s); });
  box.MarkDone();
  EXPECT_TRUE(offer.get());
  EXPECT_EQ(FrameMailbox::Wake::Frame, box.Wait());
}

TEST(FrameMailbox, RedrawWakesOnceAndAFrameTakesItsPlace) {
  FrameMailbox box;
  box.RequestRedraw();
  box.RequestRedraw();
  EXPECT_EQ(FrameMailbox::Wake::Redraw, box.Wait());
  // Two requests, one drawing: the request is consumed by the wake.
  ASSERT_TRUE(box.Offer(Frame(1), 0ms));
  box.RequestRedraw();
  ASSERT_EQ(FrameMailbox::Wake::Frame, box.Wait());
  box.TakeFrame();
  box.MarkDone();
  // The frame's drawing already used the latest view state.
  box.Quit();
  EXPECT_EQ(FrameMailbox::Wake::Quit, box.Wait());
}

TEST(FrameMailbox, QuitReleasesAWaitingOfferAndRefusesFramesUntilReopened) {
  FrameMailbox box;
  ASSERT_TRUE(box.Offer(Frame(1), 0ms));
  auto offer = std::async(std::launch::async, [&] { return box.Offer(Frame(2), 10s); });
  box.Quit();
  EXPECT_FALSE(offer.get());
  EXPECT_EQ(FrameMailbox::Wake::Quit, box.Wait());
  EXPECT_FALSE(box.Offer(Frame(3), 0ms));

  box.Reopen();
  // Nothing from before the quit is left waiting.
  ASSERT_TRUE(box.Offer(Frame(4), 0ms));
  ASSERT_EQ(FrameMailbox::Wake::Frame, box.Wait());
  EXPECT_EQ(4, box.TakeFrame()->bytes[0]);
}

}  // namespace
