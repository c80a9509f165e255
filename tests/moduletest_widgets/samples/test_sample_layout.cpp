// The sample view: live frames recorded from the simulated chip, frames read
// back from a sample file, and a limit array shown as a frame.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "device/ChipGlobals.h"
#include "moduletest/samples/SampleStore.h"
#include "moduletest/widgets/samples/SampleLayout.h"
#include "tests/device/SimDevice.h"
#include "tests/platform/ScratchDir.h"
#include "tests/ui/QtTestUtil.h"
#include "tests/views_widgets/ViewTestUtil.h"
#include "views/DataFormatStore.h"
#include "views/RawStatistics.h"

namespace {

using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using viewtest::MakeFrame;
using viewtest::RecordingLog;

class SampleLayoutTest : public SimDeviceTest {
 protected:
  void TearDown() override {
    GetRequestQueue().SelectLink(nullptr);
    SimDeviceTest::TearDown();
  }

  std::unique_ptr<CSampleLayout> MakeView() {
    auto view = std::make_unique<CSampleLayout>(formats_, &log_, samples_, stack_, nodes_, lock_);
    view->resize(800, 600);
    view->show();
    return view;
  }

  bool WaitForFrames(CSampleLayout& view, uint64_t n) {
    return qttest::ProcessEventsUntil([&] {
      auto p = view.Picture();
      return p && p->framesTaken >= n;
    });
  }

  ScratchDir dir_;
  DataFormatStore formats_;
  RecordingLog log_;
  SampleStore samples_{dir_ / "test_sample"};
  RawFrameStack stack_;
  NodeArrays nodes_;
  std::mutex lock_;
};

TEST_F(SampleLayoutTest, EveryFrameOfTheStreamIsRecordedAndNoneAfterTheStop) {
  Connect();
  // Node i of frame f holds 1000 + i + f: frames differ, so order shows.
  auto frameNo = std::make_shared<std::atomic<int>>(0);
  Bridge().Chip().SetFrameSource(0x8B98, 2520, [frameNo](size_t offset, uint8_t* out, size_t n) {
    if (offset == 0) frameNo->fetch_add(1);
    for (size_t i = 0; i < n; ++i) {
      const size_t at = offset + i;
      const uint16_t v =
          static_cast<uint16_t>(1000 + at / 2 + static_cast<size_t>(frameNo->load()));
      out[i] = static_cast<uint8_t>(at % 2 == 0 ? v & 0xFF : v >> 8);
    }
  });
  auto view = MakeView();
  std::filesystem::path path;
  ASSERT_TRUE(samples_.BeginRecording(&path, nullptr));
  view->StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view->FramesReceived() >= 6; }));
  view->StopStream();
  WaitForQueuedRequests();
  const int32_t frames = view->FramesReceived();
  ASSERT_TRUE(samples_.StopRecording(nullptr));
  const std::string bytes = ReadBytes(path);
  ASSERT_EQ(bytes.size(), static_cast<size_t>(frames) * 2520);
  EXPECT_EQ(samples_.Names(), std::vector<std::filesystem::path>{path});
  for (int32_t f = 1; f < frames; ++f) {
    // Each recorded frame is a whole frame of the source, one after another.
    const auto node0 = [&](int32_t k) {
      const size_t at = static_cast<size_t>(k) * 2520;
      return static_cast<uint8_t>(bytes[at]) | static_cast<uint8_t>(bytes[at + 1]) << 8;
    };
    EXPECT_EQ(node0(f), node0(f - 1) + 1) << f;
  }

  // Streaming again without a recording leaves the file as it was.
  view->ResetFramesReceived();
  view->StartStream();
  ASSERT_TRUE(qttest::ProcessEventsUntil([&] { return view->FramesReceived() >= 2; }));
  view->StopStream();
  WaitForQueuedRequests();
  EXPECT_EQ(ReadBytes(path), bytes);
}

TEST_F(SampleLayoutTest, ShowsRecordedFramesBothWaysAndALimitArray) {
  const DataFormat raw = formats_.Format(DataKind::Raw);
  const size_t nodes = raw.NodeCount();
  std::vector<int32_t> a(nodes, 500), b(nodes, 700);
  a[3] = 999;
  const std::string file = [&] {
    std::string s;
    for (const auto& v : {a, b}) {
      const FramePayload f = MakeFrame(raw, v);
      s.append(f.bytes.begin(), f.bytes.end());
    }
    return s;
  }();
  WriteBytes(dir_ / "test_sample" / "sample_0.sd", file);
  samples_.SetNames({dir_ / "test_sample" / "sample_0.sd"});
  ASSERT_TRUE(samples_.OpenNext());
  nodes_.NodeMaxLimit.fill(900);
  auto view = MakeView();
  auto node3 = [&] {
    std::lock_guard lock(lock_);
    return std::make_pair(nodes_.NodeMax[3], nodes_.NodeFailFlags[3]);
  };

  EXPECT_FALSE(view->ReadSampleFrame(false));  // nothing before the first
  ASSERT_TRUE(view->ReadSampleFrame(true));
  ASSERT_TRUE(WaitForFrames(*view, 1));
  EXPECT_EQ(view->Picture()->values[3], 999);
  // Statistics of the frame shown alone, marked against the limits.
  EXPECT_EQ(node3(), std::make_pair(999, uint16_t{kFailMax}));
  ASSERT_TRUE(view->ReadSampleFrame(true));
  ASSERT_TRUE(WaitForFrames(*view, 2));
  EXPECT_EQ(view->Picture()->values[3], 700);
  EXPECT_EQ(node3(), std::make_pair(700, uint16_t{0}));
  EXPECT_FALSE(view->ReadSampleFrame(true));  // the end
  ASSERT_TRUE(view->ReadSampleFrame(false));
  ASSERT_TRUE(WaitForFrames(*view, 3));
  EXPECT_EQ(view->Picture()->values[3], 999);
  EXPECT_EQ(samples_.FrameCounter(), 1);

  std::vector<int32_t> limits(6);
  for (int i = 0; i < 6; ++i) limits[static_cast<size_t>(i)] = i == 2 ? -40 : 1200 + i;
  EXPECT_FALSE(view->ShowLimits(limits, 4, 2));
  ASSERT_TRUE(view->ShowLimits(limits, 3, 2));
  ASSERT_TRUE(WaitForFrames(*view, 4));
  EXPECT_EQ(view->Picture()->values, limits);
  // A limit array is no reading: nothing is marked.
  EXPECT_EQ(node3().second, 0);
  {
    std::lock_guard lock(lock_);
    for (size_t n = 0; n < 6; ++n) EXPECT_EQ(nodes_.NodeFailFlags[n], 0) << n;
  }
}

}  // namespace
