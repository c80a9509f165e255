// The touch demo reads the chip's coordinate report and, with the active pen
// on, its stylus report: any bytes must give at most 10 points and 4 key
// bits, read nothing outside the report, keep every contact in one slot of
// its own from report to report, place a point inside the drawing area
// whenever the chip's coordinates lie inside its resolution, and decode the
// stylus profiles only from values wholly inside the bytes read.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "fuzz/TouchReportInput.h"
#include "sim/ValueEncoding.h"
#include "views/ContactTracker.h"
#include "views/DataFormatStore.h"
#include "views/StylusValues.h"
#include "views/TouchReport.h"

namespace {

using namespace touch_report_input;

void Require(bool condition) {
  if (!condition) std::abort();
}

void CheckReport(const std::vector<uint8_t>& bytes, const TouchReport& r) {
  Require(r.reportedCount == (bytes[0] & 0x0F));
  Require(r.count == std::min(r.reportedCount, kMaxTouchPoints));
  Require(r.keyBits >= 0 && r.keyBits <= 0x0F);
  for (int i = 0; i < r.count; ++i) {
    const ReportedPoint& p = r.points[static_cast<size_t>(i)];
    const size_t at = 1 + 8 * static_cast<size_t>(i);
    Require(p.id == (bytes[at] & 0x7F));
    Require(p.x == (bytes[at + 1] | bytes[at + 2] << 8));
    Require(p.y == (bytes[at + 3] | bytes[at + 4] << 8));
    Require(p.size == (bytes[at + 5] | bytes[at + 6] << 8));
  }
}

// Every contact shown stands for one point of the report, in a slot of its
// own, and a contact still down keeps the slot it had.
void CheckSlots(const ContactTracker& tracker, const SlotTable& before, const TouchReport& r,
                const CoordinateScale& scale) {
  const SlotTable& chip = tracker.ChipPoints();
  std::vector<bool> used(static_cast<size_t>(r.count), false);
  for (size_t s = 0; s < chip.size(); ++s) {
    if (chip[s].size == 0) continue;
    bool found = false;
    for (int i = 0; i < r.count && !found; ++i) {
      const ReportedPoint& p = r.points[static_cast<size_t>(i)];
      if (used[static_cast<size_t>(i)] || p.id != chip[s].id || p.x != chip[s].x ||
          p.y != chip[s].y || p.size != chip[s].size) {
        continue;
      }
      used[static_cast<size_t>(i)] = true;
      found = true;
    }
    Require(found);
    // A slot is only ever taken over from a contact that lifted.
    Require(before[s].size == 0 || before[s].id == chip[s].id);
    const TouchSlot& shown = tracker.Current()[s];
    Require(shown.id == chip[s].id && shown.size == chip[s].size);
    if (scale.resolutionX != 0 && scale.resolutionY != 0 &&
        static_cast<uint32_t>(chip[s].x) <= scale.resolutionX &&
        static_cast<uint32_t>(chip[s].y) <= scale.resolutionY) {
      Require(shown.x >= scale.left && shown.x <= scale.left + scale.width);
      Require(shown.y >= scale.top && shown.y <= scale.top + scale.height);
    }
  }
}

int CountId(const SlotTable& table, int32_t id) {
  int n = 0;
  for (const TouchSlot& t : table) n += t.size != 0 && t.id == id ? 1 : 0;
  return n;
}

// A contact that stays down, once in each report, stays in its slot.
void CheckContactsStay(const ContactTracker& tracker, const SlotTable& before,
                       const TouchReport& r) {
  for (size_t s = 0; s < before.size(); ++s) {
    if (before[s].size == 0 || CountId(before, before[s].id) != 1) continue;
    int down = 0;
    int all = 0;
    for (int i = 0; i < r.count; ++i) {
      const ReportedPoint& p = r.points[static_cast<size_t>(i)];
      if (p.id != before[s].id) continue;
      ++all;
      down += p.size != 0 ? 1 : 0;
    }
    if (all == 1 && down == 1) Require(tracker.ChipPoints()[s].id == before[s].id);
  }
}

void CheckStylus(const std::vector<uint8_t>& bytes, const DataFormat& stylus, int32_t rows,
                 int32_t cols, size_t rowOffset) {
  const StylusProfiles p =
      DecodeStylusProfiles(bytes.data(), bytes.size(), stylus, rows, cols, rowOffset);
  const size_t width = size_t{stylus.unit} * 2;
  if (width == 0) {
    Require(p.columns.empty() && p.rows.empty());
    return;
  }
  Require(p.columns.size() <= static_cast<size_t>(cols));
  Require(p.rows.size() <= static_cast<size_t>(rows));
  Require(p.columns.size() * width <= bytes.size());
  Require(p.rows.empty() || rowOffset + p.rows.size() * width <= bytes.size());
  // Whole values that fit are all taken.
  Require(p.columns.size() == std::min<size_t>(static_cast<size_t>(cols), bytes.size() / width));
  // Each value is the bytes at its place, unsigned, in the stylus byte order.
  auto sameBytes = [&](uint32_t value, size_t at) {
    uint8_t again[4];
    sim::EncodeValue(static_cast<int32_t>(value), static_cast<unsigned>(width),
                     stylus.littleEndian != 0, again);
    Require(width == 4 || value >> (8 * width) == 0);
    Require(std::equal(again, again + width, bytes.begin() + static_cast<std::ptrdiff_t>(at)));
  };
  for (size_t k = 0; k < p.columns.size(); ++k) sameBytes(p.columns[k], k * width);
  for (size_t j = 0; j < p.rows.size(); ++j) sameBytes(p.rows[j], rowOffset + j * width);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider fdp(data, size);
  CoordinateScale scale;
  scale.left = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxAreaSide);
  scale.top = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxAreaSide);
  scale.width = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxAreaSide);
  scale.height = fdp.ConsumeIntegralInRange<int32_t>(0, kMaxAreaSide);
  scale.resolutionX = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxResolution);
  scale.resolutionY = fdp.ConsumeIntegralInRange<uint32_t>(0, kMaxResolution);
  const int32_t gridRows = fdp.ConsumeIntegralInRange<int32_t>(1, kMaxGridSide);
  const int32_t gridCols = fdp.ConsumeIntegralInRange<int32_t>(1, kMaxGridSide);
  DataFormat stylus = DefaultFormat(DataKind::Stylus);
  stylus.unit = fdp.ConsumeIntegralInRange<uint8_t>(0, kMaxStylusUnit);
  stylus.littleEndian = fdp.ConsumeIntegralInRange<uint8_t>(0, 1);
  const int32_t stylusLength = fdp.ConsumeIntegralInRange<int32_t>(0, kStylusSlotBytes);
  const size_t rowOffset = StylusRowProfileOffset(
      kChipNames[fdp.ConsumeIntegralInRange<size_t>(0, kChipNames.size() - 1)]);
  const uint32_t stylusRead = StylusReadLength(stylusLength, kStylusSlotBytes);
  Require(stylusRead <= static_cast<uint32_t>(kStylusSlotBytes));

  ContactTracker tracker;
  const int reports = fdp.ConsumeIntegralInRange<int>(1, kMaxReports);
  for (int n = 0; n < reports; ++n) {
    // The read always fills the whole report; an input that ends early
    // leaves the rest zero.
    std::vector<uint8_t> report = fdp.ConsumeBytes<uint8_t>(kTouchReportBytes);
    report.resize(kTouchReportBytes, 0);
    const TouchReport parsed = ParseTouchReport(report.data(), report.size());
    CheckReport(report, parsed);

    const SlotTable before = tracker.ChipPoints();
    tracker.Update(parsed, scale);
    CheckSlots(tracker, before, parsed, scale);
    CheckContactsStay(tracker, before, parsed);
    Require(tracker.KeyBits() == parsed.keyBits);

    if (fdp.ConsumeIntegralInRange<int>(0, 1) == 1) {
      std::vector<uint8_t> pen = fdp.ConsumeBytes<uint8_t>(stylusRead);
      pen.resize(stylusRead, 0);
      CheckStylus(pen, stylus, gridRows, gridCols, rowOffset);
    }
  }
  return 0;
}
