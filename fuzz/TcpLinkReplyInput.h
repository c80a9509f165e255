#pragma once
// How fuzz_tcp_link_reply reads its input (FuzzedDataProvider): the answer
// stream's length and bytes, then the number of requests and each request's
// operation, length and address. The seed generator writes its inputs by the
// same ranges, so that a seed still decodes as meant when they change.

#include <cstddef>
#include <cstdint>

#include "device/HidRequest.h"

namespace tcp_link_reply_input {

inline constexpr size_t kMaxReply = 32 * 1024;  // bytes the peer sends
inline constexpr int kMaxRequests = 4;          // at least 1
inline constexpr uint32_t kMaxOp = HidOpClose;  // operations 0..kMaxOp
inline constexpr uint32_t kMaxLength = 700;     // bytes of one request

}  // namespace tcp_link_reply_input
