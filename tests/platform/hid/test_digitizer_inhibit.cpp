// Inhibiting the bridge digitizer's input devices, on a writable copy of the
// fake sysfs tree.

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/hid/DigitizerInhibit.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

class DigitizerInhibitTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("kestrana-inhibit-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::copy(fs::path(KESTRANA_TEST_DATA_DIR) / "sysfs", root_,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
  }
  void TearDown() override { fs::remove_all(root_); }

  std::string Inhibited(const std::string& hidDevice, const std::string& input) const {
    std::ifstream in(root_ / ("sys/devices/" + hidDevice) / "input" / input / "inhibited");
    if (!in) return "<none>";
    std::string value;
    in >> value;
    return value;
  }

  static constexpr const char* kBridgeDigitizer =
      "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/0003:27C0:0818.0002";
  static constexpr const char* kOtherKeyboard =
      "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0/0003:1234:5678.0001";
  static constexpr const char* kVirtualDigitizer = "virtual/misc/uhid/0003:222A:0001.0005";

  fs::path root_;
};

TEST_F(DigitizerInhibitTest, InhibitsOnlyTheFirstDigitizerInterface) {
  EXPECT_EQ(InhibitDigitizerInputs(root_), 2);
  EXPECT_EQ(Inhibited(kBridgeDigitizer, "input20"), "1");
  EXPECT_EQ(Inhibited(kBridgeDigitizer, "input21"), "1");
  // An input device without the attribute (older kernel) is skipped, and the
  // attribute is not made up for it.
  EXPECT_EQ(Inhibited(kBridgeDigitizer, "input22"), "<none>");
  EXPECT_EQ(Inhibited(kVirtualDigitizer, "input30"), "0");
  EXPECT_EQ(Inhibited(kOtherKeyboard, "input5"), "0");
}

TEST_F(DigitizerInhibitTest, NextDigitizerWhenTheBridgeIsGone) {
  fs::remove(root_ / "sys/class/hidraw/hidraw10");
  EXPECT_EQ(InhibitDigitizerInputs(root_), 1);
  EXPECT_EQ(Inhibited(kVirtualDigitizer, "input30"), "1");
  EXPECT_EQ(Inhibited(kOtherKeyboard, "input5"), "0");
}

TEST_F(DigitizerInhibitTest, NothingToDoIsNotAnError) {
  fs::remove(root_ / "sys/class/hidraw/hidraw10");
  fs::remove(root_ / "sys/class/hidraw/hidraw12");
  EXPECT_EQ(InhibitDigitizerInputs(root_), 0);
  EXPECT_EQ(Inhibited(kOtherKeyboard, "input5"), "0");
  EXPECT_EQ(InhibitDigitizerInputs(root_ / "nowhere"), 0);
}

}  // namespace
}  // namespace platform
