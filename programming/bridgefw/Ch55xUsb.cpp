#include "programming/bridgefw/Ch55xUsb.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

using platform::UsbIoResult;

namespace {

// After a read timed out, a late answer is cleared away before the next
// request so that answers and requests stay paired; bounded both ways.
constexpr uint32_t kLateAnswerWaitMs = 50;
constexpr int kLateAnswerReads = 4;
// 2.x bootloaders answer identify with type and family; 1.x ones with two
// bare bytes.
constexpr size_t kIdentifyPayloadBytes = 2;
// Erased flash reads 0xFF: the image is padded with it to whole 8-byte
// groups of the key.
constexpr uint8_t kErasedByte = 0xFF;

}  // namespace

Ch55xUsbBackend::Ch55xUsbBackend(platform::IUsbBackend& usb) : usb_(usb) {}

bool Ch55xUsbBackend::SetOption(const IspOptionBlock& block) {
  soughtType_ = block.DeviceType();
  return true;
}

Ch55xUsbBackend::Session* Ch55xUsbBackend::Find(uint32_t deviceId) {
  if (deviceId == 0 || deviceId > sessions_.size()) return nullptr;
  return &sessions_[deviceId - 1];
}

std::optional<std::vector<uint8_t>> Ch55xUsbBackend::Exchange(Session& session,
                                                              const std::vector<uint8_t>& request,
                                                              uint32_t timeoutMs) {
  if (!session.port) return std::nullopt;
  std::array<uint8_t, ch55x::kPacketBytes> packet{};
  size_t received = 0;
  const auto gone = [&](UsbIoResult result) {
    if (result == UsbIoResult::Removed) {
      session.gone = true;
      session.port.reset();
    }
    return std::nullopt;
  };
  if (session.answerOverdue) {
    for (int i = 0; i < kLateAnswerReads; ++i) {
      const UsbIoResult late = session.port->Read(packet, &received, kLateAnswerWaitMs);
      if (late == UsbIoResult::Removed) return gone(late);
      if (late != UsbIoResult::Ok) break;
    }
    session.answerOverdue = false;
  }
  if (UsbIoResult sent = session.port->Write(request, timeoutMs); sent != UsbIoResult::Ok) {
    return gone(sent);
  }
  const UsbIoResult read = session.port->Read(packet, &received, timeoutMs);
  if (read == UsbIoResult::Timeout) session.answerOverdue = true;
  if (read != UsbIoResult::Ok) return gone(read);
  return ch55x::AnswerPayload(request[0], std::span<const uint8_t>(packet).first(received));
}

bool Ch55xUsbBackend::Act(Session& session, const std::vector<uint8_t>& request,
                          uint32_t timeoutMs) {
  const auto payload = Exchange(session, request, timeoutMs);
  return payload && !payload->empty() && (*payload)[0] == 0x00;
}

std::optional<std::pair<uint8_t, uint8_t>> Ch55xUsbBackend::Identify(Session& session) {
  const auto payload = Exchange(session, ch55x::IdentifyRequest(), ch55x::kCommandTimeoutMs);
  if (!payload || payload->size() != kIdentifyPayloadBytes) return std::nullopt;
  return std::make_pair((*payload)[0], (*payload)[1]);
}

std::optional<ch55x::Key> Ch55xUsbBackend::SetKey(Session& session) {
  const auto config = Exchange(session, ch55x::ReadConfigRequest(), ch55x::kCommandTimeoutMs);
  if (!config) return std::nullopt;
  const auto parsed = ch55x::ParseConfig(*config);
  if (!parsed) return std::nullopt;
  const ch55x::Key key = ch55x::DeriveKey(parsed->uniqueId, session.chipType);
  const auto sum = Exchange(session, ch55x::SetKeyRequest(), ch55x::kCommandTimeoutMs);
  // Another sum means the bootloader derived another key: nothing it would
  // decode could be trusted.
  if (!sum || sum->size() != 1 || (*sum)[0] != ch55x::KeySum(key)) return std::nullopt;
  return key;
}

bool Ch55xUsbBackend::Chunks(Session& session, uint8_t command, std::span<const uint8_t> image,
                             const ch55x::Key& key) {
  for (size_t at = 0; at < image.size(); at += ch55x::kChunkBytes) {
    const auto chunk = image.subspan(at, std::min(ch55x::kChunkBytes, image.size() - at));
    if (!Act(session, ch55x::ChunkRequest(command, static_cast<uint32_t>(at), chunk, key),
             ch55x::kCommandTimeoutMs)) {
      return false;
    }
  }
  return true;
}

int Ch55xUsbBackend::EnumDevices(IspDeviceList& list) {
  sessions_.clear();
  for (const platform::UsbDeviceInfo& device : usb_.Enumerate(ch55x::kLoaderIds)) {
    if (sessions_.size() == list.size()) break;
    Session session;
    session.device = device;
    session.port = usb_.Open(device, ch55x::kPipe);
    if (!session.port) continue;
    const auto identity = Identify(session);
    session.port.reset();
    if (!identity) continue;
    const auto flash = ch55x::UserFlashBytes(identity->second, identity->first);
    if (!flash || identity->first != soughtType_) continue;
    session.chipType = identity->first;
    session.userFlashBytes = *flash;
    sessions_.push_back(std::move(session));
    list[sessions_.size() - 1].SetId(static_cast<uint32_t>(sessions_.size()));
  }
  return static_cast<int>(sessions_.size());
}

bool Ch55xUsbBackend::FlashProgram(uint32_t deviceId, std::span<const uint8_t> image) {
  Session* session = Find(deviceId);
  if (session == nullptr || session->gone || session->verifyFailed) return false;
  session->verified = false;
  session->port.reset();
  if (image.empty() || image.size() > session->userFlashBytes) return false;
  session->port = usb_.Open(session->device, ch55x::kPipe);
  if (!session->port) return false;
  session->verified = Burn(*session, image);
  // Kept only for the end request; a failed burn lets the device go, to be
  // burnt again by whichever programmer comes next.
  if (!session->verified) session->port.reset();
  return session->verified;
}

bool Ch55xUsbBackend::Burn(Session& session, std::span<const uint8_t> image) {
  std::vector<uint8_t> padded(image.begin(), image.end());
  padded.resize((padded.size() + 7) / 8 * 8, kErasedByte);

  // Also tells that the device opened is still the one enumerated.
  const auto identity = Identify(session);
  if (!identity || identity->first != session.chipType || identity->second != ch55x::kFamily) {
    return false;
  }
  auto key = SetKey(session);
  if (!key || !Act(session, ch55x::EraseRequest(padded.size()), ch55x::kEraseTimeoutMs) ||
      !Chunks(session, ch55x::kProgram, padded, *key)) {
    return false;
  }
  key = SetKey(session);
  if (!key) return false;
  if (!Chunks(session, ch55x::kVerify, padded, *key)) {
    session.verifyFailed = true;
    return false;
  }
  return true;
}

void Ch55xUsbBackend::IspEnd() {
  for (Session& session : sessions_) {
    // A failed burn stays in the bootloader, where it can be burnt again.
    if (!session.verified || !session.port) continue;
    // Some bootloaders never answer this: nothing is read back.
    session.port->Write(ch55x::EndRequest(), ch55x::kCommandTimeoutMs);
  }
  // Every claim goes with the sessions.
  sessions_.clear();
}
