#include "views/DataFormatStore.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>
#include <thread>

namespace {

std::array<DataFormat, kDataKindCount> Defaults() { return DefaultDataFormats().formats; }

TEST(DataFormatStore, ApplyTakesAllFourOrNone) {
  DataFormatStore store;
  auto formats = Defaults();
  formats[0].rows = 20;
  formats[0].address = 0x9000;
  formats[1].unit = 1;
  std::string error;
  ASSERT_TRUE(store.Apply(formats, &error)) << error;
  EXPECT_EQ(store.Snapshot().set.formats, formats);

  struct Case {
    DataKind kind;
    int32_t rows;
    int32_t cols;
    uint8_t unit;
    const char* why;
  };
  const Case refused[] = {
      {DataKind::Diff, 0, 42, 0, "至少为 1"},     {DataKind::Observe, 30, -1, 1, "至少为 1"},
      {DataKind::Stylus, 30, 42, 3, "8、16 或 32"}, {DataKind::Raw, 72, 44, 2, "超过 7040"},
      {DataKind::Diff, 161, 44, 0, "超过 7040"}, {DataKind::Raw, 81, 44, 0, "超过 3520"},
  };
  for (const Case& c : refused) {
    auto bad = formats;
    bad[0].rows = 25;  // a valid change beside the bad one must not get through either
    DataFormat& f = bad[static_cast<size_t>(c.kind)];
    f.rows = c.rows;
    f.cols = c.cols;
    f.unit = c.unit;
    const uint64_t version = store.Snapshot().version;
    std::string why;
    EXPECT_FALSE(store.Apply(bad, &why)) << c.why;
    EXPECT_THAT(why, ::testing::HasSubstr(c.why));
    EXPECT_EQ(store.Snapshot().set.formats, formats) << c.why;
    EXPECT_EQ(store.Snapshot().version, version) << "a refusal changes nothing";
  }
}

TEST(DataFormatStore, PanelGeometryReplacesRawDiffAndStylusRowsWithinBounds) {
  DataFormatStore store;
  PanelGeometry g;
  g.rawRows = g.diffRows = 72;
  g.rawColumns = g.diffColumns = 44;
  g.stylusRows = 44;
  ASSERT_TRUE(store.AdoptPanelGeometry(g));
  DataFormatSet set = store.Snapshot().set;
  EXPECT_EQ(set.Of(DataKind::Raw).rows, 72);
  EXPECT_EQ(set.Of(DataKind::Raw).cols, 44);
  EXPECT_EQ(set.Of(DataKind::Diff).rows, 72);
  EXPECT_EQ(set.Of(DataKind::Diff).cols, 44);
  EXPECT_EQ(set.Of(DataKind::Stylus).rows, 44);
  EXPECT_EQ(set.Of(DataKind::Stylus).cols, 42) << "stylus columns stay";
  EXPECT_EQ(set.Of(DataKind::Observe), DefaultFormat(DataKind::Observe));

  // Counts not read (0) leave the values alone.
  ASSERT_TRUE(store.AdoptPanelGeometry(PanelGeometry{}));
  EXPECT_EQ(store.Snapshot().set, set);

  // A 32-bit raw format cannot take the DE7 grid: raw keeps its old grid,
  // the difference frame still adopts.
  auto formats = Defaults();
  formats[0].unit = 2;
  ASSERT_TRUE(store.Apply(formats));
  std::string error;
  EXPECT_FALSE(store.AdoptPanelGeometry(g, &error));
  EXPECT_THAT(error, ::testing::HasSubstr("RawData："));
  set = store.Snapshot().set;
  EXPECT_EQ(set.Of(DataKind::Raw).rows, 30);
  EXPECT_EQ(set.Of(DataKind::Raw).cols, 42);
  EXPECT_EQ(set.Of(DataKind::Diff).rows, 72);
}

TEST(DataFormatStore, ReplaceRefusesUnboundedKindsOnly) {
  DataFormatStore store;
  DataFormatSet set = DefaultDataFormats();
  set.syncFlagAddr = 0x824E;
  set.Of(DataKind::Diff).address = 0xA600;
  set.Of(DataKind::Raw).rows = 0;
  set.stylusLength = 5000;
  std::string error;
  EXPECT_FALSE(store.Replace(set, &error));
  const DataFormatSet stored = store.Snapshot().set;
  EXPECT_EQ(stored.Of(DataKind::Raw), DefaultFormat(DataKind::Raw));
  EXPECT_EQ(stored.Of(DataKind::Diff).address, 0xA600);
  EXPECT_EQ(stored.syncFlagAddr, 0x824E);
  EXPECT_EQ(stored.stylusLength, 144);
  EXPECT_THAT(error, ::testing::HasSubstr("RawData："));
  EXPECT_THAT(error, ::testing::HasSubstr("Stylus"));
}

TEST(DataFormatStore, SnapshotsAreWholeWhileAWriterApplies) {
  DataFormatStore store;
  auto a = Defaults();
  auto b = Defaults();
  for (DataFormat& f : b) {
    f.rows = 20;
    f.cols = 20;
    f.address = 0x9000;
  }
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (int i = 0; i < 2000; ++i) store.Apply(i % 2 ? a : b);
    done = true;
  });
  bool mixed = false;
  while (!done) {
    const auto formats = store.Snapshot().set.formats;
    mixed = mixed || (formats != a && formats != b);
  }
  writer.join();
  EXPECT_FALSE(mixed);
}

TEST(PlanFrameRequest, NeverMoreThanOneSlotNorMoreRawValuesThanTheArrays) {
  struct Case {
    DataKind kind;
    int32_t rows;
    int32_t cols;
    uint8_t unit;
    size_t nodes;
    size_t bytes;
  };
  const Case cases[] = {
      {DataKind::Raw, 30, 42, 1, 1260, 2520},   {DataKind::Raw, 72, 44, 1, 3168, 6336},
      {DataKind::Raw, 72, 44, 2, 1760, 7040},  // cut to one slot
      {DataKind::Raw, 100, 100, 0, 3520, 3520}, {DataKind::Diff, 100, 100, 0, 7040, 7040},
      {DataKind::Observe, 0, 42, 1, 0, 0},      {DataKind::Stylus, 30, 42, 5, 0, 0},
  };
  for (const Case& c : cases) {
    DataFormat f = DefaultFormat(c.kind);
    f.rows = c.rows;
    f.cols = c.cols;
    f.unit = c.unit;
    const FrameRequestSize r = PlanFrameRequest(c.kind, f);
    EXPECT_EQ(r.nodes, c.nodes) << DataKindName(c.kind) << " " << c.rows << "x" << c.cols;
    EXPECT_EQ(r.bytes, c.bytes) << DataKindName(c.kind) << " " << c.rows << "x" << c.cols;
  }
}

}  // namespace
