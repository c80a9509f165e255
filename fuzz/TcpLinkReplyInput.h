#pragma once
// How fuzz_tcp_link_reply reads its input (FuzzedDataProvider): the pool of
// bytes the peer sends and its length, then the number of requests and for
// each its operation, length and address, how many bytes the peer sends
// unasked before it goes out, and how many bytes its answer lacks and has
// beyond what the request asks for (a write asks for none). Unasked bytes
// and answers are taken from the pool in that order, zeros once it is used
// up. The seed generator writes its inputs by the same ranges, so that a
// seed still decodes as meant when they change.

#include <cstddef>
#include <cstdint>

#include "device/link/HidRequest.h"

namespace tcp_link_reply_input {

inline constexpr size_t kMaxPool = 32 * 1024;    // bytes the peer sends in all
inline constexpr int kMaxRequests = 6;           // at least 1
inline constexpr uint32_t kMaxOp = HidOpClose;   // operations 0..kMaxOp
inline constexpr uint32_t kMaxLength = 700;      // bytes of one request
inline constexpr size_t kMaxStray = 64;          // unasked bytes before a request
inline constexpr size_t kMaxCut = 8 + kMaxLength;  // answer bytes that never come
inline constexpr size_t kMaxExtra = 64;          // answer bytes beyond the asked
inline constexpr uint32_t kTimeoutMs = 5;        // each request's time-out

}  // namespace tcp_link_reply_input
