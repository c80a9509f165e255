// fuzz_tcp_link_reply takes the pool of bytes its peer sends from the front
// of its input and, from the back, the pool's length, the number of requests
// and for each its operation, length and address, how many pool bytes the
// peer sends unasked before it, and how many bytes its answer lacks and has
// beyond what was asked (FuzzedDataProvider). The answers are what the
// simulated networked device sends: 8 bytes in front, then the chip's
// register bytes.

#include <algorithm>

#include "device/link/HidRequest.h"
#include "device/net/TcpLink.h"
#include "fuzz/TcpLinkReplyInput.h"
#include "fuzz/seeds/ProviderInput.h"
#include "fuzz/seeds/Seeds.h"
#include "sim/SimChip.h"
#include "sim/netdevice/SimTcpDevice.h"

namespace fuzzseeds {

namespace {

using namespace tcp_link_reply_input;
using Bytes = std::vector<uint8_t>;

struct Request {
  uint32_t op;
  uint16_t address;
  uint32_t length;
  Bytes stray = {};   // sent before the request goes out
  Bytes answer = {};  // sent once its frame is in
};

// The simulated device's answer to a read.
Bytes Answer(sim::SimChip& chip, uint16_t address, uint32_t length) {
  Bytes reply(CTcpLink::kReplySkip, 0);
  const Bytes data = chip.Read(address, length, BridgeCmdRegister);
  reply.insert(reply.end(), data.begin(), data.end());
  return reply;
}

Seed Make(const char* name, const std::vector<Request>& requests) {
  Bytes pool;
  for (const Request& r : requests) {
    pool.insert(pool.end(), r.stray.begin(), r.stray.end());
    pool.insert(pool.end(), r.answer.begin(), r.answer.end());
  }
  ProviderInput input;
  input.Integer(0, kMaxPool, pool.size());
  input.Bytes(pool);
  input.Integer(1, kMaxRequests, requests.size());
  for (const Request& r : requests) {
    input.Integer(0, kMaxOp, r.op);
    input.Integer(0, kMaxLength, r.length);
    input.Integer(0, 0xFFFF, r.address);
    const size_t asked = r.op == HidOpRead ? CTcpLink::kReplySkip + r.length : 0;
    input.Integer(0, kMaxStray, r.stray.size());
    input.Integer(0, kMaxCut, asked - std::min(asked, r.answer.size()));
    input.Integer(0, kMaxExtra, r.answer.size() - std::min(asked, r.answer.size()));
  }
  return {name, input.Build()};
}

}  // namespace

TargetSeeds TcpLinkReplySeeds() {
  sim::SimChip chip(sim::SimChipConfig::For(sim::ChipFamily::RU9));
  const uint16_t id = sim::LayoutOf(sim::ChipFamily::RU9).idAddress;
  const auto idLength = static_cast<uint32_t>(sim::LayoutOf(sim::ChipFamily::RU9).idLength);
  const auto read = [&](uint16_t address, uint32_t length) {
    return Request{HidOpRead, address, length, {}, Answer(chip, address, length)};
  };
  const Bytes stray(std::begin(sim::SimTcpDevice::kStrayBytes),
                    std::end(sim::SimTcpDevice::kStrayBytes));

  TargetSeeds t{"fuzz_tcp_link_reply", {}};
  t.seeds.push_back(Make("id_block_read", {read(id, idLength)}));
  t.seeds.push_back(
      Make("write_then_reads", {{HidOpWrite, 0x8040, 1}, read(id, idLength), read(0x814E, 1)}));
  t.seeds.push_back(Make("frame_part_read", {read(sim::kRawFrameAddress, 640)}));

  // The last answer ends 5 bytes early and nothing more comes.
  Request cut = read(0x8047, 16);
  cut.answer.resize(cut.answer.size() - 5);
  t.seeds.push_back(Make("answer_cut_short", {read(id, idLength), cut}));

  // The rest of a late answer comes in front of the next one.
  Request late = read(0x8047, 16);
  Request next = read(id, idLength);
  next.answer.insert(next.answer.begin(), late.answer.end() - 5, late.answer.end());
  late.answer.resize(late.answer.size() - 5);
  t.seeds.push_back(Make("late_rest_before_next_answer", {late, next, read(0x814E, 1)}));

  // A chatty device: unasked bytes before the first request, an answer
  // longer than asked before a write and a read.
  Request first = read(id, idLength);
  first.stray = stray;
  Request longer = read(0x8047, 16);
  longer.answer.insert(longer.answer.end(), sim::SimTcpDevice::kExtraBytes, 0xA5);
  t.seeds.push_back(Make("unasked_and_long_answers",
                         {first, longer, {HidOpWrite, 0x8040, 2}, read(0x814E, 1)}));

  t.seeds.push_back(Make("empty_read_then_open", {read(id, 0), {HidOpOpen, 0, 0}}));
  return t;
}

}  // namespace fuzzseeds
