// fuzz_tcp_link_reply takes the peer's whole answer stream from the front of
// its input and, from the back, the stream's length, the number of requests
// and each request's operation, length and address (FuzzedDataProvider).
// The answers are what the simulated networked device sends: 8 bytes in
// front, then the chip's register bytes.

#include <algorithm>

#include "device/HidRequest.h"
#include "device/net/TcpLink.h"
#include "fuzz/TcpLinkReplyInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/SimChip.h"

namespace fuzzseeds {

namespace {

using namespace tcp_link_reply_input;

struct Request {
  uint32_t op;
  uint16_t address;
  uint32_t length;
};

// The simulated device's answer to a read.
std::vector<uint8_t> Answer(sim::SimChip& chip, const Request& r) {
  std::vector<uint8_t> reply(CTcpLink::kReplySkip, 0);
  const std::vector<uint8_t> data = chip.Read(r.address, r.length, BridgeCmdRegister);
  reply.insert(reply.end(), data.begin(), data.end());
  return reply;
}

// `cut` bytes fewer than the answers make: the last read ends early.
Seed Make(const char* name, const std::vector<Request>& requests, size_t cut = 0) {
  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::RU9));
  std::vector<uint8_t> stream;
  for (const Request& r : requests) {
    if (r.op != HidOpRead) continue;
    const std::vector<uint8_t> answer = Answer(chip, r);
    stream.insert(stream.end(), answer.begin(), answer.end());
  }
  stream.resize(stream.size() - std::min(cut, stream.size()));

  ProviderInput input;
  input.Integer(0, kMaxReply, stream.size());
  input.Bytes(stream);
  input.Integer(1, kMaxRequests, requests.size());
  for (const Request& r : requests) {
    input.Integer(0, kMaxOp, r.op);
    input.Integer(0, kMaxLength, r.length);
    input.Integer(0, 0xFFFF, r.address);
  }
  return {name, input.Build()};
}

}  // namespace

TargetSeeds TcpLinkReplySeeds() {
  const uint16_t id = sim::LayoutOf(sim::ChipFamily::RU9).idAddress;
  const auto idLength = static_cast<uint32_t>(sim::LayoutOf(sim::ChipFamily::RU9).idLength);
  TargetSeeds t{"fuzz_tcp_link_reply", {}};
  t.seeds.push_back(Make("id_block_read", {{HidOpRead, id, idLength}}));
  t.seeds.push_back(
      Make("write_then_reads",
           {{HidOpWrite, 0x8040, 1}, {HidOpRead, id, idLength}, {HidOpRead, 0x814E, 1}}));
  t.seeds.push_back(Make("frame_part_read", {{HidOpRead, sim::kRawFrameAddress, 640}}));
  t.seeds.push_back(
      Make("answer_cut_short", {{HidOpRead, id, idLength}, {HidOpRead, 0x8047, 16}}, 5));
  t.seeds.push_back(Make("empty_read_then_open", {{HidOpRead, id, 0}, {HidOpOpen, 0, 0}}));
  return t;
}

}  // namespace fuzzseeds
