// The register panel's texts: the most-recent-first lists, the stored address
// list, address parsing, write widths and spin steps.

#include "device/RegisterPanelModel.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

using List = std::vector<std::string>;

TEST(RegisterPanelModel, ListsKeepTheSixNewestWithoutCopies) {
  struct Case {
    const char* name;
    List start;  // stored order, newest first
    List used;   // in the order they are used
    List expected;
  } cases[] = {
      {"reads of 8140..8147",
       {},
       {"8140", "8141", "8142", "8143", "8144", "8145", "8146", "8147"},
       {"8147", "8146", "8145", "8144", "8143", "8142"}},
      {"an entry further down moves to the top", {"a", "b", "c"}, {"b"}, {"b", "a", "c"}},
      {"the oldest entry moves to the top",
       {"a", "b", "c", "d", "e", "f"},
       {"f"},
       {"f", "a", "b", "c", "d", "e"}},
      {"the newest entry used again", {"a", "b"}, {"a"}, {"a", "b"}},
      {"a new entry on a full list drops the oldest",
       {"a", "b", "c", "d", "e", "f"},
       {"g"},
       {"g", "a", "b", "c", "d", "e"}},
      {"texts differing in case are different entries",
       {"8140"},
       {"814e", "814E"},
       {"814E", "814e", "8140"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RegisterPanelModel model;
    for (auto it = c.start.rbegin(); it != c.start.rend(); ++it) {
      model.UseAddress(*it);
      model.UseValue(*it);
    }
    for (const std::string& text : c.used) {
      model.UseAddress(text);
      model.UseValue(text);
    }
    EXPECT_EQ(c.expected, model.Addresses());
    EXPECT_EQ(c.expected, model.Values());
  }
}

TEST(RegisterPanelModel, AddressAndValueListsAreSeparate) {
  RegisterPanelModel model;
  model.UseAddress("8140");
  model.UseValue("01");
  EXPECT_EQ(List{"8140"}, model.Addresses());
  EXPECT_EQ(List{"01"}, model.Values());
}

TEST(RegisterPanelModel, StoredListLoadsInStoredOrder) {
  struct Case {
    const char* stored;
    List expected;
  } cases[] = {
      {"", {}},
      {"8140", {"8140"}},
      {"P,Q,R", {"P", "Q", "R"}},
      // Older files repeat the newest entry in front.
      {"P,P,Q,R", {"P", "Q", "R"}},
      {" P , Q ,, R ,", {"P", "Q", "R"}},
      {"1,2,3,4,5,6,7,8", {"1", "2", "3", "4", "5", "6"}},
      // Copies do not use up the six places.
      {"1,1,2,2,3,4,5,6,7", {"1", "2", "3", "4", "5", "6"}},
      {",,,", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    RegisterPanelModel model;
    model.UseAddress("old");
    model.LoadAddressList(c.stored);
    EXPECT_EQ(c.expected, model.Addresses());
  }
}

TEST(RegisterPanelModel, StoredListRoundTrips) {
  RegisterPanelModel model;
  for (const char* text : {"8140", "0x814e", "8141", "8140", "3000", "0", "8b98", "ffff"}) {
    model.UseAddress(text);
  }
  const std::string stored = model.StoredAddressList();
  EXPECT_EQ("ffff,8b98,0,3000,8140,8141", stored);
  RegisterPanelModel reloaded;
  reloaded.LoadAddressList(stored);
  EXPECT_EQ(model.Addresses(), reloaded.Addresses());
  EXPECT_EQ(stored, reloaded.StoredAddressList());
}

TEST(RegisterPanelModel, TypedAddresses) {
  struct Case {
    const char* typed;
    std::optional<uint16_t> address;
    const char* kept;
  } cases[] = {
      {"8140", 0x8140, "8140"},   {" 0x814E ", 0x814E, "0x814E"}, {"0X3000", 0x3000, "0X3000"},
      {"0", 0x0000, "0"},         {"12345", 0x2345, "12345"},  // the last four digits, as settings
                                                               // texts read
      {"81,40", 0x8140, "8140"},  // a comma would split the stored entry
      {"80G5", 0x0805, "80G5"},   {"", std::nullopt, ""},         {"   ", std::nullopt, ""},
      {"zz", std::nullopt, "zz"}, {"0x", std::nullopt, "0x"},     {",", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.typed + "\"");
    EXPECT_EQ(c.address, ParseRegisterAddress(c.typed));
    EXPECT_EQ(c.kept, CleanRegisterText(c.typed));
  }
}

TEST(RegisterPanelModel, WriteWidthFollowsTheDigitCount) {
  struct Case {
    const char* typed;
    WriteWidth width;
  } cases[] = {
      {"1", WriteWidth::kByte},        {"0A", WriteWidth::kByte},
      {"0x05", WriteWidth::kByte},     {"0X5", WriteWidth::kByte},
      {" 7f ", WriteWidth::kByte},     {"005", WriteWidth::kWord},
      {"1234", WriteWidth::kWord},     {"0x1234", WriteWidth::kWord},
      {"12345", WriteWidth::kTooLong}, {"0x12345", WriteWidth::kTooLong},
      {"", WriteWidth::kNone},         {"zz", WriteWidth::kNone},
      {"0x", WriteWidth::kNone},       {"  ", WriteWidth::kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.typed + "\"");
    EXPECT_EQ(c.width, WriteWidthOf(c.typed));
  }
}

TEST(RegisterPanelModel, SpinStepsWrapAtSixteenBits) {
  struct Case {
    const char* typed;
    int delta;
    std::optional<std::string> next;
  } cases[] = {
      {"ffff", +1, "0000"},   {"0000", -1, "ffff"},     {"8140", +1, "8141"},
      {"ABCD", -1, "abcc"},   {"0x814F", +1, "8150"},   {"5", +1, "0006"},
      {"", +1, std::nullopt}, {"zz", -1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.typed + "\" " + std::to_string(c.delta));
    EXPECT_EQ(c.next, StepAddressText(c.typed, c.delta));
  }
}

}  // namespace
