#include "sim/DataPlane.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "sim/SimChip.h"
#include "sim/ValueEncoding.h"

namespace sim {

DataPlane::DataPlane(DataPlaneConfig config) : config_(config), signal_(config_) {}

void DataPlane::Attach(SimChip& chip) {
  chip.SetSyncFlagAddress(config_.syncFlagAddress);
  // The plain stream's counting patterns make way for the panel's frames.
  for (uint16_t base : {kRawFrameAddress, kDiffFrameAddress, kObserveAddress}) {
    chip.SetFrameSource(base, 0, {});
  }
  InstallRegion(chip, config_.raw.address, config_.raw.Bytes(), &DataPlane::RawBytes);
  InstallRegion(chip, config_.diff.address, config_.diff.Bytes(), &DataPlane::DiffBytes);
  InstallRegion(chip, config_.observe.address, config_.observe.Bytes(), &DataPlane::ObserveBytes);
  // The report's first byte is the flag itself; its hook gives the status.
  InstallRegion(chip, static_cast<uint16_t>(config_.syncFlagAddress + 1),
                kCoordinateReportBytes - 1, &DataPlane::ReportTailBytes);
  InstallRegion(chip, config_.stylusAddress, config_.stylusLength, &DataPlane::StylusReport);
  chip.SetReportSource([this](uint64_t frame) { return Report(frame)[0]; });

  const std::vector<uint8_t> channels(config_.channelBytes.begin(), config_.channelBytes.end());
  chip.SetPowerOnBytes(config_.channelAddress, channels);
  std::vector<uint8_t> resolution(4);
  EncodeValue(config_.resolutionX, 2, true, resolution.data());
  EncodeValue(config_.resolutionY, 2, true, resolution.data() + 2);
  chip.SetPowerOnBytes(config_.resolutionAddress, resolution);
}

void DataPlane::InstallRegion(SimChip& chip, uint16_t base, size_t length, Builder build) {
  SimChip* owner = &chip;
  chip.SetFrameSource(
      base, length, [this, owner, base, build](size_t offset, uint8_t* out, size_t count) {
        if (suspended_) {
          const std::vector<uint8_t> regs =
              owner->PeekRange(static_cast<uint16_t>(base + offset), count);
          std::copy(regs.begin(), regs.end(), out);
          return;
        }
        const std::vector<uint8_t> bytes = (this->*build)(owner->FrameCounter());
        const size_t have = offset < bytes.size() ? std::min(count, bytes.size() - offset) : 0;
        if (have > 0) std::memcpy(out, bytes.data() + offset, have);
        std::fill(out + have, out + count, uint8_t{0});
      });
}

void DataPlane::ScriptTouches(TouchState state) {
  std::lock_guard lock(scriptMutex_);
  script_ = std::move(state);
}

TouchState DataPlane::Touches(uint64_t frame) const {
  {
    std::lock_guard lock(scriptMutex_);
    if (script_) return *script_;
  }
  return AutomaticTouches(config_, frame);
}

void DataPlane::SetRawFilter(RawFilter filter) {
  std::lock_guard lock(scriptMutex_);
  rawFilter_ = std::move(filter);
}

std::vector<int32_t> DataPlane::RawFrame(uint64_t frame) const {
  std::vector<int32_t> values = signal_.RawFrame(frame, Touches(frame));
  RawFilter filter;
  {
    std::lock_guard lock(scriptMutex_);
    filter = rawFilter_;
  }
  if (filter) filter(frame, values);
  return values;
}

std::vector<int32_t> DataPlane::DiffFrame(uint64_t frame) const {
  return signal_.DiffFrame(frame, Touches(frame));
}

std::vector<int32_t> DataPlane::ObserveFrame(uint64_t frame) const {
  return signal_.ObserveFrame(frame);
}

CoordinateReport DataPlane::Report(uint64_t frame) const {
  return BuildCoordinateReport(Touches(frame));
}

std::vector<uint8_t> DataPlane::StylusReport(uint64_t frame) const {
  return signal_.StylusReport(frame);
}

std::vector<uint8_t> DataPlane::RawBytes(uint64_t frame) const {
  return EncodeFrame(RawFrame(frame), config_.raw);
}

std::vector<uint8_t> DataPlane::DiffBytes(uint64_t frame) const {
  return EncodeFrame(DiffFrame(frame), config_.diff);
}

std::vector<uint8_t> DataPlane::ObserveBytes(uint64_t frame) const {
  return EncodeFrame(ObserveFrame(frame), config_.observe);
}

std::vector<uint8_t> DataPlane::ReportTailBytes(uint64_t frame) const {
  const CoordinateReport report = Report(frame);
  return std::vector<uint8_t>(report.begin() + 1, report.end());
}

DataPlane& AddDataPlane(SimChip& chip, DataPlaneConfig config) {
  auto plane = std::make_unique<DataPlane>(config);
  DataPlane& ref = *plane;
  chip.AddBehaviour(std::move(plane));
  return ref;
}

}  // namespace sim
