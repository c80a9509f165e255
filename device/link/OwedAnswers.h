#pragma once
// Bookkeeping of answers a device still owes a link. Neither the bridge's
// input reports nor the networked device's answers carry a request id: the
// answer to a read that ended early (a time-out, a run of empty reports) is
// still on its way and would otherwise be taken as part of the next request's
// answer. Both devices answer in request order, so knowing what is owed is
// enough to tell a late answer from the next one.
//
// Owed answers are expected (a read gave up before its answer was in);
// doubtful ones may never come (their wait ran out, or the request's own
// write timed out, so the device may or may not have seen it). Over reports
// answers are kept one by one because the last report of each is padded: a
// report pays towards one answer only. Over a byte stream the answers follow
// each other without a gap, so bytes pay the oldest answers first, across
// answers. Touched by the dispatcher thread only.

#include <cstddef>
#include <cstdint>
#include <deque>

class OwedAnswers {
 public:
  enum class Framing {
    Reports,  // padded input reports; a long backlog loses its oldest answers
    Stream,   // a byte stream; no answer is ever forgotten
  };

  explicit OwedAnswers(Framing framing = Framing::Reports) : framing_(framing) {}

  // A read that wanted `bytes` more answer bytes ended early; the rest is
  // waited for up to `waitMs` per wait before the next request goes out.
  void Owe(uint32_t bytes, uint32_t waitMs);
  // An answer of `bytes` bytes that may or may not come.
  void MayCome(uint32_t bytes);

  bool Owing() const { return !owed_.empty(); }
  uint32_t WaitMs() const { return waitMs_; }
  bool AnyDoubtful() const { return !doubtful_.empty(); }
  // Bytes still to come of every answer kept, doubtful and owed.
  uint64_t Due() const;

  // A report with `dataBytes` data bytes was thrown away as owed.
  void Paid(uint32_t dataBytes);
  // `bytes` stream bytes were thrown away: they pay the doubtful answers
  // first (they are older), then the owed ones. Bytes beyond what is due pay
  // nothing.
  void PaidFromStream(uint64_t bytes);
  // The wait for owed answers ran out: they are lost or come later still.
  void GiveUp();
  // A report of a doubtful answer turned up after all.
  void DoubtfulCame(uint32_t dataBytes) { PayFront(doubtful_, dataBytes); }
  // Nothing more came of the doubtful answers: they are lost.
  void ForgetDoubtful() { doubtful_.clear(); }
  void Clear();

 private:
  // Answers kept one by one at most: a bridge that stays silent must not grow
  // the list for ever, and a longer backlog of reports is not worth waiting
  // for. A stream's backlog beyond it is summed into its newest answer.
  static constexpr size_t kMaxAnswers = 64;

  static void PayFront(std::deque<uint32_t>& answers, uint32_t dataBytes);
  // Pays answers from the front across answers; returns what is left over.
  static uint64_t PayAcross(std::deque<uint32_t>& answers, uint64_t bytes);
  void Add(std::deque<uint32_t>& answers, uint32_t bytes) const;

  Framing framing_;
  std::deque<uint32_t> owed_;
  uint32_t waitMs_ = 0;
  std::deque<uint32_t> doubtful_;
};
