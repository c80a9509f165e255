#include "device/OwedAnswers.h"

#include <algorithm>

void OwedAnswers::Add(std::deque<uint32_t>& answers, uint32_t bytes) {
  if (bytes == 0) return;
  answers.push_back(bytes);
  if (answers.size() > kMaxAnswers) answers.pop_front();
}

void OwedAnswers::PayFront(std::deque<uint32_t>& answers, uint32_t dataBytes) {
  if (answers.empty()) return;
  answers.front() -= std::min(answers.front(), dataBytes);
  if (answers.front() == 0) answers.pop_front();
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
