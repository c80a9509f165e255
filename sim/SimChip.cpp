#include "sim/SimChip.h"

#include <algorithm>

#include "sim/StreamBehaviour.h"

namespace sim {

SimChipConfig SimChipConfig::For(ChipFamily family) {
  SimChipConfig config;
  config.family = family;
  if (family == ChipFamily::DE7) {
    config.productId = "7388";
    config.firmwareVersion = 0x010A;
    // DE7 chips keep their sense-channel count at 0x81CC, right after the
    // observe block: the block must end before it.
    config.observeBytes = 12;
  } else {
    config.productId = "9111";
    config.firmwareVersion = 0x1060;
  }
  config.syncFlagAddress = LayoutOf(family).syncFlagAddress;
  return config;
}

SimChip::SimChip(SimChipConfig config)
    : family_(config.family),
      persistent_(kRegisterCount, false),
      hasReadHook_(kRegisterCount, false),
      hasWriteHook_(kRegisterCount, false) {
  ApplyIdentity(config);
  auto stream = std::make_unique<StreamBehaviour>(
      config.syncFlagAddress, config.flagReadsUntilReady, config.frameBytes, config.observeBytes);
  stream_ = stream.get();
  AddBehaviour(std::move(stream));
}

SimChip::~SimChip() = default;

void SimChip::ApplyIdentity(const SimChipConfig& config) {
  const FamilyLayout& layout = LayoutOf(config.family);
  std::vector<uint8_t> id(layout.idLength, 0);
  for (size_t i = 0; i < 4 && i < config.productId.size(); ++i) {
    id[i] = static_cast<uint8_t>(config.productId[i]);
  }
  const auto high = static_cast<uint8_t>(config.firmwareVersion >> 8);
  const auto low = static_cast<uint8_t>(config.firmwareVersion & 0xFF);
  if (config.family == ChipFamily::DE7) {
    id[6] = high;
    id[7] = low;
  } else {
    id[4] = low;
    id[5] = high;
  }
  SetPowerOnBytes(layout.idAddress, id);
  SetPowerOnBytes(layout.sensorIdAddress, {config.sensorId});
  SetPowerOnBytes(kCommandRegister, {layout.commandIdleValue});
}

uint8_t SimChip::ReadByteLocked(uint16_t address, uint8_t cmd) {
  if (!hasReadHook_[address]) return regs_[address];
  ReadHook hook = readHooks_[address];  // a copy: the hook may replace itself
  return hook(*this, ByteAccess{cmd, address, regs_[address]});
}

std::vector<uint8_t> SimChip::Read(uint16_t address, size_t length, uint8_t cmd) {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> out(length);
  size_t i = 0;
  while (i < length) {
    const auto at = static_cast<uint16_t>(address + i);
    size_t mappedOffset = 0;
    if (const Mapping* mapping = MappingAt(at, mappedOffset)) {
      const size_t run = std::min(length - i, mapping->length - mappedOffset);
      mapping->memory->ReadMemory(mappedOffset, out.data() + i, run);
      i += run;
      continue;
    }
    auto region = frames_.upper_bound(at);
    if (region != frames_.begin()) {
      --region;
      const size_t offset = at - region->first;
      if (offset < region->second.length) {
        const size_t run = std::min(length - i, region->second.length - offset);
        FrameSource source = region->second.source;
        source(offset, out.data() + i, run);
        i += run;
        continue;
      }
    }
    out[i] = ReadByteLocked(at, cmd);
    ++i;
  }
  ++readCounts_[address];
  if (logEnabled_) log_.push_back(ChipAccess{AccessOp::Read, cmd, address, out});
  return out;
}

void SimChip::Write(uint16_t address, const uint8_t* data, size_t length, uint8_t cmd) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < length; ++i) {
    const auto at = static_cast<uint16_t>(address + i);
    size_t mappedOffset = 0;
    if (const Mapping* mapping = MappingAt(at, mappedOffset)) {
      const size_t run = std::min(length - i, mapping->length - mappedOffset);
      // A behaviour watching an address under the mapping sees the write
      // too (a program image arriving in a memory window); the memory takes
      // the bytes all the same.
      for (size_t k = 0; k < run; ++k) {
        const auto watched = static_cast<uint16_t>(at + k);
        if (!hasWriteHook_[watched]) continue;
        WriteHook hook = writeHooks_[watched];
        hook(*this, ByteAccess{cmd, watched, data[i + k]});
      }
      mapping->memory->WriteMemory(mappedOffset, data + i, run);
      i += run - 1;
      continue;
    }
    if (hasWriteHook_[at]) {
      WriteHook hook = writeHooks_[at];
      hook(*this, ByteAccess{cmd, at, data[i]});
    } else {
      regs_[at] = data[i];
    }
  }
  if (logEnabled_) {
    log_.push_back(
        ChipAccess{AccessOp::Write, cmd, address, std::vector<uint8_t>(data, data + length)});
  }
}

void SimChip::Reset() {
  std::lock_guard lock(mutex_);
  for (size_t a = 0; a < kRegisterCount; ++a) {
    if (!persistent_[a]) regs_[a] = powerOn_[a];
  }
  for (auto& behaviour : behaviours_) behaviour->OnReset(*this);
}

uint8_t SimChip::Peek(uint16_t address) const {
  std::lock_guard lock(mutex_);
  return regs_[address];
}

std::vector<uint8_t> SimChip::PeekRange(uint16_t address, size_t length) const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> out(length);
  for (size_t i = 0; i < length; ++i) out[i] = regs_[static_cast<uint16_t>(address + i)];
  return out;
}

void SimChip::Poke(uint16_t address, uint8_t value) {
  std::lock_guard lock(mutex_);
  regs_[address] = value;
}

void SimChip::PokeRange(uint16_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < bytes.size(); ++i) regs_[static_cast<uint16_t>(address + i)] = bytes[i];
}

void SimChip::SetPowerOnBytes(uint16_t address, const std::vector<uint8_t>& bytes) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto at = static_cast<uint16_t>(address + i);
    powerOn_[at] = bytes[i];
    regs_[at] = bytes[i];
  }
}

void SimChip::MarkPersistent(uint16_t address, size_t length) {
  std::lock_guard lock(mutex_);
  for (size_t i = 0; i < length && i < kRegisterCount; ++i) {
    persistent_[static_cast<uint16_t>(address + i)] = true;
  }
}

SimChip::ReadHook SimChip::SetReadHook(uint16_t address, ReadHook hook) {
  std::lock_guard lock(mutex_);
  ReadHook previous;
  if (auto it = readHooks_.find(address); it != readHooks_.end()) {
    previous = std::move(it->second);
    readHooks_.erase(it);
  }
  hasReadHook_[address] = static_cast<bool>(hook);
  if (hook) readHooks_[address] = std::move(hook);
  return previous;
}

SimChip::WriteHook SimChip::SetWriteHook(uint16_t address, WriteHook hook) {
  std::lock_guard lock(mutex_);
  WriteHook previous;
  if (auto it = writeHooks_.find(address); it != writeHooks_.end()) {
    previous = std::move(it->second);
    writeHooks_.erase(it);
  }
  hasWriteHook_[address] = static_cast<bool>(hook);
  if (hook) writeHooks_[address] = std::move(hook);
  return previous;
}

void SimChip::SetFrameSource(uint16_t base, size_t length, FrameSource source) {
  std::lock_guard lock(mutex_);
  frames_.erase(base);
  // A region ends at the top of the address space; reads that wrap past it
  // continue in the plain register file.
  length = std::min(length, kRegisterCount - base);
  if (source && length > 0) frames_[base] = FrameRegion{length, std::move(source)};
}

void SimChip::AddBehaviour(std::unique_ptr<ChipBehaviour> behaviour) {
  std::lock_guard lock(mutex_);
  behaviour->Attach(*this);
  behaviours_.push_back(std::move(behaviour));
}

void SimChip::MapMemory(uint16_t base, size_t length, MappedMemory* memory) {
  std::lock_guard lock(mutex_);
  mappings_.erase(base);
  length = std::min(length, kRegisterCount - base);
  if (memory != nullptr && length > 0) mappings_[base] = Mapping{length, memory};
}

const SimChip::Mapping* SimChip::MappingAt(uint16_t address, size_t& offset) const {
  if (mappings_.empty()) return nullptr;
  auto it = mappings_.upper_bound(address);
  if (it == mappings_.begin()) return nullptr;
  --it;
  offset = address - it->first;
  return offset < it->second.length ? &it->second : nullptr;
}

bool SimChip::IsStreaming() const {
  std::lock_guard lock(mutex_);
  return stream_->IsStreaming();
}

uint16_t SimChip::SyncFlagAddress() const {
  std::lock_guard lock(mutex_);
  return stream_->FlagAddress();
}

void SimChip::SetSyncFlagAddress(uint16_t address) {
  std::lock_guard lock(mutex_);
  stream_->MoveFlag(*this, address);
}

void SimChip::SetFlagReadsUntilReady(unsigned reads) {
  std::lock_guard lock(mutex_);
  stream_->SetReadsUntilReady(reads);
}

void SimChip::SetFlagNeverReady(bool never) {
  std::lock_guard lock(mutex_);
  stream_->SetNeverReady(never);
}

void SimChip::SetReportSource(std::function<uint8_t(uint64_t frame)> source) {
  std::lock_guard lock(mutex_);
  stream_->SetReportSource(std::move(source));
}

uint64_t SimChip::FrameCounter() const {
  std::lock_guard lock(mutex_);
  return stream_->FrameCounter();
}

uint8_t SimChip::DefaultFrameByte(uint16_t base, uint64_t frame, size_t offset) {
  return static_cast<uint8_t>(offset + frame * 16 + (base & 0xFF));
}

std::vector<ChipAccess> SimChip::AccessLog() const {
  std::lock_guard lock(mutex_);
  return log_;
}

void SimChip::ClearAccessLog() {
  std::lock_guard lock(mutex_);
  log_.clear();
  readCounts_.clear();
}

size_t SimChip::ReadCount(uint16_t address) const {
  std::lock_guard lock(mutex_);
  auto it = readCounts_.find(address);
  return it == readCounts_.end() ? 0 : it->second;
}

void SimChip::SetAccessLogEnabled(bool enabled) {
  std::lock_guard lock(mutex_);
  logEnabled_ = enabled;
}

}  // namespace sim
