#include "device/link/HidRequest.h"

#include <cstring>

CHidRequest::CHidRequest(uint32_t op, uint16_t address, uint8_t* buffer, uint32_t length,
                         uint32_t command, uint32_t timeout, Callback callback)
    : operation(op),
      buffer(buffer),
      length(length),
      timeout(timeout),
      callback(callback ? std::move(callback) : Callback(DefaultRequestDone)),
      bridgeCmd(command) {
  header = {static_cast<uint8_t>(op),           static_cast<uint8_t>(command),
            static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
            static_cast<uint8_t>(length >> 8),  static_cast<uint8_t>(length)};
  if (this->buffer == nullptr && length <= kInlineSize) this->buffer = inlineData.data();
}

std::shared_ptr<CHidRequest> CHidRequest::Make(uint32_t op, uint16_t address, uint8_t* buffer,
                                               uint32_t length, uint32_t command, uint32_t timeout,
                                               Callback callback) {
  return std::make_shared<CHidRequest>(op, address, buffer, length, command, timeout,
                                       std::move(callback));
}

bool CHidRequest::IsTransferable() const {
  return length <= kMaxRequestLength && (buffer != nullptr || length == 0);
}

void CHidRequest::Complete(uint32_t transferResult) {
  result = transferResult != 0 ? 1 : 0;
  try {
    callback(*this);
  } catch (...) {
    // A throwing callback must not take the executing thread with it.
  }
  event.Set();
}

bool CHidRequest::WaitDone() {
  const bool signalled = event.Wait(platform::kInfinite);
  event.Reset();
  return signalled && result == 1;
}

void DefaultRequestDone(CHidRequest& request) {
  if (request.operation == HidOpRead && request.result == 0 && request.buffer != nullptr) {
    std::memset(request.buffer, 0xEE, request.length);
  }
}
