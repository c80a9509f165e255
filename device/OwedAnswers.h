#pragma once
// Bookkeeping of answers the bridge still owes the link. Input reports carry
// no request id: the answer to a read that ended early (a time-out, a run of
// empty reports) is still on its way and would otherwise be taken as part of
// the next request's answer. The bridge answers in request order, so knowing
// what is owed is enough to tell a late answer from the next one.
//
// Owed answers are expected (a read gave up before its answer was in);
// doubtful ones may never come (their wait ran out, or the request's own
// write timed out, so the bridge may or may not have seen it). Answers are
// kept one by one because the last report of each is padded: a report pays
// towards one answer only. Touched by the dispatcher thread only.

#include <cstddef>
#include <cstdint>
#include <deque>

class OwedAnswers {
 public:
  // A read that wanted `bytes` more answer bytes ended early; the rest is
  // waited for up to `waitMs` per report before the next request goes out.
  void Owe(uint32_t bytes, uint32_t waitMs);
  // An answer of `bytes` bytes that may or may not come.
  void MayCome(uint32_t bytes);

  bool Owing() const { return !owed_.empty(); }
  uint32_t WaitMs() const { return waitMs_; }
  bool AnyDoubtful() const { return !doubtful_.empty(); }

  // A report with `dataBytes` data bytes was thrown away as owed.
  void Paid(uint32_t dataBytes);
  // The wait for owed answers ran out: they are lost or come later still.
  void GiveUp();
  // A report of a doubtful answer turned up after all.
  void DoubtfulCame(uint32_t dataBytes) { PayFront(doubtful_, dataBytes); }
  // Nothing more came of the doubtful answers: they are lost.
  void ForgetDoubtful() { doubtful_.clear(); }
  void Clear();

 private:
  // Answers kept at most: a bridge that stays silent must not grow the list
  // for ever, and a longer backlog is not worth waiting for.
  static constexpr size_t kMaxAnswers = 64;

  static void PayFront(std::deque<uint32_t>& answers, uint32_t dataBytes);
  static void Add(std::deque<uint32_t>& answers, uint32_t bytes);

  std::deque<uint32_t> owed_;
  uint32_t waitMs_ = 0;
  std::deque<uint32_t> doubtful_;
};
