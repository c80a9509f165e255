// The simulated chip's data plane, read as the host reads it and decoded with
// the program's own decoder: what comes out must be what the simulator meant.

#include "sim/DataPlane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "sim/PanelSignal.h"
#include "sim/SimChip.h"
#include "views/DataFormatLoader.h"
#include "views/ValueDecode.h"

namespace {

using sim::ChipFamily;
using sim::Contact;
using sim::DataPlane;
using sim::DataPlaneConfig;
using sim::FrameFormat;
using sim::SimChip;
using sim::SimChipConfig;
using sim::TouchState;

constexpr uint8_t kCmdRegister = 15;
constexpr uint8_t kCmdFrameRead = 13;
constexpr uint8_t kCmdStreamStart = 6;

DataFormat AsDataFormat(const FrameFormat& f) {
  DataFormat d;
  d.address = f.address;
  d.rows = f.rows;
  d.cols = f.cols;
  d.unit = f.valueBytes == 4 ? 2 : f.valueBytes == 2 ? 1 : 0;
  d.isSigned = f.isSigned;
  d.littleEndian = f.littleEndian;
  return d;
}

std::vector<int32_t> Decode(const std::vector<uint8_t>& bytes, const FrameFormat& f) {
  std::vector<int32_t> out(f.Nodes());
  out.resize(
      DecodeFrame(bytes.data(), bytes.size(), AsDataFormat(f), f.Nodes(), out.data(), out.size()));
  return out;
}

class DataPlaneChip {
 public:
  explicit DataPlaneChip(ChipFamily family, DataPlaneConfig config)
      : chip_(SimChipConfig::For(family)), plane_(sim::AddDataPlane(chip_, config)) {}
  explicit DataPlaneChip(ChipFamily family = ChipFamily::RU9)
      : DataPlaneChip(family, DataPlaneConfig::For(family)) {}

  SimChip& Chip() { return chip_; }
  DataPlane& Plane() { return plane_; }
  uint16_t Flag() const { return plane_.Config().syncFlagAddress; }

  void Write(uint16_t address, uint8_t value, uint8_t cmd = kCmdRegister) {
    chip_.Write(address, &value, 1, cmd);
  }
  void StartFrames() { Write(sim::kCommandRegister, 1, kCmdStreamStart); }
  // Polls until the flag rises (it does on the second poll after a clear).
  uint8_t WaitFlag() {
    for (int i = 0; i < 10; ++i) {
      const uint8_t flag = chip_.Read(Flag(), 1, kCmdRegister)[0];
      if (flag != 0) return flag;
    }
    ADD_FAILURE() << "flag never rose";
    return 0;
  }
  void ClearFlag() { Write(Flag(), 0, 10); }
  std::vector<uint8_t> Read(uint16_t address, size_t length) {
    return chip_.Read(address, length, kCmdFrameRead);
  }

 private:
  SimChip chip_;
  DataPlane& plane_;
};

TEST(SimDataPlane, FramesDecodeToTheIntendedValuesInEveryEncoding) {
  for (unsigned width : {1u, 2u, 4u}) {
    for (bool isSigned : {false, true}) {
      for (bool little : {true, false}) {
        DataPlaneConfig config = DataPlaneConfig::For(ChipFamily::RU9);
        for (FrameFormat* f : {&config.raw, &config.diff, &config.observe}) {
          f->valueBytes = width;
          f->isSigned = isSigned;
          f->littleEndian = little;
        }
        // 32-bit frames of 30 x 42 need 5040 bytes: room between the regions.
        config.raw.address = 0x2000;
        config.diff.address = 0x4000;
        config.observe.address = 0x6000;
        DataPlaneChip c(ChipFamily::RU9, config);
        c.StartFrames();
        for (int frame = 0; frame < 2; ++frame) {
          c.WaitFlag();
          const uint64_t n = c.Chip().FrameCounter();
          const std::string where = "width " + std::to_string(width) + " signed " +
                                    std::to_string(isSigned) + " little " + std::to_string(little) +
                                    " frame " + std::to_string(n);
          EXPECT_EQ(Decode(c.Read(config.raw.address, config.raw.Bytes()), config.raw),
                    c.Plane().RawFrame(n))
              << where;
          EXPECT_EQ(Decode(c.Read(config.diff.address, config.diff.Bytes()), config.diff),
                    c.Plane().DiffFrame(n))
              << where;
          EXPECT_EQ(Decode(c.Read(config.observe.address, config.observe.Bytes()), config.observe),
                    c.Plane().ObserveFrame(n))
              << where;
          c.ClearFlag();
        }
      }
    }
  }
}

TEST(SimDataPlane, ValuesArePlausible) {
  DataPlaneChip c;
  c.Plane().ScriptTouches({{Contact{2, 540, 960, 60}}, 0});
  const std::vector<int32_t> raw = c.Plane().RawFrame(5);
  const std::vector<int32_t> diff = c.Plane().DiffFrame(5);
  // The touch sits at column 21, row 15 of the 30 x 42 grid.
  const size_t centre = NodeIndex(30, 15, 21);
  const size_t far = NodeIndex(30, 2, 3);
  EXPECT_NEAR(raw[far], 2000 + 10 * 2 - 5 * 3, 3) << "baseline with noise";
  EXPECT_LT(raw[centre], 2000 + 10 * 15 - 5 * 21 - 100) << "a touch lowers the raw value";
  EXPECT_GE(diff[centre], 60);
  EXPECT_LE(diff[centre], 203);
  EXPECT_LE(diff[far], 3);
  EXPECT_GE(*std::min_element(diff.begin(), diff.end()), 0);
  EXPECT_NE(c.Plane().RawFrame(5), c.Plane().RawFrame(6)) << "noise from frame to frame";
  EXPECT_EQ(c.Plane().RawFrame(5), raw) << "a frame is reproducible";
  EXPECT_EQ(raw.size(), 1260u);

  // The DE7 difference frame is signed: a ring below zero around the touch,
  // whose 16-bit encoding has low bytes >= 0x80.
  DataPlaneChip de7(ChipFamily::DE7);
  de7.Plane().ScriptTouches({{Contact{2, 600, 960, 60}}, 0});
  const std::vector<int32_t> signedDiff = de7.Plane().DiffFrame(1);
  EXPECT_EQ(signedDiff.size(), 72u * 44u);
  EXPECT_LE(*std::min_element(signedDiff.begin(), signedDiff.end()), -27);
}

TEST(SimDataPlane, CoordinateReportLayout) {
  struct Case {
    const char* name;
    TouchState touches;
    std::vector<std::pair<size_t, uint8_t>> bytes;  // offset, value
  };
  const Contact a{3, 0x0123, 0x0456, 0x0028};
  const Contact b{0x85, 1000, 2000, 60};  // only bits 0-6 of the id are sent
  std::vector<Contact> eleven;
  for (uint8_t i = 0; i < 11; ++i) eleven.push_back(Contact{i, 10, 20, 30});
  const Case cases[] = {
      {"no touch", {{}, 0}, {{0, 0x80}, {1, 0}, {81, 0}}},
      {"two and key 2",
       {{a, b}, 0x04},
       {{0, 0x92},
        {1, 3},
        {2, 0x23},
        {3, 0x01},
        {4, 0x56},
        {5, 0x04},
        {6, 0x28},
        {7, 0},
        {8, 0},
        {9, 0x05},
        {10, 0xE8},
        {11, 0x03},
        {12, 0xD0},
        {13, 0x07},
        {14, 60},
        {17, 0x04}}},
      {"key only", {{}, 0x09}, {{0, 0x90}, {1, 0x09}}},
      {"eleven: the nibble says 11, ten records, the key last",
       {eleven, 0x01},
       {{0, 0x9B}, {73, 9}, {81, 0x01}}},
  };
  for (const Case& k : cases) {
    DataPlaneChip c;
    c.Plane().ScriptTouches(k.touches);
    const uint8_t flag = c.WaitFlag();
    const std::vector<uint8_t> report = c.Read(c.Flag(), sim::kCoordinateReportBytes);
    ASSERT_EQ(report.size(), 82u);
    EXPECT_EQ(report[0], flag) << k.name << ": the report starts with the flag";
    for (const auto& [offset, value] : k.bytes) {
      EXPECT_EQ(report[offset], value) << k.name << " byte " << offset;
    }
  }
}

TEST(SimDataPlane, ReportsFollowMovingContactsWithStableIds) {
  DataPlaneChip c;  // not streaming frames: the chip reports touches
  std::vector<std::vector<Contact>> seen;
  for (int i = 0; i < 5; ++i) {
    const uint8_t flag = c.WaitFlag();
    const std::vector<uint8_t> report = c.Read(c.Flag(), 82);
    const size_t count = flag & 0x0F;
    std::vector<Contact> contacts;
    for (size_t p = 0; p < count; ++p) {
      const uint8_t* r = &report[1 + 8 * p];
      contacts.push_back(Contact{r[0], static_cast<uint16_t>(r[1] | r[2] << 8),
                                 static_cast<uint16_t>(r[3] | r[4] << 8),
                                 static_cast<uint16_t>(r[5] | r[6] << 8)});
    }
    EXPECT_EQ(contacts, c.Plane().Touches(c.Chip().FrameCounter()).contacts);
    seen.push_back(contacts);
    c.ClearFlag();
  }
  ASSERT_EQ(seen.front().size(), 3u);
  for (size_t i = 1; i < seen.size(); ++i) {
    ASSERT_EQ(seen[i].size(), seen[0].size());
    for (size_t p = 0; p < seen[i].size(); ++p) {
      EXPECT_EQ(seen[i][p].id, seen[0][p].id);
      EXPECT_TRUE(seen[i][p].x != seen[i - 1][p].x || seen[i][p].y != seen[i - 1][p].y)
          << "contact " << int{seen[i][p].id} << " moves";
    }
  }

  // Over a longer run: positions stay on the panel, one contact lifts off and
  // comes back, and each key gets pressed.
  const DataPlaneConfig& config = c.Plane().Config();
  std::set<size_t> counts;
  uint8_t keys = 0;
  for (uint64_t frame = 0; frame < 1600; ++frame) {
    const TouchState t = sim::AutomaticTouches(config, frame);
    counts.insert(t.contacts.size());
    keys |= t.keys;
    for (const Contact& k : t.contacts) {
      EXPECT_LE(k.x, config.resolutionX);
      EXPECT_LE(k.y, config.resolutionY);
      EXPECT_GE(k.size, 20);
      EXPECT_LE(k.size, 60);
    }
  }
  EXPECT_EQ(counts, (std::set<size_t>{2, 3}));
  EXPECT_EQ(keys, 0x0F);
}

TEST(SimDataPlane, FlagCarriesStatusInBothModesAndNeverRisesWhenTold) {
  DataPlaneChip c;
  c.Plane().ScriptTouches({{Contact{1, 5, 5, 30}}, 0});
  EXPECT_EQ(c.WaitFlag(), 0x81) << "touch reports without streaming";
  c.ClearFlag();
  c.StartFrames();
  EXPECT_EQ(c.WaitFlag(), 0x81) << "frames announced with the same status";
  c.ClearFlag();
  c.Chip().SetFlagNeverReady(true);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(c.Chip().Read(c.Flag(), 1, kCmdRegister)[0], 0);
}

TEST(SimDataPlane, StylusAreaHoldsBothProfiles) {
  for (ChipFamily family : {ChipFamily::RU9, ChipFamily::DE7}) {
    DataPlaneChip c(family);
    const DataPlaneConfig& config = c.Plane().Config();
    c.WaitFlag();
    const uint64_t n = c.Chip().FrameCounter();
    const std::vector<uint8_t> bytes = c.Read(config.stylusAddress, config.stylusLength);
    ASSERT_EQ(bytes, c.Plane().StylusReport(n));
    const std::vector<int32_t> expected = sim::PanelSignal(config).StylusProfiles(n);
    const size_t cols = static_cast<size_t>(config.raw.cols);
    const size_t rows = static_cast<size_t>(config.raw.rows);
    ASSERT_EQ(expected.size(), cols + rows);
    std::vector<int32_t> decoded;
    for (size_t i = 0; i < cols; ++i) decoded.push_back(DecodeValue(&bytes[2 * i], 2, false, true));
    for (size_t j = 0; j < rows; ++j) {
      decoded.push_back(DecodeValue(&bytes[config.stylusSecondRowOffset + 2 * j], 2, false, true));
    }
    EXPECT_EQ(decoded, expected);
    EXPECT_GE(*std::max_element(decoded.begin(), decoded.begin() + cols), 600) << "the pen peak";
    EXPECT_LE(config.stylusSecondRowOffset + 2 * rows, config.stylusLength);
  }
  EXPECT_EQ(DataPlaneConfig::For(ChipFamily::RU9).stylusSecondRowOffset, 84u);
  EXPECT_EQ(DataPlaneConfig::For(ChipFamily::DE7).stylusSecondRowOffset, 92u);
}

TEST(SimDataPlane, ChannelAndResolutionRegisters) {
  DataPlaneChip ru9(ChipFamily::RU9);
  EXPECT_EQ(ru9.Read(0x8062, 4), (std::vector<uint8_t>{0x15, 0x15, 0xFF, 0x00}));
  EXPECT_EQ(ru9.Read(0x8048, 4), (std::vector<uint8_t>{0x38, 0x04, 0x80, 0x07}));
  DataPlaneChip de7(ChipFamily::DE7);
  EXPECT_EQ(de7.Flag(), 0x824E);
  EXPECT_EQ(de7.Read(0x81CC, 4), (std::vector<uint8_t>{36, 22, 36, 22}));
  de7.Chip().Reset();
  EXPECT_EQ(de7.Read(0x81CC, 4), (std::vector<uint8_t>{36, 22, 36, 22})) << "power-on values";
}

// The chip INI files staged for the simulated chips describe what the
// simulator does.
TEST(SimDataPlane, StagedChipInisMatchTheSimulatedChips) {
  const std::filesystem::path chipIni =
      std::filesystem::path(KESTRANA_TEST_DATA_DIR) / "../../resources/runtime/System/ChipIni";
  struct Case {
    const char* file;
    ChipFamily family;
  };
  for (const Case& c :
       {Case{"RO9110V.ini", ChipFamily::RU9}, Case{"RO7387Z.ini", ChipFamily::DE7}}) {
    const DataFormatSet set = ReadDataFormats(chipIni / c.file, nullptr);
    const DataPlaneConfig sim = DataPlaneConfig::For(c.family);
    EXPECT_EQ(set.Of(DataKind::Raw), AsDataFormat(sim.raw)) << c.file;
    EXPECT_EQ(set.Of(DataKind::Diff), AsDataFormat(sim.diff)) << c.file;
    EXPECT_EQ(set.Of(DataKind::Observe), AsDataFormat(sim.observe)) << c.file;
    EXPECT_EQ(set.syncFlagAddr, sim.syncFlagAddress) << c.file;
    EXPECT_EQ(set.Of(DataKind::Stylus).address, sim.stylusAddress) << c.file;
    EXPECT_EQ(static_cast<size_t>(set.stylusLength), sim.stylusLength) << c.file;
    // The demo reads stylus values of (unit x 2) bytes.
    EXPECT_EQ(set.Of(DataKind::Stylus).unit * 2u, sim.stylusValueBytes) << c.file;
    EXPECT_EQ(set.Of(DataKind::Stylus).littleEndian, sim.stylusLittleEndian) << c.file;
  }
}

}  // namespace
