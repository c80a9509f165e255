#include "device/config/CfgItem.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct ChannelCase {
  std::string name;
  CfgChannelList list;
  int number;
};

class CfgChannelNames : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(CfgChannelNames, ListAndNumberComeFromTheName) {
  CfgItem item;
  item.name = GetParam().name;
  EXPECT_EQ(item.channelList(), GetParam().list);
  EXPECT_EQ(item.channelNumber(), GetParam().number);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CfgChannelNames,
    ::testing::Values(ChannelCase{"Driver_CH0", CfgChannelList::kDrive, 0},
                      ChannelCase{"Driver_CH12", CfgChannelList::kDrive, 12},
                      ChannelCase{"Sensor_CH3(H)", CfgChannelList::kSense, 3},
                      ChannelCase{"Sensor_CH", CfgChannelList::kSense, 0},  // no number
                      ChannelCase{"Sensor_CHx", CfgChannelList::kSense, 0},
                      ChannelCase{"Driver_CH1234567", CfgChannelList::kDrive, 12345},  // bounded
                      ChannelCase{"driver_ch1", CfgChannelList::kNone, 1},  // letter case counts
                      ChannelCase{"Touch_Number", CfgChannelList::kNone, 0},
                      ChannelCase{"", CfgChannelList::kNone, 0}));

}  // namespace
