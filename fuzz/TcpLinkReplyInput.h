#pragma once
// How fuzz_tcp_link_reply reads its input (FuzzedDataProvider): the pool of
// bytes the peer sends and its length, then the number of requests and for
// each its operation, length and address, the bytes the peer sends unasked
// before it goes out and the bytes it answers once its frame is in (both
// taken from the pool in that order). The seed generator writes its inputs by
// the same ranges, so that a seed still decodes as meant when they change.

#include <cstddef>
#include <cstdint>

#include "device/HidRequest.h"

namespace tcp_link_reply_input {

inline constexpr size_t kMaxPool = 32 * 1024;    // bytes the peer sends in all
inline constexpr int kMaxRequests = 6;           // at least 1
inline constexpr uint32_t kMaxOp = HidOpClose;   // operations 0..kMaxOp
inline constexpr uint32_t kMaxLength = 700;      // bytes of one request
inline constexpr size_t kMaxStray = 64;          // unasked bytes before a request
inline constexpr size_t kMaxAnswer = 1024;       // bytes sent after one frame
inline constexpr uint32_t kTimeoutMs = 2;        // each request's time-out

}  // namespace tcp_link_reply_input
