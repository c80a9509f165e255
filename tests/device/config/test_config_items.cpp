// Item values: block bytes shown as texts and written back exactly, channel
// items through the chip's channel lists, items chosen by chip INI keys.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "tests/device/ConfigTestUtil.h"

namespace {

using sim::ChipFamily;

constexpr int kBase = 0x8047;

CfgItem Item(const std::string& name, int byte, int lowBit, int width, int kind = kCfgEdit,
             bool hex = false, std::vector<std::string> options = {}) {
  CfgItem item;
  item.name = name;
  item.bitAddress = (kBase + byte) * 8 + lowBit;
  item.bitWidth = width;
  item.controlKind = kind;
  item.hex = hex;
  item.options = std::move(options);
  return item;
}

class ConfigItemsTest : public ConfigTest {
 protected:
  // One item over the given bytes at block byte 10: its text after a
  // refresh, and the bytes after its text is changed to newText.
  struct Outcome {
    std::string shown;
    std::vector<uint8_t> written;
  };
  Outcome RoundTrip(CfgItem item, std::vector<uint8_t> bytes, const std::string& newText) {
    CConfig cfg;
    std::copy(bytes.begin(), bytes.end(), cfg.Block().begin() + 10);
    cfg.Items().push_back(std::move(item));
    cfg.RefreshItemValues();
    Outcome out{cfg.Items()[0].value, {}};
    cfg.Items()[0].value = newText;
    cfg.ApplyItemValues();
    out.written.assign(cfg.Block().begin() + 10, cfg.Block().begin() + 10 + bytes.size());
    return out;
  }
};

TEST_F(ConfigItemsTest, ValuesAreShownAndWrittenByKindAndWidth) {
  const std::vector<std::string> modes = {"off", "low", "high"};
  struct Case {
    const char* name;
    CfgItem item;
    std::vector<uint8_t> bytes;
    std::string shown;
    std::string newText;
    std::vector<uint8_t> written;
  } cases[] = {
      {"16-bit decimal", Item("A", 10, 0, 16), {0x78, 0x56}, "22136", "22137", {0x79, 0x56}},
      {"16-bit hex",
       Item("A", 10, 0, 16, kCfgEdit, true),
       {0x78, 0x56},
       "5678",
       "0x1234",
       {0x34, 0x12}},
      {"3 bits at bit 4", Item("A", 10, 4, 3), {0xB5}, "3", "5", {0xD5}},
      {"hex byte", Item("A", 10, 0, 8, kCfgEdit, true), {0x0A}, "0A", "ff", {0xFF}},
      {"check box", Item("A", 10, 7, 1, kCfgCheckBox), {0x00}, "0", "1", {0x80}},
      {"combo", Item("A", 10, 2, 2, kCfgComboBox, false, modes), {0x08}, "high", "low", {0x04}},
      {"combo past its options",
       Item("A", 10, 0, 2, kCfgComboBox, false, modes),
       {0x03},
       "off",
       "low",
       {0x01}},
      {"16-bit combo",
       Item("A", 10, 0, 16, kCfgComboBox, false, modes),
       {0x01, 0x00},
       "low",
       "high",
       {0x02, 0x00}},
      {"field past its byte", Item("A", 10, 6, 4), {0xC0}, "3", "1", {0x40}},
      // A high-byte record with its highest bit at 3: the 4 bits above the
      // field belong to another parameter.
      {"12 bits keep the 4 above", Item("A", 10, 0, 12), {0x34, 0xA2}, "564", "4095", {0xFF, 0xAF}},
      {"12 bits at bit 2", Item("A", 10, 2, 12), {0x03, 0xC0}, "0", "4095", {0xFF, 0xFF}},
      {"width 8 at bit 3", Item("A", 10, 3, 8), {0xAD}, "21", "6", {0x35}},
  };
  for (const Case& c : cases) {
    const Outcome out = RoundTrip(c.item, c.bytes, c.newText);
    EXPECT_EQ(c.shown, out.shown) << c.name;
    EXPECT_EQ(c.written, out.written) << c.name;
  }
}

TEST_F(ConfigItemsTest, TextsThatDoNotFitAreRefusedAndTheBlockIsUntouched) {
  const std::vector<std::string> modes = {"off", "on"};
  struct Case {
    const char* name;
    CfgItem item;
    std::string text;
  } cases[] = {
      {"3-bit field", Item("A", 10, 4, 3), "8"},
      {"byte", Item("A", 10, 0, 8), "256"},
      {"16 bits", Item("A", 10, 0, 16), "65536"},
      {"negative", Item("A", 10, 0, 8), "-1"},
      {"not a number", Item("A", 10, 0, 8), "12abc"},
      {"empty", Item("A", 10, 0, 8), ""},
      {"hex digits in a decimal item", Item("A", 10, 0, 8), "1F"},
      {"hex past the byte", Item("A", 10, 0, 8, kCfgEdit, true), "100"},
      {"no such option", Item("A", 10, 0, 1, kCfgComboBox, false, modes), "maybe"},
      {"bit past a field that ends at bit 7", Item("A", 10, 6, 4), "4"},
      {"12-bit field", Item("A", 10, 0, 12), "4096"},
      {"16 bits from bit 4", Item("A", 10, 4, 16), "4096"},
      {"width 8 at bit 3", Item("A", 10, 3, 8), "32"},
  };
  for (const Case& c : cases) {
    CConfig cfg;
    cfg.Block()[10] = 0x11;
    cfg.Block()[11] = 0x22;
    CfgItem other = Item("B", 12, 0, 8);
    cfg.Items() = {other, c.item};
    cfg.RefreshItemValues();
    cfg.Items()[0].value = "99";  // a good change before the bad one
    cfg.Items()[1].value = c.text;
    const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());
    try {
      cfg.ApplyItemValues();
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const ConfigError& e) {
      EXPECT_NE(std::string(e.what()).find("A"), std::string::npos) << c.name;
    }
    EXPECT_TRUE(std::equal(before.begin(), before.end(), cfg.Block().begin())) << c.name;
  }
}

TEST_F(ConfigItemsTest, ItemsOutsideTheBlockShowNothingAndAreNeverWritten) {
  CConfig cfg;
  cfg.Items() = {Item("before", -1, 0, 8), Item("last pair", 1023, 0, 16), Item("end", 1024, 0, 1)};
  cfg.RefreshItemValues();
  for (CfgItem& item : cfg.Items()) {
    EXPECT_EQ("", item.value) << item.name;
    item.value = "1";
  }
  cfg.ApplyItemValues();
  EXPECT_EQ(0, cfg.Block()[1023]);
}

TEST_F(ConfigItemsTest, ChannelItemsShowPositionsInTheChannelList) {
  WriteChipIni(std::string(kRu9ChipIni) + "[Channel]\r\nDrvMaxNum=4\r\nSenMaxNum=3\r\n");
  struct Case {
    const char* name;
    std::string item;
    uint8_t byte;
    std::string shown;
    std::string newText;
    uint8_t written;
  } cases[] = {
      {"drive channel found", "Driver_CH0", 12, "2", "0", 5},
      {"sense channel found", "Sensor_CH1", 9, "0", "1", 8},
      {"not in the list", "Driver_CH3", 40, "40", "41", 41},
      {"position past the max count", "Driver_CH2", 5, "0", "4", 4},
      {"position past a short list", "Sensor_CH2", 9, "0", "2", 2},
  };
  for (const Case& c : cases) {
    CConfig cfg;
    cfg.DriveChannels() = {5, 7, 12, 30, 44};
    cfg.SenseChannels() = {9, 8};
    cfg.Block()[10] = c.byte;
    cfg.Items() = {Item(c.item, 10, 0, 8)};
    cfg.RefreshItemValues();
    EXPECT_EQ(c.shown, cfg.Items()[0].value) << c.name;
    cfg.Items()[0].value = c.newText;
    cfg.ApplyItemValues();
    EXPECT_EQ(c.written, cfg.Block()[10]) << c.name;
  }
}

TEST_F(ConfigItemsTest, De7ChannelHalvesRoundTrip) {
  WriteChipIni("[Cfg]\r\nCfgLength=340\r\n[Channel]\r\nDrvHalfNmuber=10\r\nDrvMaxNum=20\r\n");
  ConnectChip(ChipFamily::DE7);
  CConfig cfg;
  for (int k = 0; k < 20; ++k) cfg.DriveChannels().push_back(100 + k);
  for (int k = 0; k < 20; ++k) {
    // Item k sits in the half its number names; its byte is channel 100 + k.
    cfg.Items().push_back(Item("Driver_CH" + std::to_string(k), 20 + k, 0, 8));
    cfg.Block()[20 + k] = static_cast<uint8_t>(100 + k);
  }
  cfg.RefreshItemValues();
  EXPECT_EQ("10", cfg.Items()[0].value);  // first half: half + position
  EXPECT_EQ("19", cfg.Items()[9].value);
  EXPECT_EQ("0", cfg.Items()[10].value);  // second half: position - half
  EXPECT_EQ("9", cfg.Items()[19].value);

  std::vector<uint8_t> before(cfg.Block().begin() + 20, cfg.Block().begin() + 40);
  for (CfgItem& item : cfg.Items()) item.refreshedValue.clear();  // write every item
  cfg.ApplyItemValues();
  EXPECT_TRUE(std::equal(before.begin(), before.end(), cfg.Block().begin() + 20));
}

TEST_F(ConfigItemsTest, KeysOfTheChipIniChooseItems) {
  WriteChipIni("[Cfg]\r\nByAddress=8056,3\r\nByName=\r\nBroken=foo\r\n");
  CConfig cfg;
  CfgItem atAddress = Item("Addressed", 0x8056 - kBase, 3, 1);
  CfgItem named = Item("byname", 20, 0, 8);
  cfg.Items() = {named, atAddress};
  cfg.Block()[0x8056 - kBase] = 0x08;
  cfg.Block()[20] = 42;
  cfg.RefreshItemValues();

  int value = -1;
  EXPECT_TRUE(cfg.GetItemValue("ByAddress", value));
  EXPECT_EQ(1, value);
  EXPECT_TRUE(cfg.GetItemValue("ByName", value));
  EXPECT_EQ(42, value);
  for (const char* key : {"Broken", "Missing"}) {
    try {
      cfg.GetItemValue(key, value);
      ADD_FAILURE() << key;
    } catch (const ConfigError& e) {
      EXPECT_EQ(std::string(kCfgItemNotFoundText) + key, e.what());
    }
  }
}

TEST_F(ConfigItemsTest, GetAndSetConvertByItemKind) {
  WriteChipIni("[Cfg]\r\nHexItem=\r\nComboItem=\r\nDec=\r\nWide=\r\n");
  CConfig cfg;
  cfg.Items() = {Item("HexItem", 10, 0, 8, kCfgEdit, true),
                 Item("ComboItem", 11, 0, 2, kCfgComboBox, false, {"a", "b", "c"}),
                 Item("Dec", 12, 0, 4), Item("Wide", 13, 0, 12)};
  cfg.Block()[10] = 0x1A;
  cfg.Block()[11] = 2;
  cfg.RefreshItemValues();
  int v = 0;
  cfg.GetItemValue("HexItem", v);
  EXPECT_EQ(0x1A, v);
  cfg.GetItemValue("ComboItem", v);
  EXPECT_EQ(2, v);

  cfg.SetItemValue("HexItem", 255);
  cfg.SetItemValue("ComboItem", 1);
  cfg.SetItemValue("Dec", 15);
  EXPECT_EQ("FF", cfg.Items()[0].value);
  EXPECT_EQ("b", cfg.Items()[1].value);
  cfg.ApplyItemValues();
  EXPECT_EQ(0xFF, cfg.Block()[10]);
  EXPECT_EQ(1, cfg.Block()[11]);
  EXPECT_EQ(15, cfg.Block()[12]);

  for (auto [key, value] : {std::pair{"Dec", 16}, std::pair{"ComboItem", 3},
                            std::pair{"HexItem", -1}, std::pair{"Wide", 4096}}) {
    EXPECT_THROW(cfg.SetItemValue(key, value), ConfigError) << key;
  }
}

TEST_F(ConfigItemsTest, SetWithoutItemsNeedsTheChipsScFile) {
  WriteChipIni("[Cfg]\r\nX2Y=\r\n");
  CConfig cfg;
  try {
    cfg.SetItemValue("X2Y", 1);
    ADD_FAILURE() << "no error";
  } catch (const ConfigError& e) {
    EXPECT_EQ(std::string(kCfgScMissingText), e.what());
  }
}

// --- The property: an unchanged configuration survives Refresh + Apply ---

struct RandomRig {
  std::mt19937 rng;
  int Int(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

  CfgItem RandomItem() {
    CfgItem item;
    const int shape = Int(0, 5);
    item.bitWidth = Int(1, 16);
    item.controlKind = kCfgEdit;
    if (shape == 0) {
      item.controlKind = kCfgCheckBox;
      item.bitWidth = 1;
    } else if (shape == 1) {
      item.controlKind = kCfgComboBox;
      for (int i = Int(1, 6); i > 0; --i) item.options.push_back("opt" + std::to_string(i));
    } else if (shape == 2) {
      item.bitWidth = 8;
      item.name = (Int(0, 1) ? "Driver_CH" : "Sensor_CH") + std::to_string(Int(0, 12));
    }
    if (item.name.empty()) item.name = "item" + std::to_string(Int(0, 999));
    item.hex = item.controlKind == kCfgEdit && Int(0, 1) == 1;
    // Mostly inside the block, some across or past its ends; fields overlap.
    const int byte = Int(0, 20) == 0 ? Int(-4, 1030) : Int(0, 339);
    item.bitAddress = (kBase + byte) * 8 + Int(0, 7);
    return item;
  }

  std::vector<int32_t> RandomList() {
    std::vector<int32_t> list;
    for (int i = Int(0, 12); i > 0; --i) list.push_back(Int(0, 300));
    return list;
  }
};

std::vector<int> ChecksumBytes(bool de7, int length) {
  return de7 ? std::vector<int>{2, 212, length - 1} : std::vector<int>{length - 2, length - 1};
}

TEST_F(ConfigItemsTest, RefreshThenApplyLeavesEveryByteButTheChecksum) {
  RandomRig rig{std::mt19937(20240611)};
  for (bool de7 : {false, true}) {
    if (de7) ConnectChip(ChipFamily::DE7);
    for (int round = 0; round < 300; ++round) {
      WriteChipIni("[Cfg]\r\nCFGAddr=0x8047\r\nCfgLength=340\r\n[Channel]\r\nDrvHalfNmuber=" +
                   std::to_string(rig.Int(0, 8)) +
                   "\r\nSenHalfNumber=" + std::to_string(rig.Int(0, 8)) +
                   "\r\nDrvMaxNum=" + std::to_string(rig.Int(0, 14)) +
                   "\r\nSenMaxNum=" + std::to_string(rig.Int(0, 14)) + "\r\n");
      CConfig cfg;
      cfg.DriveChannels() = rig.RandomList();
      cfg.SenseChannels() = rig.RandomList();
      for (uint8_t& b : cfg.Block()) b = static_cast<uint8_t>(rig.Int(0, 255));
      for (int i = rig.Int(1, 40); i > 0; --i) cfg.Items().push_back(rig.RandomItem());
      const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());

      cfg.RefreshItemValues();
      cfg.ApplyItemValues();

      const std::vector<int> sums = ChecksumBytes(de7, 340);
      for (int i = 0; i < 1024; ++i) {
        if (std::find(sums.begin(), sums.end(), i) != sums.end()) continue;
        ASSERT_EQ(before[i], cfg.Block()[i])
            << "de7 " << de7 << " round " << round << " byte " << i;
      }
    }
  }
}

// A changed item rewrites its own field and nothing else, and a plain item
// shows the new value after the next refresh.
TEST_F(ConfigItemsTest, ChangingOneItemTouchesOnlyItsField) {
  RandomRig rig{std::mt19937(777)};
  WriteChipIni("[Cfg]\r\nCfgLength=340\r\n[Channel]\r\nDrvMaxNum=6\r\nSenMaxNum=6\r\n");
  for (int round = 0; round < 500; ++round) {
    CConfig cfg;
    cfg.DriveChannels() = {20, 21, 22, 23, 24, 25};
    cfg.SenseChannels() = {40, 41, 42};
    for (uint8_t& b : cfg.Block()) b = static_cast<uint8_t>(rig.Int(0, 255));
    for (int i = rig.Int(1, 10); i > 0; --i) cfg.Items().push_back(rig.RandomItem());
    cfg.RefreshItemValues();
    CfgItem& item = cfg.Items()[rig.Int(0, static_cast<int>(cfg.Items().size()) - 1)];
    if (item.value.empty()) continue;  // outside the block

    const int low = item.bitAddress % 8;
    const int bits = std::min(item.bitWidth, (item.bitWidth > 8 ? 16 : 8) - low);
    const int v = rig.Int(0, (1 << bits) - 1);
    if (item.controlKind == kCfgComboBox) {
      item.value = item.options[v % item.options.size()];
      if ((v % item.options.size()) >= (1u << bits)) continue;
    } else {
      char text[8];
      std::snprintf(text, sizeof text, item.hex ? "%02X" : "%d", v);
      item.value = text;
    }
    const std::string newText = item.value;
    const size_t offset = item.bitAddress / 8 - kBase;
    std::vector<uint8_t> mask(1024, 0);
    const uint32_t field = ((1u << bits) - 1u) << low;
    mask[offset] = static_cast<uint8_t>(field);
    if (item.bitWidth > 8) mask[offset + 1] = static_cast<uint8_t>(field >> 8);
    const std::vector<uint8_t> before(cfg.Block().begin(), cfg.Block().end());
    cfg.ApplyItemValues();
    for (int i = 0; i < 1024; ++i) {
      if (i == 338 || i == 339) continue;
      ASSERT_EQ(before[i] & ~mask[i], cfg.Block()[i] & ~mask[i]) << round << " byte " << i;
    }
    const bool onChecksum = offset + (item.bitWidth > 8 ? 1 : 0) >= 338;
    if (item.channelList() == CfgChannelList::kNone && !onChecksum) {
      const std::string name = item.name;
      const int bitAddress = item.bitAddress;
      // Items after it over the same bits may overlap; compare with a lone copy.
      CConfig check;
      std::copy(cfg.Block().begin(), cfg.Block().end(), check.Block().begin());
      CfgItem lone = item;
      lone.initialValue.clear();
      check.Items() = {lone};
      check.RefreshItemValues();
      EXPECT_EQ(newText, check.Items()[0].value) << name << " at " << bitAddress;
    }
  }
}

}  // namespace
