// CMcuIsp against a recording backend: the option block byte for byte, the
// enumeration order, the rotation of attempts, and the image loaders.

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "device/UserMessageError.h"
#include "programming/bridgefw/IntelHex.h"
#include "programming/bridgefw/McuImageFile.h"
#include "programming/bridgefw/McuIsp.h"
#include "sim/ch55x/IntelHexWriter.h"
#include "tests/platform/ScratchDir.h"
#include "tests/programming/FakeMcuIspBackend.h"

namespace {

using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;

std::string Str(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 7);
  return bytes;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const UserMessageError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(McuIsp, OptionBlockAfterConstruction) {
  FakeMcuIspBackend backend;
  CMcuIsp isp(backend);
  std::array<uint8_t, 942> expected{};
  expected[4] = 0x51;
  expected[14] = 1;
  expected[18] = 1;
  expected[22] = 1;
  expected[48] = 1;
  expected[844] = 1;
  expected[848] = 1;
  EXPECT_EQ(isp.OptionBlock().raw, expected);
  EXPECT_EQ(isp.RotationIndex(), 0);
  EXPECT_TRUE(isp.Image().empty());
}

TEST(McuIsp, EnumerationTable) {
  const struct {
    std::optional<uint8_t> present;
    bool found;
    int calls;  // option calls = enumeration calls
    uint8_t mode5, mark901;
    uint32_t flag26, address60;
  } cases[] = {
      {std::nullopt, false, 5, 3, 0xFF, 1, 0xE000},
      {0x51, true, 1, 0, 0, 0, 0},
      {0x52, true, 2, 0, 0, 0, 0},
      {0x54, true, 3, 0, 0, 0, 0},
      {0x78, true, 4, 3, 0xFF, 1, 0xE000},
      {0x79, true, 5, 3, 0xFF, 1, 0xE000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.present ? int{*c.present} : -1);
    FakeMcuIspBackend backend;
    backend.presentType = c.present;
    CMcuIsp isp(backend);
    EXPECT_EQ(isp.EnumDevices(), c.found);
    ASSERT_EQ(static_cast<int>(backend.options.size()), c.calls);
    EXPECT_EQ(backend.enumCalls, c.calls);
    for (int i = 0; i < c.calls; ++i) {
      EXPECT_EQ(backend.options[static_cast<size_t>(i)].DeviceType(),
                CMcuIsp::kDeviceTypes[static_cast<size_t>(i)]);
    }
    const IspOptionBlock& last = backend.options.back();
    EXPECT_EQ(last.raw[5], c.mode5);
    EXPECT_EQ(last.U32(26), c.flag26);
    EXPECT_EQ(last.U32(60), c.address60);
    EXPECT_EQ(last.raw[901], c.mark901);
    EXPECT_EQ(last.U32(906), 1u);
    EXPECT_EQ(last.U32(14), 1u);  // the rotation is not reset
    EXPECT_EQ(last.U32(6), 0u);
    EXPECT_EQ(isp.DeviceCount() > 0, c.found);
  }
}

TEST(McuIsp, RefusedOptionsEndEnumeration) {
  FakeMcuIspBackend backend;
  backend.presentType = 0x52;
  backend.acceptOptions = false;
  CMcuIsp isp(backend);
  EXPECT_FALSE(isp.EnumDevices());
  EXPECT_EQ(backend.options.size(), 1u);
  EXPECT_EQ(backend.enumCalls, 0);
}

TEST(McuIsp, ProgramRotationTable) {
  using Pair = std::pair<uint32_t, uint32_t>;
  const struct {
    int failures;
    bool ok;
    std::vector<Pair> rotations;  // (offset 14, offset 6) of each option call after a failure
    int rotationAfter;
  } cases[] = {
      {0, true, {}, 0},
      {1, true, {{1, 1}}, 1},
      {3, true, {{1, 1}, {0, 0}, {0, 1}}, 3},
      {4, false, {{1, 1}, {0, 0}, {0, 1}, {1, 0}}, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.failures);
    FakeMcuIspBackend backend;
    backend.presentType = 0x52;
    CMcuIsp isp(backend);
    ASSERT_TRUE(isp.EnumDevices());
    const size_t enumOptions = backend.options.size();
    isp.SetImage(Pattern(300, 1));
    backend.failWrites = c.failures;

    EXPECT_EQ(isp.Program(), c.ok);
    EXPECT_EQ(backend.writes.size(), static_cast<size_t>(std::min(c.failures + 1, 4)));
    for (uint32_t id : backend.writeIds) EXPECT_EQ(id, 0x1234u);
    std::vector<Pair> seen;
    for (size_t i = enumOptions; i < backend.options.size(); ++i) {
      seen.emplace_back(backend.options[i].U32(14), backend.options[i].U32(6));
      EXPECT_EQ(backend.options[i].DeviceType(), 0x52);
    }
    EXPECT_EQ(seen, c.rotations);
    EXPECT_EQ(backend.ends, c.ok ? 1 : 0);
    EXPECT_EQ(isp.RotationIndex(), c.rotationAfter);
  }
}

TEST(McuIsp, RotationCarriesIntoTheNextRun) {
  FakeMcuIspBackend backend;
  backend.presentType = 0x51;
  CMcuIsp isp(backend);
  ASSERT_TRUE(isp.EnumDevices());
  isp.SetImage(Pattern(64, 3));
  backend.failWrites = 2;
  ASSERT_TRUE(isp.Program());
  ASSERT_TRUE(isp.EnumDevices());
  EXPECT_EQ(backend.options.back().U32(14), 0u);  // entry 2 stays in force
  EXPECT_EQ(backend.options.back().U32(6), 0u);
  backend.failWrites = 1;
  ASSERT_TRUE(isp.Program());
  EXPECT_EQ(backend.options.back().U32(14), 0u);  // entry 3
  EXPECT_EQ(backend.options.back().U32(6), 1u);
}

TEST(McuIsp, NothingLoadedProgramsNothing) {
  FakeMcuIspBackend backend;
  backend.presentType = 0x52;
  CMcuIsp isp(backend);
  EXPECT_FALSE(isp.Program());
  EXPECT_EQ(backend.Calls(), 0);

  ScratchDir dir;
  ASSERT_TRUE(isp.EnumDevices());
  const int afterEnum = backend.Calls();
  // A load that throws leaves nothing to program, not the previous image.
  isp.SetImage(Pattern(200, 5));
  EXPECT_NE(ErrorOf([&] { isp.LoadHexFile(dir / "missing.hex"); }), "(no error)");
  EXPECT_FALSE(isp.Program());
  EXPECT_EQ(backend.Calls(), afterEnum);
  EXPECT_FALSE(isp.Source().loaded);
}

TEST(McuIsp, LoadAndProgramNeedsAnEnumeratedDevice) {
  ScratchDir dir;
  WriteBytes(dir / "fw.hex", sim::ImageToIntelHex(Pattern(100, 9)));
  FakeMcuIspBackend backend;
  backend.presentType = 0x54;
  CMcuIsp isp(backend);
  EXPECT_FALSE(isp.LoadAndProgram(dir / "fw.hex"));
  EXPECT_EQ(backend.Calls(), 0);

  ASSERT_TRUE(isp.EnumDevices());
  EXPECT_TRUE(isp.LoadAndProgram(dir / "fw.hex"));
  ASSERT_EQ(backend.writes.size(), 1u);
  EXPECT_EQ(backend.writes[0], Pattern(100, 9));
  EXPECT_FALSE(isp.Source().loaded);  // the source is recorded by LoadHexFile only
}

// A caller that holds its own file (the module test's bridge step checks
// Source() before it programs) must not take another caller's image for it.
TEST(McuIsp, LoadAndProgramDropsTheRecordedSource) {
  ScratchDir dir;
  WriteBytes(dir / "held_v0101.hex", sim::ImageToIntelHex(Pattern(80, 1)));
  WriteBytes(dir / "other_v0202.hex", sim::ImageToIntelHex(Pattern(90, 2)));
  struct Case {
    const char* name;
    const char* programmed;
    bool programs;
  };
  for (const Case& c : {Case{"another image", "other_v0202.hex", true},
                        Case{"a load that fails", "missing.hex", false}}) {
    SCOPED_TRACE(c.name);
    FakeMcuIspBackend backend;
    backend.presentType = 0x52;
    CMcuIsp isp(backend);
    ASSERT_TRUE(isp.EnumDevices());
    ASSERT_TRUE(isp.LoadHexFile(dir / "held_v0101.hex"));
    ASSERT_TRUE(isp.Source().loaded);
    if (c.programs) {
      EXPECT_TRUE(isp.LoadAndProgram(dir / c.programmed));
      EXPECT_EQ(std::vector<uint8_t>(isp.Image().begin(), isp.Image().end()), Pattern(90, 2));
    } else {
      EXPECT_NE(ErrorOf([&] { isp.LoadAndProgram(dir / c.programmed); }), "(no error)");
    }
    EXPECT_FALSE(isp.Source().loaded);
    EXPECT_TRUE(isp.Source().path.empty());
    EXPECT_TRUE(isp.Source().versionText.empty());
  }
}

TEST(McuIsp, LoadHexFile) {
  ScratchDir dir;
  const auto path = dir / "bridge.dir" / "V64er_v0207.HEX";
  WriteBytes(path, sim::ImageToIntelHex(Pattern(0x1005, 2)));
  FakeMcuIspBackend backend;
  CMcuIsp isp(backend);
  ASSERT_TRUE(isp.LoadHexFile(path));
  EXPECT_EQ(Str({isp.Image().begin(), isp.Image().end()}), Str(Pattern(0x1005, 2)));
  EXPECT_TRUE(isp.Source().loaded);
  EXPECT_EQ(isp.Source().path, path);
  EXPECT_EQ(isp.Source().extension, "hex");
  EXPECT_EQ(isp.Source().versionText, "0207");
  EXPECT_EQ(isp.Source().writeTime, std::filesystem::last_write_time(path));
}

TEST(McuIsp, LoadBinaryWithItsPair) {
  ScratchDir dir;
  const std::vector<uint8_t> header = Pattern(kMcuHeaderSize, 0x40);
  const std::vector<uint8_t> body = Pattern(1000, 0x11);
  WriteBytes(dir / "x_v0102.bin", Str(body));
  WriteBytes(dir / "x_v0102.ect", Str(header));
  FakeMcuIspBackend backend;
  CMcuIsp isp(backend);
  // A HEX image first: none of its bytes may survive into the binary's image.
  WriteBytes(dir / "old.hex", sim::ImageToIntelHex(Pattern(4000, 0x99)));
  ASSERT_TRUE(isp.LoadHexFile(dir / "old.hex"));

  ASSERT_TRUE(isp.LoadHexFile(dir / "x_v0102.bin"));
  EXPECT_EQ(isp.Source().versionText, "0102");
  EXPECT_EQ(isp.Source().extension, "bin");
  ASSERT_EQ(isp.Image().size(), body.size() + kMcuHeaderSize);
  EXPECT_EQ(Str({isp.Image().begin(), isp.Image().begin() + kMcuHeaderSize}), Str(header));
  EXPECT_EQ(Str({isp.Image().begin() + kMcuHeaderSize, isp.Image().end()}), Str(body));
}

TEST(McuIsp, VersionTextAndExtensionFromTheFileName) {
  const struct {
    const char* path;
    const char* version;
    const char* extension;
  } cases[] = {
      {"a/fw_v0102.bin", "0102", "bin"},  {"a/fw_v01.bin", "01.b", "bin"},
      {"a/fw_v1", "1", ""},               {"a/fw.bin", "", "bin"},
      {"a_v9999.d/fw.Hex", "", "hex"},    {"a/FW_V0102.bin", "", "bin"},
      {"a/x_va_v1234.bin", "a_v1", "bin"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ImageVersionTextOf(c.path), c.version) << c.path;
    EXPECT_EQ(ImageExtensionOf(c.path), c.extension) << c.path;
  }
}

TEST(McuIsp, LoadRefusals) {
  ScratchDir dir;
  WriteBytes(dir / "empty.bin", "");
  WriteBytes(dir / "empty.ect", std::string(kMcuHeaderSize, '\0'));
  WriteBytes(dir / "alone.bin", "abc");
  WriteBytes(dir / "short.bin", "abc");
  WriteBytes(dir / "short.ect", std::string(kMcuHeaderSize - 1, '\0'));
  WriteBytes(dir / "big.bin", std::string(kMcuImageCapacity - kMcuHeaderSize + 1, 'x'));
  WriteBytes(dir / "big.ect", std::string(kMcuHeaderSize, '\0'));
  WriteBytes(dir / "fits.bin", std::string(kMcuImageCapacity - kMcuHeaderSize, 'x'));
  WriteBytes(dir / "fits.ect", std::string(kMcuHeaderSize, '\0'));
  WriteBytes(dir / "big.hex", sim::ImageToIntelHex(Pattern(kMcuImageCapacity + 1, 0)));
  WriteBytes(dir / "fits.ECT", std::string(kMcuHeaderSize, '\0'));
  WriteBytes(dir / "raw.img", "abc");
  WriteBytes(dir / "raw.ect", std::string(kMcuHeaderSize, '\0'));
  const auto s = [&](const char* name) { return (dir / name).string(); };
  const struct {
    const char* name;
    std::string error;
  } cases[] = {
      {"missing.bin", s("missing.bin") + "打开失败"},
      {"missing.hex", s("missing.hex") + "打开失败"},
      {"empty.bin", s("empty.bin") + "读取数据失败"},
      {"alone.bin", s("alone.ect") + "不存在或长度不是112字节"},
      {"short.bin", s("short.ect") + "不存在或长度不是112字节"},
      {"big.bin", s("big.bin") + "文件过大"},
      {"big.hex", "hex 文件过大"},
      {"fits.bin", "(no error)"},
      {"raw.img", "(no error)"},
      // The head of a pair alone, paired with itself, is no image.
      {"fits.ect", s("fits.ect") + "只是固件的前112字节，不能作为固件烧录"},
      {"fits.ECT", s("fits.ECT") + "只是固件的前112字节，不能作为固件烧录"},
  };
  for (const auto& c : cases) {
    FakeMcuIspBackend backend;
    backend.presentType = 0x51;
    CMcuIsp isp(backend);
    EXPECT_EQ(ErrorOf([&] { isp.LoadHexFile(dir / c.name); }), c.error) << c.name;
    // The update sequence's load refuses the same files and programs nothing.
    ASSERT_TRUE(isp.EnumDevices());
    EXPECT_EQ(ErrorOf([&] { isp.LoadAndProgram(dir / c.name); }), c.error) << c.name;
    EXPECT_EQ(backend.writes.size(), c.error == "(no error)" ? 1u : 0u) << c.name;
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.bin"));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.hex"));
}

TEST(McuIsp, SetImageBoundedByTheBuffer) {
  FakeMcuIspBackend backend;
  backend.presentType = 0x51;
  CMcuIsp isp(backend);
  ASSERT_TRUE(isp.EnumDevices());
  EXPECT_EQ(ErrorOf([&] { isp.SetImage(std::vector<uint8_t>(kMcuImageCapacity + 1)); }),
            "远程固件过大");
  EXPECT_FALSE(isp.Program());
  const std::vector<uint8_t> full = Pattern(kMcuImageCapacity, 4);
  isp.SetImage(full);
  EXPECT_TRUE(isp.Program());
  ASSERT_EQ(backend.writes.size(), 1u);
  EXPECT_EQ(backend.writes[0], full);
}

}  // namespace
