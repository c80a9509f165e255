#include "moduletest/engine/ShortTestB.h"

#include "device/link/RegisterOps.h"
#include "moduletest/engine/ChipAccess.h"
#include "moduletest/engine/LineText.h"

namespace {

constexpr uint16_t kModeRegister = 0x437C;
constexpr uint16_t kParamRegister = 0x8041;
constexpr uint16_t kStateRegister = 0x804A;
constexpr uint16_t kBlockRegister = 0x8118;
constexpr uint16_t kResultRegister = 0x8AC0;
constexpr uint16_t kCountRegister = 0x8AC2;
constexpr uint16_t kEntries = 0x8AC4;
constexpr uint8_t kEnterTest = 0x40;
constexpr uint8_t kStartTest = 0x41;
constexpr uint8_t kReady = 0x01;
constexpr uint8_t kStarted = 0x40;
constexpr uint8_t kFinished = 0x43;
constexpr uint32_t kReadyPolls = 2000;
constexpr uint32_t kStartedPolls = 100;
constexpr uint32_t kFinishedPolls = 3000;
constexpr uint32_t kEnterWaitMs = 300;
constexpr uint32_t kStageWaitMs = 1000;
constexpr uint32_t kCloseWaitMs = 2000;
constexpr uint32_t kRestartWaitMs = 500;
constexpr uint32_t kEntryTimeoutMs = 100;
constexpr uint8_t kGnd = 0xF0;
constexpr uint8_t kAvdd = 0xF1;

constexpr const char* kFailedLine = "[Short Test]短路测试失败";
constexpr const char* kDoneLine = "[Short Test]短路测试完成";

constexpr uint16_t kConstantWords[] = {0,   100, 800, 800, 800, 200, 500, 500, 500,
                                       500, 0,   0,   0,   4,   6,   68,  89,  75};

std::string ChannelText(const char* prefix, const std::vector<int>& table, int channel) {
  if (auto p = ShortTablesB::Position(table, channel)) return LineText("%s%d", prefix, *p);
  return LineText("%s#%d", prefix, channel);
}

bool Write8(uint16_t address, uint8_t value) {
  return WriteChipReg8(BridgeDevice(), address, value) != 0;
}

// Steps 1..4: enter the test, hand over the block, wait for the result.
bool Measure(RunContext& ctx, const ShortBlockB& block) {
  if (PollChipReg8(kStateRegister, kReady, kReadyPolls) == 0) return false;
  if (WriteChipRegs(kBlockRegister, block.data(), static_cast<uint32_t>(block.size())) == 0) {
    return false;
  }
  WriteChipReg16(BridgeDevice(), kParamRegister, 0x00BF);
  Write8(kChipCommandRegister, kStartTest);
  if (PollChipReg8(kStateRegister, kStarted, kStartedPolls) == 0) return false;
  for (int bar = 30; bar <= 80; bar += 10) {
    ctx.Bar(kBarOpenShort, bar);
    ctx.Sleep(kStageWaitMs);
  }
  ctx.Bar(kBarOpenShort, 80);
  return PollChipReg8(kStateRegister, kFinished, kFinishedPolls) != 0;
}

// Step 5/6 on a finished measurement: true when the module passed.
bool Evaluate(RunContext& ctx, const ShortTablesB& tables) {
  const auto result = ReadChipReg8Checked(kResultRegister);
  if (!result) return false;
  if (*result == 0) return true;
  const auto count = ReadChipReg8Checked(kCountRegister);
  if (!count) return false;
  for (uint32_t i = 0; i < *count; ++i) {
    const auto bytes = ReadChipBytes(static_cast<uint16_t>(kEntries + 4 * i), 4, kEntryTimeoutMs);
    if (!bytes) return false;
    const uint8_t entry[4] = {(*bytes)[0], (*bytes)[1], (*bytes)[2], (*bytes)[3]};
    ctx.Log(ShortEntryLine(entry, tables), LOG_ERROR);
  }
  // The chip reported a finding: never a pass, whatever its entries show.
  return false;
}

}  // namespace

ShortBlockB BuildShortBlockB() {
  ShortBlockB block{};
  for (size_t i = 0; i < 76; ++i) block[i] = i <= 72 ? static_cast<uint8_t>(i) : 0xFF;
  for (size_t i = 0; i < 46; ++i) block[76 + i] = i <= 44 ? static_cast<uint8_t>(i) : 0xFF;
  size_t at = 122;
  for (uint16_t w : kConstantWords) {
    block[at++] = static_cast<uint8_t>(w & 0xFF);
    block[at++] = static_cast<uint8_t>(w >> 8);
  }
  uint16_t sum = 0;
  for (size_t i = 0; i < 230; i += 2)
    sum = static_cast<uint16_t>(sum + (block[i] | block[i + 1] << 8));
  const auto checksum = static_cast<uint16_t>(0 - sum);
  block[230] = static_cast<uint8_t>(checksum & 0xFF);
  block[231] = static_cast<uint8_t>(checksum >> 8);
  return block;
}

std::string ShortEntryLine(const uint8_t (&entry)[4], const ShortTablesB& tables) {
  const uint8_t b0 = entry[0];
  const uint8_t b1 = entry[1];
  std::string line = (b1 & 0x80) != 0 ? ChannelText(" Tx", tables.drive, b1 & 0x7F)
                                      : ChannelText(" Rx", tables.sense, b1);
  line += "与";
  if (b0 == kGnd) {
    line += "GND";
  } else if (b0 == kAvdd) {
    line += "AVDD";
  } else if ((b0 & 0x80) != 0) {
    line += ChannelText("Tx", tables.drive, b0 & 0x7F);
  } else {
    line += ChannelText("Rx", tables.sense, b0);
  }
  line += "之间的阻值为:";
  line += LineText("%d千欧", entry[2] * 256 + entry[3]);
  return line;
}

void RunShortTestB(RunContext& ctx, CConfig* backup) {
  ctx.Bar(kBarOpenShort, 10);
  Write8(kModeRegister, 0x00);
  WriteChipReg16(BridgeDevice(), kParamRegister, 0x00C0);
  Write8(kChipCommandRegister, kEnterTest);
  ctx.Bar(kBarOpenShort, 20);
  ctx.Sleep(kEnterWaitMs);

  const ShortBlockB block = BuildShortBlockB();
  const ShortTablesB tables = ShortTablesB::From(backup);
  if (backup == nullptr) ctx.Log("[Short Test]无配置备份，按芯片通道号报告", LOG_INFO);

  if (!Measure(ctx, block)) {
    ReadChipReg8Checked(0x8063);
    ctx.SetItem(kItemOpenShort, TEST_FAIL);
    ctx.Log(kFailedLine, LOG_ERROR);
  } else if (Evaluate(ctx, tables)) {
    ctx.SetItem(kItemOpenShort, TEST_PASS);
    ctx.Log(kDoneLine, LOG_OK);
  } else {
    ctx.SetItem(kItemOpenShort, TEST_FAIL);
    ctx.Log(kFailedLine, LOG_ERROR);
  }
  if (ctx.Item(kItemOpenShort) != TEST_PASS) {
    ctx.Bar(kBarOpenShort, 90);
    ctx.Sleep(kCloseWaitMs);
  }

  // Back to normal operation; a chip that could not be told so is not a
  // finished module.
  bool back = Write8(0x4180, 0x01);
  ctx.Sleep(kRestartWaitMs);
  ReadChipReg8Checked(0x8000);
  back = WriteChipReg16(BridgeDevice(), kParamRegister, 0x0056) != 0 && back;
  back = Write8(kChipCommandRegister, 0xAA) && back;
  if (!back && ctx.Item(kItemOpenShort) != TEST_FAIL) {
    ctx.SetItem(kItemOpenShort, TEST_FAIL);
    ctx.Log(kFailedLine, LOG_ERROR);
  }
}
