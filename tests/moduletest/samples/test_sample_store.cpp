#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "moduletest/samples/SampleStore.h"
#include "tests/moduletest/samples/SampleFiles.h"
#include "tests/platform/Fifo.h"
#include "tests/platform/FileSizeLimit.h"
#include "tests/platform/ScratchDir.h"
#include "tests/views/RecordingLog.h"

namespace {

using platform::testing_support::FileSizeLimit;
using platform::testing_support::ReadBytes;
using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;
using samples_test::Frame16;
using samples_test::Frames16;

std::string Read(SampleStore& store, int32_t length) {
  std::string buffer(static_cast<size_t>(length), '\0');
  if (!store.ReadFrame(reinterpret_cast<uint8_t*>(buffer.data()), length)) return "<none>";
  return buffer;
}

std::string Back(SampleStore& store) {
  std::string buffer(static_cast<size_t>(store.FrameLength()), '\0');
  if (!store.StepBack(reinterpret_cast<uint8_t*>(buffer.data()))) return "<none>";
  return buffer;
}

TEST(SampleStore, NextNumberFollowsTheLargestNumberAfterTheFirstUnderscore) {
  struct Case {
    std::vector<std::string> files;
    int32_t next;
  };
  const Case cases[] = {
      {{}, 0},
      {{"sample_0.sd", "sample_7.sd", "notes.sd"}, 8},
      {{"a_b_12.sd"}, 1},  // read after the FIRST "_": no digits, 0
      {{"x_12tail.sd", "sample_3.sd"}, 13},
      {{"sample_9.txt", "sample_2.SD"}, 3},           // any letter case of ".sd"
      {{"sample_99999999999.sd", "sample_4.sd"}, 5},  // too large to follow
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    for (const std::string& f : c.files) WriteBytes(dir / "test_sample" / f, "");
    SampleStore store(dir / "test_sample");
    EXPECT_EQ(store.NextNumber(), c.next) << testing::PrintToString(c.files);
  }
  ScratchDir dir;
  SampleStore store(dir / "test" / "test_sample");
  EXPECT_TRUE(std::filesystem::is_directory(dir / "test" / "test_sample"));
}

TEST(SampleStore, RecordingRoundTripAndBrowsing) {
  ScratchDir dir;
  WriteBytes(dir / "s" / "sample_1.sd", "old");
  SampleStore store(dir / "s");
  // A file that appears after the scan is never replaced.
  WriteBytes(dir / "s" / "sample_2.sd", "taken");
  std::filesystem::path path;
  ASSERT_TRUE(store.BeginRecording(&path, nullptr));
  EXPECT_EQ(path, dir / "s" / "sample_3.sd");
  EXPECT_EQ(ReadBytes(dir / "s" / "sample_2.sd"), "taken");
  EXPECT_EQ(store.NextNumber(), 4);
  const std::string f0 = Frame16({1, 2}), f1 = Frame16({3, 4}), f2 = Frame16({5, 6});
  for (const std::string& f : {f0, f1, f2}) {
    EXPECT_TRUE(store.AppendFrame(reinterpret_cast<const uint8_t*>(f.data()), f.size()));
  }
  EXPECT_EQ(store.FrameCounter(), 3);
  ASSERT_TRUE(store.StopRecording(nullptr));
  EXPECT_EQ(ReadBytes(path), f0 + f1 + f2);
  // A frame arriving after the stop is dropped.
  EXPECT_FALSE(store.AppendFrame(reinterpret_cast<const uint8_t*>(f0.data()), f0.size()));
  EXPECT_EQ(store.Names(), std::vector<std::filesystem::path>{path});
  EXPECT_EQ(store.CurrentIndex(), -1);
  EXPECT_EQ(store.CurrentName(), path);

  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(store.CurrentIndex(), 0);
  EXPECT_TRUE(store.IsLast());
  // Browsing never appends.
  EXPECT_FALSE(store.AppendFrame(reinterpret_cast<const uint8_t*>(f0.data()), f0.size()));
  EXPECT_EQ(Back(store), "<none>");  // nothing read yet
  EXPECT_EQ(Read(store, 4), f0);
  EXPECT_EQ(Back(store), "<none>");  // position L: no frame before the one read
  EXPECT_EQ(store.Position(), 4);
  EXPECT_EQ(Read(store, 4), f1);
  EXPECT_EQ(Back(store), f0);  // position 2L
  EXPECT_EQ(Read(store, 4), f1);
  EXPECT_EQ(Read(store, 4), f2);
  EXPECT_EQ(store.FrameCounter(), 3);
  EXPECT_EQ(Read(store, 4), "<none>");
  EXPECT_EQ(Back(store), f1);
  EXPECT_EQ(store.FrameCounter(), 2);
  EXPECT_EQ(store.FileLength(), 12);
  store.CloseFile();
  EXPECT_EQ(Read(store, 4), "<none>");
}

bool Append(SampleStore& store, const std::string& frame) {
  return store.AppendFrame(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
}

TEST(SampleStore, WriteCutShortInAFrameKeepsTheWholeFramesBeforeIt) {
  ScratchDir dir;
  SampleStore store(dir / "s");
  views_test::RecordingLog log;
  store.SetLog(&log);
  std::filesystem::path path;
  ASSERT_TRUE(store.BeginRecording(&path, nullptr));
  const std::string f0 = Frame16({1, 2}), f1 = Frame16({3, 4}), f2 = Frame16({5, 6}),
                    f3 = Frame16({7, 8});
  ASSERT_TRUE(Append(store, f0));
  ASSERT_TRUE(Append(store, f1));
  bool limited = false, cutFrameTaken = true;
  {
    // Two bytes of the third frame fit.
    FileSizeLimit full(10);
    limited = full.IsSet();
    cutFrameTaken = Append(store, f2);
  }
  ASSERT_TRUE(limited);
  EXPECT_FALSE(cutFrameTaken);
  // Room again: a frame written after the cut one would shift every frame
  // read after it, so the recording stores no more.
  EXPECT_FALSE(Append(store, f3));
  EXPECT_TRUE(store.RecordingBroken());
  EXPECT_EQ(store.FrameCounter(), 2);
  ASSERT_EQ(log.Lines().size(), 1u) << log.All();
  EXPECT_EQ(log.Lines()[0].rfind("样本文件写入失败：" + path.string() + "：", 0), 0u)
      << log.Lines()[0];
  EXPECT_TRUE(store.StopRecording(nullptr));
  EXPECT_FALSE(store.RecordingBroken());
  EXPECT_EQ(ReadBytes(path), f0 + f1);

  // The frames read back are the whole frames written, with no warning.
  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(Read(store, 4), f0);
  EXPECT_EQ(Read(store, 4), f1);
  EXPECT_EQ(Read(store, 4), "<none>");
  EXPECT_EQ(log.Lines().size(), 1u) << log.All();
  // The next recording stores again.
  ASSERT_TRUE(store.BeginRecording(&path, nullptr));
  EXPECT_TRUE(Append(store, f3));
  EXPECT_TRUE(store.StopRecording(nullptr));
  EXPECT_EQ(ReadBytes(path), f3);
}

TEST(SampleStore, PartialOrForeignFrameSizeWarnsOnceAndTheCutFrameReadsNothing) {
  struct Case {
    std::string bytes;
    int32_t frameLength;
    int frames;
    bool warns;
  };
  const Case cases[] = {
      {Frames16({{1, 2}, {3, 4}}) + "\x05", 4, 2, true},  // cut during recording
      {Frames16({{1, 2, 3}, {4, 5, 6}}), 4, 3, false},    // 12 bytes: cut at 4 without a rest
      {Frames16({{1, 2, 3}}), 4, 1, true},                // a 6-byte frame read as 4
      {"", 4, 0, false},
  };
  for (const Case& c : cases) {
    ScratchDir dir;
    WriteBytes(dir / "s" / "sample_0.sd", c.bytes);
    SampleStore store(dir / "s");
    views_test::RecordingLog log;
    store.SetLog(&log);
    store.SetNames({dir / "s" / "sample_0.sd"});
    ASSERT_TRUE(store.OpenNext());
    int frames = 0;
    while (Read(store, c.frameLength) != "<none>") ++frames;
    EXPECT_EQ(Read(store, c.frameLength), "<none>");
    EXPECT_EQ(frames, c.frames) << c.bytes.size();
    ASSERT_EQ(log.Lines().size(), c.warns ? 1u : 0u) << log.All();
    if (c.warns) {
      const std::string line = log.Lines()[0];
      EXPECT_NE(line.find((dir / "s" / "sample_0.sd").string()), std::string::npos) << line;
      EXPECT_NE(line.find("含" + std::to_string(c.frames) + "个完整帧"), std::string::npos) << line;
    }
  }
}

// A FIFO imported as a sample file is refused with a line at once: the
// store's lock, which the recording on the device thread needs, is never
// held waiting for a writer.
TEST(SampleStore, AFifoIsRefusedWithoutWaiting) {
  ScratchDir dir;
  const std::filesystem::path fifo = dir / "s" / "sample_9.sd";
  platform::testing_support::MakeFifo(fifo);
  WriteBytes(dir / "s" / "sample_10.sd", Frame16({7}));
  SampleStore store(dir / "s");
  views_test::RecordingLog log;
  store.SetLog(&log);
  store.SetNames({fifo, dir / "s" / "sample_10.sd"});
  bool opened = true;
  ASSERT_TRUE(
      platform::testing_support::ReturnsWithoutAWriter(fifo, [&] { opened = store.OpenNext(); }));
  EXPECT_FALSE(opened);
  EXPECT_FALSE(store.HasOpenFile());
  ASSERT_EQ(log.Lines().size(), 1u);
  EXPECT_NE(log.Lines()[0].find(fifo.string()), std::string::npos) << log.All();
  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(Read(store, 2), Frame16({7}));
}

TEST(SampleStore, ListIndexAfterImportAndDeletes) {
  ScratchDir dir;
  std::vector<std::filesystem::path> files;
  for (int i = 0; i < 3; ++i) {
    files.push_back(dir / "s" / ("sample_" + std::to_string(i) + ".sd"));
    WriteBytes(files.back(), Frame16({i}));
  }
  SampleStore store(dir / "s");
  store.SetNames(files);
  EXPECT_EQ(store.CurrentIndex(), -1);
  ASSERT_TRUE(store.OpenNext());
  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(store.CurrentIndex(), 1);
  // An import always starts before the first entry, whatever was open.
  store.SetNames(files);
  EXPECT_EQ(store.CurrentIndex(), -1);
  EXPECT_FALSE(store.HasOpenFile());
  EXPECT_FALSE(store.OpenPrevious());

  ASSERT_TRUE(store.OpenAt(2));
  EXPECT_TRUE(store.DeleteCurrent(nullptr));  // the last entry: two back, the next shows 1
  EXPECT_FALSE(std::filesystem::exists(files[2]));
  EXPECT_EQ(store.CurrentIndex(), 0);
  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(store.CurrentName(), files[1]);
  ASSERT_TRUE(store.OpenAt(0));
  EXPECT_TRUE(store.DeleteCurrent(nullptr));  // the first: the next shows the following one
  EXPECT_EQ(store.CurrentIndex(), -1);
  ASSERT_TRUE(store.OpenNext());
  EXPECT_EQ(store.CurrentName(), files[1]);
  EXPECT_FALSE(store.DeleteCurrent(nullptr));  // the only entry: nothing left
  EXPECT_EQ(store.CurrentIndex(), -1);
  EXPECT_TRUE(store.Names().empty());
  EXPECT_TRUE(store.IsLast());
  EXPECT_FALSE(store.OpenNext());
  EXPECT_FALSE(store.DeleteCurrent(nullptr));
  EXPECT_EQ(store.CurrentIndex(), -1);
}

TEST(SampleStore, FramesAppendedFromAnotherThreadWhileTheCounterIsRead) {
  ScratchDir dir;
  SampleStore store(dir / "s");
  std::filesystem::path path;
  ASSERT_TRUE(store.BeginRecording(&path, nullptr));
  const std::string frame = Frame16({7, 8, 9});
  std::thread io([&] {
    for (int i = 0; i < 200; ++i) {
      store.AppendFrame(reinterpret_cast<const uint8_t*>(frame.data()), frame.size());
    }
  });
  int32_t last = 0;
  while (last < 200) {
    const int32_t now = store.FrameCounter();
    EXPECT_GE(now, last);
    last = now;
    std::this_thread::yield();
  }
  io.join();
  ASSERT_TRUE(store.StopRecording(nullptr));
  EXPECT_EQ(ReadBytes(path).size(), 200 * frame.size());
}

}  // namespace
