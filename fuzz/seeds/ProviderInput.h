#pragma once
// Builds inputs for a target that reads them through libFuzzer's
// FuzzedDataProvider: bytes are taken from the front, integers from the back
// (the last byte first, as the value's most significant byte), each integer
// in a range using as many bytes as the range needs.

#include <cstdint>
#include <vector>

namespace fuzzseeds {

class ProviderInput {
 public:
  // What ConsumeBytes takes next.
  void Bytes(const std::vector<uint8_t>& bytes) {
    front_.insert(front_.end(), bytes.begin(), bytes.end());
  }
  // What ConsumeIntegralInRange(min, max) returns next; value within the range.
  void Integer(uint64_t min, uint64_t max, uint64_t value) {
    const uint64_t offset = value - min;
    const uint64_t range = max - min;
    unsigned count = 0;
    while (count < 8 && (range >> (8 * count)) > 0) ++count;
    for (unsigned i = count; i-- > 0;) back_.push_back(static_cast<uint8_t>(offset >> (8 * i)));
  }
  // What ConsumeIntegral<int32_t>() returns next: the offset from the
  // range's start.
  void Int32(int32_t value) {
    Integer(0, UINT32_MAX, static_cast<uint64_t>(int64_t{value} - INT32_MIN));
  }
  std::vector<uint8_t> Build() const {
    std::vector<uint8_t> out = front_;
    out.insert(out.end(), back_.rbegin(), back_.rend());
    return out;
  }

 private:
  std::vector<uint8_t> front_;
  std::vector<uint8_t> back_;  // in the order the integers are read
};

}  // namespace fuzzseeds
