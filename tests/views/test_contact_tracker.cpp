// The contact tracker: slots follow contacts from report to report, free
// slots are handed out once per report, and positions scale into the area.

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "views/ContactTracker.h"

namespace {

struct P {
  int32_t id, x, y, size;
};

TouchReport Report(std::initializer_list<P> points, int keyBits = 0) {
  TouchReport r;
  for (const P& p : points) r.points[static_cast<size_t>(r.count++)] = {p.id, p.x, p.y, p.size};
  r.reportedCount = r.count;
  r.keyBits = keyBits;
  return r;
}

// "id@slot" for every slot with a contact, e.g. "3@0 5@1".
std::string Slots(const SlotTable& table) {
  std::string out;
  for (size_t s = 0; s < table.size(); ++s) {
    if (table[s].size == 0) continue;
    if (!out.empty()) out += ' ';
    out += std::to_string(table[s].id) + "@" + std::to_string(s);
  }
  return out;
}

TEST(ContactTrackerTest, SlotAssignmentOverReports) {
  struct Step {
    TouchReport report;
    std::string slots;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  } cases[] = {
      {"same id keeps its slot",
       {{Report({{7, 1, 1, 9}}), "7@0"},
        {Report({{3, 1, 1, 9}, {7, 2, 2, 9}}), "7@0 3@1"},
        {Report({{7, 3, 3, 9}, {3, 2, 2, 9}}), "7@0 3@1"}}},
      {"two new contacts in one report get two slots",
       {{Report({{1, 1, 1, 9}, {2, 1, 1, 9}}), "1@0 2@1"}}},
      {"lift-off frees the slot for the next report",
       {{Report({{1, 1, 1, 9}, {2, 1, 1, 9}}), "1@0 2@1"},
        {Report({{2, 1, 1, 9}}), "2@1"},
        {Report({{2, 1, 1, 9}, {5, 1, 1, 9}}), "5@0 2@1"}}},
      {"count 0 clears every point",
       {{Report({{1, 1, 1, 9}, {2, 1, 1, 9}}), "1@0 2@1"}, {Report({}), ""}}},
      {"a point of size 0 holds no slot",
       {{Report({{1, 1, 1, 0}, {2, 1, 1, 9}}), "2@1"}, {Report({{4, 1, 1, 9}}), "4@0"}}},
      {"a slot freed in this report is not handed out before the next",
       {{Report({{1, 1, 1, 9}, {2, 1, 1, 9}}), "1@0 2@1"},
        {Report({{2, 1, 1, 9}, {9, 1, 1, 9}, {8, 1, 1, 9}}), "2@1 9@2 8@3"}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    ContactTracker tracker;
    for (size_t i = 0; i < c.steps.size(); ++i) {
      SCOPED_TRACE(i);
      tracker.Update(c.steps[i].report, {});
      EXPECT_EQ(c.steps[i].slots, Slots(tracker.Current()));
      EXPECT_EQ(c.steps[i].slots, Slots(tracker.ChipPoints()));
    }
  }
}

TEST(ContactTrackerTest, TenSlotsFullDropsFurtherNewContacts) {
  ContactTracker tracker;
  TouchReport ten;
  for (int i = 0; i < kMaxTouchPoints; ++i) ten.points[static_cast<size_t>(i)] = {i, 1, 1, 5};
  ten.count = kMaxTouchPoints;
  tracker.Update(ten, {});
  // A new contact first in the next report finds no slot; the ten others keep theirs.
  TouchReport next = ten;
  next.points[0] = {42, 1, 1, 5};
  tracker.Update(next, {});
  EXPECT_EQ("1@1 2@2 3@3 4@4 5@5 6@6 7@7 8@8 9@9", Slots(tracker.Current()));
}

TEST(ContactTrackerTest, HistoryShiftsNewestFirst) {
  ContactTracker tracker;
  for (int i = 0; i < kTouchHistoryDepth + 2; ++i) tracker.Update(Report({{1, i, i, 5}}), {});
  EXPECT_EQ(kTouchHistoryDepth + 1, tracker.History(0)[0].x);
  EXPECT_EQ(kTouchHistoryDepth, tracker.History(1)[0].x);
  EXPECT_EQ(2, tracker.History(kTouchHistoryDepth - 1)[0].x);
}

TEST(ContactTrackerTest, ScalesIntoTheAreaAndKeepsChipCoordinates) {
  struct Case {
    const char* name;
    CoordinateScale scale;
    P in;
    int32_t x, y;
  } cases[] = {
      // 800 x 600 area at (10, 10) over a 1080 x 1920 panel.
      {"origin", {1080, 1920, 10, 10, 800, 600}, {1, 0, 0, 5}, 10, 10},
      {"far corner", {1080, 1920, 10, 10, 800, 600}, {1, 1080, 1920, 5}, 810, 610},
      {"inside, rounded down", {1080, 1920, 10, 10, 800, 600}, {1, 540, 1000, 5}, 410, 322},
      {"no X resolution: unscaled", {0, 1920, 10, 10, 800, 600}, {1, 540, 1000, 5}, 540, 1000},
      {"no Y resolution: unscaled", {1080, 0, 10, 10, 800, 600}, {1, 540, 1000, 5}, 540, 1000},
      {"large coordinates do not overflow",
       {65535, 65535, 0, 0, 3840, 2160},
       {1, 65535, 65535, 5},
       3840,
       2160},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ContactTracker tracker;
    tracker.Update(Report({c.in}), c.scale);
    EXPECT_EQ(c.x, tracker.Current()[0].x);
    EXPECT_EQ(c.y, tracker.Current()[0].y);
    EXPECT_EQ(c.in.x, tracker.ChipPoints()[0].x);
    EXPECT_EQ(c.in.y, tracker.ChipPoints()[0].y);
  }
}

TEST(ContactTrackerTest, ClearSizesLiftsEveryContact) {
  ContactTracker tracker;
  tracker.Update(Report({{1, 1, 1, 9}, {2, 1, 1, 9}}, 0x3), {});
  EXPECT_EQ(0x3, tracker.KeyBits());
  tracker.ClearSizes();
  EXPECT_EQ("", Slots(tracker.Current()));
  EXPECT_EQ("", Slots(tracker.ChipPoints()));
  // After the clear a new contact takes the first slot.
  tracker.Update(Report({{6, 1, 1, 9}}), {});
  EXPECT_EQ("6@0", Slots(tracker.Current()));
}

}  // namespace
