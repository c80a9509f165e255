#include "moduletest/engine/ShortTestA.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "device/DecimalPrefix.h"
#include "device/link/RegisterOps.h"
#include "moduletest/engine/ChipAccess.h"
#include "moduletest/engine/LineText.h"
#include "moduletest/engine/ShortFirmware.h"
#include "platform/files/AppPaths.h"

namespace {

constexpr uint16_t kHoldRegister = 0x4180;
constexpr uint8_t kHold = 0x0C;
constexpr uint8_t kRun = 0x08;
constexpr uint16_t kWatchdogRegister = 0x40B0;
constexpr uint16_t kRunFlagRegister = 0x5095;
constexpr uint8_t kProgramReady = 0xAA;
constexpr uint8_t kProgramStart = 0x04;
constexpr uint16_t kProgramAddress = 0xC000;
constexpr uint16_t kBlockRegister = 0x8804;
constexpr uint16_t kDoneRegister = 0x8800;
constexpr uint8_t kDone = 0x88;
constexpr uint16_t kStatusRegister = 0x8801;
constexpr uint16_t kTxCountRegister = 0x8802;
constexpr uint16_t kRxCountRegister = 0x8803;
constexpr uint16_t kTxRecords = 0x8860;
constexpr uint16_t kRxRecords = 0xA0D2;
constexpr uint16_t kSupplyData = 0xA531;
constexpr uint32_t kRecallTimeoutMs = 100;
constexpr uint32_t kRecordTimeoutMs = 100;
// Holding the chip is written this often: it may miss the first writes while
// its firmware still runs.
constexpr int kHoldWrites = 5;
constexpr uint32_t kReadyPolls = 50;
constexpr uint32_t kDonePolls = 1000;
constexpr uint32_t kTestStartWaitMs = 1000;

constexpr const char* kResetFailed = "[Short Test]Touch IC reset failed";
constexpr const char* kReadRunFailed = "[Short Test]Read CLR_IC_RUN  failed";
constexpr const char* kDataFailed = "获取短路数据失败";

uint16_t BigEndian(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

// B x k / v - offset: the quotient unsigned, the difference signed, below 0
// counts as 0 (a hard short).
int64_t Resistance(uint16_t base, uint32_t k, uint16_t value, int64_t offset) {
  const int64_t quotient = static_cast<int64_t>(uint32_t{base} * k / value);
  return std::max<int64_t>(0, quotient - offset);
}

bool SameDriveGroup(int a, int j) {
  auto group = [](int c) { return c < 15 ? 0 : (c < 30 ? 1 : 2); };
  return group(a) == group(j);
}

uint16_t Threshold(const std::string& text) {
  return static_cast<uint16_t>(DecimalPrefix(text, 0x7FFFFFFF) & 0xFFFF);
}

bool Write8(uint16_t address, uint8_t value) {
  return WriteChipReg8(BridgeDevice(), address, value) != 0;
}

class ShortTestA {
 public:
  ShortTestA(RunContext& ctx, const CConfig* backup)
      : ctx_(ctx), maps_(ShortMapsA::From(backup)), hasBackup_(backup != nullptr) {}

  void Run() {
    ctx_.Bar(kBarOpenShort, 60);
    bool ok = LoadFirmware();
    if (ok) {
      ctx_.Bar(kBarOpenShort, 70);
      ok = Start();
    }
    if (ok) {
      ctx_.Bar(kBarOpenShort, 80);
      ok = Evaluate();
    }
    if (!ok) {
      ctx_.SetItem(kItemOpenShort, TEST_FAIL);
      Reset();
      return;
    }
    ctx_.Bar(kBarOpenShort, 90);
    // A chip left running the test program is not a finished module.
    if (!Reset()) ctx_.SetItem(kItemOpenShort, TEST_FAIL);
    ctx_.Bar(kBarOpenShort, 95);
  }

 private:
  bool Fail(const char* line, LogLevel level) {
    ctx_.Log(line, level);
    return false;
  }

  bool Reset() {
    if (ResetTouchChip() != 0) return true;
    return Fail(kResetFailed, LOG_ERROR);
  }

  bool LoadFirmware() {
    const auto path = platform::AppPaths::Resolve(kShortFirmwareText);
    const auto image = LoadShortFirmwareImage(path);
    if (!image) {
      ctx_.Log("[Short Test]短路测试程序缺失或无效：" + path.string(), LOG_ERROR);
      return false;
    }
    if (!Reset()) return false;
    for (int i = 0; i < kHoldWrites; ++i) {
      Write8(kHoldRegister, kHold);
      Write8(kWatchdogRegister, 0x00);
    }
    if (!Write8(0x4010, 0x00)) return Fail("step1-2 failed", LOG_ERROR);
    if (ReadChipReg8Checked(kHoldRegister) != kHold) {
      return Fail("[Short Test]Hold IC failed", LOG_ERROR);
    }
    if (ReadChipReg8Checked(kWatchdogRegister) != 0x00) {
      return Fail("[Short Test]Disable watch dog failed", LOG_ERROR);
    }
    if (!Write8(0x404B, 0x00)) return Fail("[Short Test]Clear cache enable failed", LOG_INFO);
    if (!Write8(0x4190, 0x02)) return Fail("[Short Test]Set boot from sram failed", LOG_ERROR);
    if (!Write8(0x4048, 0x00)) return Fail("select bank0 failed", LOG_INFO);
    if (!Write8(0x4049, 0x01)) return Fail("enable accessing failed", LOG_INFO);
    if (WriteChipRegs(kProgramAddress, image->data(), static_cast<uint32_t>(image->size())) == 0) {
      return Fail("[Short Test]burn 8k ShortFw failed", LOG_ERROR);
    }
    if (!Verify(*image)) return Fail("[Short Test]recall check 8k ShortFW  failed", LOG_ERROR);
    ctx_.Sleep(1);
    if (!Write8(kRunFlagRegister, 0x00)) return Fail("clear IC run flag failed", LOG_INFO);
    if (!Write8(0x4218, 0x03)) return Fail("close code scramble failed", LOG_INFO);
    if (!Write8(0x4184, 0x01)) return Fail("stop reset CPU failed", LOG_INFO);
    if (!Write8(kHoldRegister, kRun)) return Fail("chip begin to run code failed", LOG_INFO);
    return true;
  }

  // The program read back equals the image; one second look when it does not.
  bool Verify(const std::vector<uint8_t>& image) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      const auto recalled =
          ReadChipBytes(kProgramAddress, static_cast<uint32_t>(image.size()), kRecallTimeoutMs);
      if (!recalled) return Fail("recall i2c error failed", LOG_ERROR);
      if (*recalled == image) return true;
    }
    return Fail("Recall frame data fail,not equal.", LOG_ERROR);
  }

  bool Start() {
    const ShortBlockA block = BuildShortBlockA(Threshold(ctx_.settings.ch2ChThreshold),
                                               Threshold(ctx_.settings.ch2GndThreshold),
                                               Threshold(ctx_.settings.waitFrames), maps_);
    if (!hasBackup_) ctx_.Log("[Short Test]无配置备份，按芯片通道号报告", LOG_INFO);
    if (PollChipReg8(kRunFlagRegister, kProgramReady, kReadyPolls) == 0) {
      return Fail(kReadRunFailed, LOG_ERROR);
    }
    if (WriteChipRegs(kBlockRegister, block.data(), static_cast<uint32_t>(block.size())) == 0) {
      return false;
    }
    if (!Write8(kRunFlagRegister, kProgramStart)) return Fail("step9 failed", LOG_INFO);
    ctx_.Sleep(kTestStartWaitMs);
    if (PollChipReg8(kDoneRegister, kDone, kDonePolls) == 0) return Fail(kReadRunFailed, LOG_ERROR);
    return true;
  }

  bool Evaluate() {
    const auto status = ReadChipReg8Checked(kStatusRegister);
    if (!status) return Fail(kDataFailed, LOG_ERROR);
    if (*status == 0) {
      ctx_.Log("短路测试通过", LOG_OK);
      return true;
    }
    if ((*status & 0xF0) != 0) {
      ctx_.Log(LineText("[Short Test]未知的短路测试状态：0x%02X", *status), LOG_ERROR);
      return false;
    }
    const auto nTx = ReadChipReg8Checked(kTxCountRegister);
    const auto nRx = ReadChipReg8Checked(kRxCountRegister);
    if (!nTx || !nRx || *nTx > kMaxTxRecords || *nRx > kMaxRxRecords) {
      return Fail(kDataFailed, LOG_ERROR);
    }
    std::vector<std::string> lines;
    auto take = [&lines](std::vector<std::string> more) {
      lines.insert(lines.end(), more.begin(), more.end());
    };
    if ((*status & 0x05) != 0) {
      const auto records = ReadChipBytes(kTxRecords, *nTx * kTxRecordBytes, kRecordTimeoutMs);
      if (!records) return Fail("step3-4-1 failed", LOG_ERROR);
      for (size_t i = 0; i < *nTx; ++i)
        take(TxRecordLines(records->data() + i * kTxRecordBytes, maps_));
    }
    if ((*status & 0x02) != 0) {
      const auto records = ReadChipBytes(kRxRecords, *nRx * kRxRecordBytes, kRecordTimeoutMs);
      if (!records) return Fail("step3-4-2 failed", LOG_ERROR);
      for (size_t i = 0; i < *nRx; ++i)
        take(RxRecordLines(records->data() + i * kRxRecordBytes, maps_));
    }
    if ((*status & 0x08) != 0) {
      const auto data = ReadChipBytes(kSupplyData, kSupplyRecordBytes, kRecordTimeoutMs);
      if (!data) return Fail(kDataFailed, LOG_ERROR);
      take(SupplyLines(data->data(), maps_));
    }
    for (const std::string& line : lines) ctx_.Log(line, LOG_ERROR);
    return lines.empty();
  }

  RunContext& ctx_;
  const ShortMapsA maps_;
  const bool hasBackup_;
};

}  // namespace

ShortBlockA BuildShortBlockA(uint16_t ch2Ch, uint16_t ch2Gnd, uint16_t waitFrames,
                             const ShortMapsA& maps) {
  ShortBlockA block{};
  const uint16_t head[3] = {ch2Ch, ch2Gnd, waitFrames};
  for (size_t i = 0; i < 3; ++i) {
    block[2 * i] = static_cast<uint8_t>(head[i] >> 8);
    block[2 * i + 1] = static_cast<uint8_t>(head[i] & 0xFF);
  }
  std::copy(maps.drive.begin(), maps.drive.end(), block.begin() + 6);
  std::copy(maps.sense.begin(), maps.sense.end(), block.begin() + 48);
  uint8_t sum = 0;
  for (size_t i = 0; i < 78; ++i) sum = static_cast<uint8_t>(sum + block[i]);
  block[78] = static_cast<uint8_t>(0 - sum);
  return block;
}

std::vector<std::string> TxRecordLines(const uint8_t* record, const ShortMapsA& maps) {
  std::vector<std::string> lines;
  const int a = record[0] & 0x7F;
  const uint16_t base = BigEndian(record + 1);
  for (int j = std::min(a, 42); j < 42; ++j) {
    const uint16_t v = BigEndian(record + 3 + 2 * j);
    if (v <= kShortValueFloor) continue;
    const int64_t r =
        SameDriveGroup(a, j) ? Resistance(base, 40, v, 40) : Resistance(base, 60, v, 60);
    if (r > kShortReportLimitKOhm) continue;
    lines.push_back(LineText("Tx%d与Tx%d短路，阻值为：%dK欧", maps.PanelDrive(a),
                             maps.PanelDrive(j), static_cast<int>(r)));
  }
  for (int k = 0; k < 30; ++k) {
    const uint16_t v = BigEndian(record + 87 + 2 * k);
    if (v <= kShortValueFloor) continue;
    const int64_t r = Resistance(base, 60, v, k % 2 == 0 ? 60 : 40);
    if (r > kShortReportLimitKOhm) continue;
    lines.push_back(LineText("Tx%d与Rx%d短路，阻值为：%dK欧", maps.PanelDrive(a),
                             maps.PanelSense(k), static_cast<int>(r)));
  }
  return lines;
}

std::vector<std::string> RxRecordLines(const uint8_t* record, const ShortMapsA& maps) {
  std::vector<std::string> lines;
  const int b = record[0] & 0x7F;
  const uint16_t base = BigEndian(record + 1);
  for (int k = 0; k < 30; ++k) {
    const uint16_t v = BigEndian(record + 3 + 2 * k);
    if (v <= kShortValueFloor) continue;
    const int64_t r = Resistance(base, 60, v, 60);
    if (r > kShortReportLimitKOhm) continue;
    lines.push_back(LineText("Rx%d与Rx%d短路，阻值为：%dK欧", maps.PanelSense(b),
                             maps.PanelSense(k), static_cast<int>(r)));
  }
  return lines;
}

std::vector<std::string> SupplyLines(const uint8_t* data, const ShortMapsA& maps) {
  std::vector<std::string> lines;
  for (int k = 0; k < 72; ++k) {
    const uint16_t w = BigEndian(data + 2 * k);
    const uint16_t magnitude = (w & 0x8000) != 0 ? static_cast<uint16_t>(w & 0x7FFF) : w;
    // Nothing measured: an infinite resistance, no short.
    if (magnitude == 0) continue;
    double r = 0;
    if ((w & 0x8000) != 0) {
      const double x = ((magnitude / 0.9) * 0.7 * 0.0009765625 / 2.4) / 40.0;
      r = 1.0 / x - 40.0;
    } else {
      r = 52662.85 / w - 40.0;
    }
    const auto kohm = static_cast<int64_t>(std::trunc(std::clamp(r, 0.0, 1e9)));
    if (kohm > kShortReportLimitKOhm) continue;
    lines.push_back(k < 42 ? LineText("TX%d与AVDD短路，阻值为：%dK欧", maps.PanelDrive(k),
                                      static_cast<int>(kohm))
                           : LineText("RX%d与AVDD短路，阻值为：%dK欧", maps.PanelSense(k - 42),
                                      static_cast<int>(kohm)));
  }
  return lines;
}

void RunShortTest(RunContext& ctx, const CConfig* backup) { ShortTestA(ctx, backup).Run(); }
