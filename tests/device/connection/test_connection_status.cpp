#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "device/link/BridgeModels.h"
#include "device/ChipGlobals.h"
#include "device/connection/ConnectionStatus.h"
#include "device/chip/PanelGeometry.h"
#include "platform/files/AppPaths.h"
#include "tests/device/ConnectionTestUtil.h"
#include "tests/device/SimDevice.h"
#include "tests/platform/ScratchDir.h"

namespace {

using platform::testing_support::ScratchDir;
using platform::testing_support::WriteBytes;

constexpr char kLampText[] = "K101_0110";
constexpr char kChipText[] = "RO9110V_1060";

ViewAction Log(const char* text, LogLevel level) { return ViewAction::Log(text, level); }
ViewAction BridgeLamp(LampColour c) { return ViewAction::Lamp(Indicator::Bridge, c); }
ViewAction ChipLamp(LampColour c) { return ViewAction::Lamp(Indicator::TouchIc, c); }
ViewAction BridgeText(const char* t) { return ViewAction::LampText(Indicator::Bridge, t); }
ViewAction ChipText(const char* t) { return ViewAction::LampText(Indicator::TouchIc, t); }

constexpr LampColour kRed = LampColour::Red;
constexpr LampColour kGrey = LampColour::Grey;
constexpr LampColour kGreen = LampColour::Green;

StatusInputs Probe(bool bridge, bool chip, std::string touchIcText = kChipText) {
  StatusInputs in;
  in.probe.probed = true;
  if (bridge) {
    in.probe.bridgeText = "Kestrana SimBridge V1.10";
    in.probe.bridgeLampText = kLampText;
  }
  in.probe.chipOk = chip;
  if (chip) in.probe.chipNameVersion = kChipText;
  in.touchIcText = std::move(touchIcText);
  return in;
}
StatusInputs NoBridge() { return Probe(false, false); }
StatusInputs BridgeOnly() { return Probe(true, false); }
StatusInputs BothUp() { return Probe(true, true); }
StatusInputs Busy(StatusInputs in) {
  in.busy = true;
  return in;
}
StatusInputs Loader() {
  StatusInputs in = NoBridge();
  in.programmingPresent = true;
  return in;
}
StatusInputs Skipped() {
  StatusInputs in;
  in.probe.probed = false;
  return in;
}

const ViewActions kConnect = {BridgeLamp(kGreen), BridgeText(kLampText), Log("USB已连接", LOG_OK),
                              ChipLamp(kGreen),   ChipText(kChipText),   Log("IIC已连接", LOG_OK)};

struct Step {
  StatusInputs in;
  ViewActions expected;
  int result;
};

struct StatusCase {
  const char* name;
  std::vector<Step> steps;
};

TEST(ConnectionStatus, StateMachineTable) {
  const StatusCase cases[] = {
      {"no bridge: both lamps blink, nothing logged",
       {{NoBridge(), {BridgeLamp(kRed), ChipLamp(kRed)}, 1},
        {NoBridge(), {BridgeLamp(kGrey), ChipLamp(kGrey)}, 1},
        {NoBridge(), {BridgeLamp(kRed), ChipLamp(kRed)}, 1}}},
      {"bridge and chip come up together, then nothing changes",
       {{BothUp(), kConnect, 0}, {BothUp(), {}, 0}}},
      {"a placeholder caption is replaced and logged again",
       {{BothUp(), kConnect, 0},
        {Probe(true, true, "VAzezu_xxxx"),
         {ChipLamp(kGreen), ChipText(kChipText), Log("IIC已连接", LOG_OK)},
         0}}},
      {"unplug logs the bridge only; the chip flag goes silently",
       {{BothUp(), kConnect, 0},
        {NoBridge(), {BridgeLamp(kRed), Log("USB已经断开", LOG_ERROR), ChipLamp(kRed)}, 1},
        {NoBridge(), {BridgeLamp(kGrey), ChipLamp(kGrey)}, 1},
        {BothUp(), kConnect, 0}}},
      {"chip lost behind a bridge that stays",
       {{BothUp(), kConnect, 0},
        {BridgeOnly(), {ChipLamp(kRed), Log("IIC已经断开", LOG_ERROR)}, 1},
        {BridgeOnly(), {ChipLamp(kGrey)}, 1}}},
      {"bridge without a chip",
       {{BridgeOnly(),
         {BridgeLamp(kGreen), BridgeText(kLampText), Log("USB已连接", LOG_OK), ChipLamp(kRed)},
         1}}},
      {"programming loader present: loader caption, and the bridge counts as new afterwards",
       {{BothUp(), kConnect, 0},
        {Loader(), {BridgeLamp(kGreen), BridgeText("R64oz_IRE")}, 1},
        {Busy(Loader()), {BridgeLamp(kGreen), BridgeText("R64oz_IRE")}, 1},
        {BothUp(), {BridgeLamp(kGreen), BridgeText(kLampText), Log("USB已连接", LOG_OK)}, 0}}},
      {"busy changes nothing, whatever the probe says",
       {{BothUp(), kConnect, 0},
        {Busy(NoBridge()), {}, 0},
        {NoBridge(), {BridgeLamp(kRed), Log("USB已经断开", LOG_ERROR), ChipLamp(kRed)}, 1}}},
      {"a probe that was skipped is not taken for a lost link",
       {{BothUp(), kConnect, 0}, {Skipped(), {}, 0}, {BothUp(), {}, 0}}},
  };
  for (const StatusCase& c : cases) {
    SCOPED_TRACE(c.name);
    ConnectionStatus status;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE("step " + std::to_string(i));
      const StatusDecision d = status.Check(c.steps[i].in);
      EXPECT_EQ(c.steps[i].expected, d.actions);
      EXPECT_EQ(c.steps[i].result, d.result);
    }
  }
}

// The loader shown on its arrival, between two checks: the bridge's return
// is announced by the next check, and the lamp asks for the bridge's caption
// back only while no check has shown it.
TEST(ConnectionStatus, LoaderShownOnArrivalBetweenChecks) {
  const ViewActions loader = {BridgeLamp(kGreen), BridgeText("R64oz_IRE")};
  const ViewActions bridgeBack = {BridgeLamp(kGreen), BridgeText(kLampText), Log("USB已连接", LOG_OK)};
  struct Case {
    const char* name;
    bool checkBeforeReturn;  // a check shows the bridge before its arrival is handled
  } cases[] = {{"bridge back before any check", false}, {"a check shows the bridge first", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ConnectionStatus status;
    EXPECT_EQ(kConnect, status.Check(BothUp()).actions);
    EXPECT_FALSE(status.TakeLoaderShown());
    EXPECT_EQ(loader, status.LoaderPresent());
    if (c.checkBeforeReturn) {
      EXPECT_EQ(bridgeBack, status.Check(BothUp()).actions);
      EXPECT_FALSE(status.TakeLoaderShown());
    } else {
      EXPECT_TRUE(status.TakeLoaderShown());
      EXPECT_FALSE(status.TakeLoaderShown()) << "once";
      EXPECT_EQ(bridgeBack, status.Check(BothUp()).actions);
    }
  }
}

TEST(ConnectionStatus, ActionsReachTheViewInOrder) {
  RecordingView view;
  ConnectionStatus status;
  ApplyViewActions(status.Check(BothUp()).actions, view);
  EXPECT_EQ(kConnect, view.Actions());
}

TEST(ChipTypeList, SelectsOnlyAnExactMatch) {
  const std::vector<std::string> items = {"RO7385", "RO9110R", "RO9110V"};
  struct Case {
    std::vector<std::string> items;
    std::string name;
    std::optional<int> expected;
  } cases[] = {
      {items, "RO9110V", 2},
      {items, "RO7385", 0},
      {items, " RO9110R ", 1},
      {{"RO7385", " RO9110R"}, "RO9110R", 1},
      {items, "RO9110", std::nullopt},  // a prefix of two items
      {items, "ro9110v", std::nullopt},
      {items, "", std::nullopt},
      {{}, "RO9110V", std::nullopt},
      // Item 0 is searched last.
      {{"RO9110V", "RO9110V"}, "RO9110V", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, FindChipTypeIndex(c.items, c.name));
  }
}

TEST(ChipTypeList, PickingAnItemChangesTheChipInForce) {
  SetChipName("RO9110V");
  EXPECT_FALSE(SelectChipType("RO9110V"));
  EXPECT_TRUE(SelectChipType("RO7385"));
  EXPECT_EQ("RO7385", GetChipName());
  SetChipName("");
}

TEST(RefreshChipInfo, NamesTheChipThenRebuildsOptionsAndReadsGeometry) {
  struct Case {
    int identified;
    ViewActions expected;
  } cases[] = {
      {1, {ChipText(kChipText), ChipLamp(kGreen)}},
      // The lamp keeps what the status check gave it.
      {0, {ChipText("VAzezu_xxxx")}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> calls;
    ConnectionOps ops;
    ops.identifyChip = [&] {
      calls.push_back("identify");
      return c.identified;
    };
    ops.chipNameVersion = [] { return std::string(kChipText); };
    ops.rebuildDataOptions = [&] { calls.push_back("options"); };
    ops.readPanelGeometry = [&] {
      calls.push_back("geometry");
      return true;
    };
    SetChipName("RO9110V");
    const ChipInfoDecision d = RefreshChipInfo(ops, {"RO7385", "RO9110R", "RO9110V"});
    EXPECT_EQ(c.expected, d.actions);
    EXPECT_EQ(2, d.chipTypeIndex);
    EXPECT_EQ((std::vector<std::string>{"identify", "options", "geometry"}), calls);
  }
  SetChipName("");
}

TEST(BridgeModelNumbers, ParsesNumberCodePairs) {
  auto parsed = ParseModelNumbers(" R6481 = 6481, R648=0x648 ");
  ASSERT_TRUE(parsed);
  ASSERT_EQ(2u, parsed->size());
  EXPECT_EQ("R6481", (*parsed)[0].text);
  EXPECT_EQ(0x6481, (*parsed)[0].code);
  EXPECT_EQ("R648", (*parsed)[1].text);
  EXPECT_EQ(0x648, (*parsed)[1].code);
  EXPECT_TRUE(ParseModelNumbers("  ")->empty());
  for (const char* bad : {"R648", "=648", "R648=", "R648=12345", "R648=zz", "A=1,"}) {
    EXPECT_FALSE(ParseModelNumbers(bad)) << bad;
  }
}

TEST(BridgeModelNumbers, LoadedWithTheModelTable) {
  ScratchDir dir;
  const auto ini = dir / "AppConfigInit.ini";
  WriteBytes(ini,
             "[BRIDGE MODELS]\r\nShared PIDs=0301\r\nModel numbers=R648=648\r\n"
             "G models=648\r\nP models=0101, 0201\r\n");
  ASSERT_TRUE(LoadBridgeModels(ini));
  const BridgeModelTable t = GetBridgeModels();
  EXPECT_EQ(0x648, t.ModelCodeIn("xR648y"));
  EXPECT_EQ(std::vector<uint16_t>{0x648}, t.gModels);
  EXPECT_EQ((std::vector<uint16_t>{0x101, 0x201}), t.pModels);

  std::string error;
  WriteBytes(ini, "[BRIDGE MODELS]\r\nModel numbers=R648\r\n");
  EXPECT_FALSE(LoadBridgeModels(ini, &error));
  EXPECT_NE(std::string::npos, error.find("Model numbers"));
  EXPECT_EQ(0x648, GetBridgeModels().ModelCodeIn("R648"));  // the table in force stays
  SetBridgeModels({});
}

class BridgeModelNameTest : public SimDeviceTest {};

TEST_F(BridgeModelNameTest, CaptionFromModelCodeAndRelease) {
  struct Case {
    const char* name;
    uint16_t pid;
    std::string versionText;
    std::string caption;
    uint16_t modelCode;
  } cases[] = {
      {"own product id", sim::kSimRu9BridgePid, "R6481 V2", "K101_0110", 0},
      {"shared id, longest number wins", sim::kSimSharedBridgePid, "Bridge R6481 V2", "K6481_0110",
       0x6481},
      {"shared id, shorter number", sim::kSimSharedBridgePid, "Bridge R648 V2", "K648G_0110",
       0x648},
      {"shared id, no number in the text", sim::kSimSharedBridgePid, "Bridge V2", "K301_0110", 0},
      {"P model", sim::kSimDe7BridgePid, "x", "K201P_0110", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    BridgeModelTable models = SimBridgeModels();
    models.modelNumbers = {{"R648", 0x648}, {"R6481", 0x6481}};
    models.gModels = {0x648};
    models.pModels = {sim::kSimDe7BridgePid};
    SetBridgeModels(models);
    sim::BridgeConfig config = sim::DefaultBridgeConfig(sim::ChipFamily::RU9);
    config.productId = c.pid;
    config.versionText = c.versionText;
    Plug(config, sim::ChipFamily::RU9);
    Connect();
    EXPECT_EQ(c.caption, NameBridgeModel(*device_, GetBridgeVersion()));
    EXPECT_EQ(c.modelCode, device_->ModelCode());
  }
}

// Panel geometry read from a simulated chip, with a temporary runtime root
// (chip list) and chip INI.
class PanelGeometryTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    root_ = std::make_unique<ScratchDir>();
    platform::AppPaths::SetBaseDir(root_->path());
    SetChipName("RO9110V");
    SetChipIniPath(root_->path() / "RO9110V.ini");
    SetPanelGeometry(kUntouched);
    g_nResolutionX = 1;
    g_nResolutionY = 2;
  }
  void TearDown() override {
    SetChipIniPath({});
    SetPanelGeometry({});
    g_nResolutionX = 0;
    g_nResolutionY = 0;
    g_bDigitizerDisabled = false;
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    root_.reset();
    SimDeviceTest::TearDown();
  }
  void Rig(sim::ChipFamily family, const std::string& chipIni = "") {
    TearDown();
    SetUp();
    if (!chipIni.empty()) WriteBytes(root_->path() / "RO9110V.ini", "[Cfg]\r\n" + chipIni);
    backend_->AddBridge(sim::MakeDefaultBridge(family, clock_));
    Connect(family);
  }
  int ReadsOf(uint16_t address) {
    int n = 0;
    for (const Report& r : Sent()) n += r[1] == 0 && (r[3] << 8 | r[4]) == address;
    return n;
  }

  static constexpr PanelGeometry kUntouched = {7, 7, 7, 7, 7};
  std::unique_ptr<ScratchDir> root_;
};

TEST_F(PanelGeometryTest, ChannelCountsAndLimitsTable) {
  using sim::ChipFamily;
  struct Case {
    const char* name;
    ChipFamily family;
    std::vector<uint8_t> bytes;
    PanelGeometry expected;  // raw rows, raw cols, diff rows, diff cols, stylus rows
  } cases[] = {
      {"RU9 groups", ChipFamily::RU9, {0x0F, 0x0F, 0x5A, 0}, {15, 30, 15, 30, 15}},
      {"RU9 upper bits of the driving groups ignored",
       ChipFamily::RU9,
       {0xEF, 0x2F, 0x5A, 0},
       {15, 30, 15, 30, 15}},
      {"RU9 42 columns is still valid",
       ChipFamily::RU9,
       {0x15, 0x15, 0x5A, 0},
       {15, 42, 15, 42, 15}},
      {"RU9 43 columns: limited, stylus rows follow",
       ChipFamily::RU9,
       {0x16, 0x15, 0x5A, 0},
       {15, 42, 15, 42, 42}},
      {"RU9 no columns", ChipFamily::RU9, {0, 0, 0x5A, 0}, {15, 42, 15, 42, 42}},
      {"RU9 no rows", ChipFamily::RU9, {0x0F, 0x0F, 0, 0}, {30, 30, 30, 30, 30}},
      {"RU9 30 rows, the most two nibbles hold",
       ChipFamily::RU9,
       {0x0F, 0x0F, 0xFF, 0},
       {30, 30, 30, 30, 30}},
      {"DE7 halves", ChipFamily::DE7, {10, 20, 12, 22}, {22, 42, 22, 42, 42}},
      {"DE7 44 columns and 72 rows still valid",
       ChipFamily::DE7,
       {36, 22, 36, 22},
       {72, 44, 72, 44, 44}},
      {"DE7 45 columns", ChipFamily::DE7, {10, 23, 12, 22}, {22, 44, 22, 44, 44}},
      {"DE7 73 rows: stylus rows take the row limit",
       ChipFamily::DE7,
       {37, 20, 36, 22},
       {72, 42, 72, 42, 72}},
      {"DE7 nothing", ChipFamily::DE7, {0, 0, 0, 0}, {72, 44, 72, 44, 72}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig(c.family);
    const uint16_t address = c.family == ChipFamily::DE7 ? 0x81CC : 0x8062;
    Bridge().Chip().PokeRange(address, c.bytes);
    ReadPanelGeometry();
    const PanelGeometry g = GetPanelGeometry();
    EXPECT_EQ(c.expected.rawRows, g.rawRows);
    EXPECT_EQ(c.expected.rawColumns, g.rawColumns);
    EXPECT_EQ(c.expected.diffRows, g.diffRows);
    EXPECT_EQ(c.expected.diffColumns, g.diffColumns);
    EXPECT_EQ(c.expected.stylusRows, g.stylusRows);
  }
}

TEST_F(PanelGeometryTest, ResolutionTable) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t x, y;
  } cases[] = {
      {{0x38, 0x04, 0x80, 0x07}, 1080, 1920},
      {{0, 0, 0x80, 0x07}, 4096, 1920},
      {{0x38, 0x04, 0, 0}, 1080, 4096},
  };
  for (const Case& c : cases) {
    Rig(sim::ChipFamily::RU9);
    Bridge().Chip().PokeRange(0x8048, c.bytes);
    ReadPanelGeometry();
    EXPECT_EQ(c.x, g_nResolutionX.load());
    EXPECT_EQ(c.y, g_nResolutionY.load());
  }
}

TEST_F(PanelGeometryTest, AddressesFromTheChipIni) {
  struct Case {
    const char* ini;
    uint16_t channels, resolution;
  } cases[] = {
      {"DrvNumAddr=0x7100\r\nXmaxAddr=0x7110\r\n", 0x7100, 0x7110},
      {"DrvNumAddr=7100\r\nXmaxAddr=0X7110\r\n", 0x7100, 0x7110},  // "0x" only when there
      {"Other=1\r\n", 0x8062, 0x8048},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ini);
    Rig(sim::ChipFamily::RU9, c.ini);
    Bridge().Chip().PokeRange(c.channels, {0x0A, 0x0A, 0x33, 0});
    Bridge().Chip().PokeRange(c.resolution, {0x00, 0x05, 0x00, 0x03});
    EXPECT_TRUE(ReadPanelGeometry()) << "the channel counts were read";
    EXPECT_EQ((PanelGeometry{6, 20, 6, 20, 6}), GetPanelGeometry());
    EXPECT_EQ(0x500u, g_nResolutionX.load());
    EXPECT_EQ(0x300u, g_nResolutionY.load());
  }
}

TEST_F(PanelGeometryTest, FailedReadsChangeNothing) {
  Rig(sim::ChipFamily::RU9);
  Bridge().SetSilent(true);
  EXPECT_FALSE(ReadPanelGeometry());
  EXPECT_EQ(kUntouched, GetPanelGeometry());
  EXPECT_EQ(1u, g_nResolutionX.load());
  EXPECT_EQ(2u, g_nResolutionY.load());
  // The resolution is read even though the channel read failed.
  EXPECT_EQ(1, ReadsOf(0x8048));
}

TEST_F(PanelGeometryTest, UnlistedChipOnlyReappliesTheDigitizerSetting) {
  for (bool disabled : {true, false}) {
    Rig(sim::ChipFamily::RU9);
    SetChipName("RO1234");
    g_bDigitizerDisabled = disabled;
    Bridge().Chip().PokeRange(0x8062, {0x0F, 0x0F, 0x5A, 0});
    EXPECT_FALSE(ReadPanelGeometry()) << "skipped";
    EXPECT_EQ(!disabled, Bridge().DigitizerEnabled());
    EXPECT_EQ(kUntouched, GetPanelGeometry());
    for (const Report& r : Sent()) EXPECT_NE(0, r[1]) << "no register may be read";
  }
}

TEST(ChipIniAddressText, PrefixOptionalFourDigits) {
  struct Case {
    const char* text;
    uint16_t value;
  } cases[] = {{"0x81CC", 0x81CC},  {"0X8062", 0x8062}, {"81CC", 0x81CC},
               {"0x81CC5", 0x81CC}, {"8", 0x0008},      {"", 0}};
  for (const Case& c : cases) EXPECT_EQ(c.value, ParseChipIniAddress(c.text)) << c.text;
}

}  // namespace
