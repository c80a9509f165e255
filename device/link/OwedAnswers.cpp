#include "device/link/OwedAnswers.h"

#include <algorithm>
#include <limits>

void OwedAnswers::Add(std::deque<uint32_t>& answers, uint32_t bytes) const {
  if (bytes == 0) return;
  if (answers.size() < kMaxAnswers) {
    answers.push_back(bytes);
  } else if (framing_ == Framing::Stream) {
    // Saturates: a device that owes 4 GiB is out of step for good anyway.
    const uint64_t sum = uint64_t{answers.back()} + bytes;
    answers.back() = static_cast<uint32_t>(std::min<uint64_t>(sum, std::numeric_limits<uint32_t>::max()));
  } else {
    answers.push_back(bytes);
    answers.pop_front();
  }
}

void OwedAnswers::PayFront(std::deque<uint32_t>& answers, uint32_t dataBytes) {
  if (answers.empty()) return;
  answers.front() -= std::min(answers.front(), dataBytes);
  if (answers.front() == 0) answers.pop_front();
}

uint64_t OwedAnswers::PayAcross(std::deque<uint32_t>& answers, uint64_t bytes) {
  while (bytes > 0 && !answers.empty()) {
    const uint32_t pay = static_cast<uint32_t>(std::min<uint64_t>(answers.front(), bytes));
    PayFront(answers, pay);
    bytes -= pay;
  }
  return bytes;
}

uint64_t OwedAnswers::Due() const {
  uint64_t due = 0;
  for (uint32_t bytes : doubtful_) due += bytes;
  for (uint32_t bytes : owed_) due += bytes;
  return due;
}

void OwedAnswers::Owe(uint32_t bytes, uint32_t waitMs) {
  if (bytes == 0) return;
  Add(owed_, bytes);
  waitMs_ = std::max(waitMs_, waitMs);
}

void OwedAnswers::Paid(uint32_t dataBytes) {
  PayFront(owed_, dataBytes);
  if (owed_.empty()) waitMs_ = 0;
}

void OwedAnswers::PaidFromStream(uint64_t bytes) {
  PayAcross(owed_, PayAcross(doubtful_, bytes));
  if (owed_.empty()) waitMs_ = 0;
}

void OwedAnswers::MayCome(uint32_t bytes) { Add(doubtful_, bytes); }

void OwedAnswers::GiveUp() {
  for (uint32_t bytes : owed_) Add(doubtful_, bytes);
  owed_.clear();
  waitMs_ = 0;
}

void OwedAnswers::Clear() {
  owed_.clear();
  doubtful_.clear();
  waitMs_ = 0;
}
