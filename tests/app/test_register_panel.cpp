// The register panel on the simulated bridge: what reaches the chip, what the
// combos show, the log lines with their levels, and the stored address list.

#include "app/RegisterPanel.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QTemporaryDir>
#include <QWidget>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/files/IniFile.h"
#include "tests/device/SimDevice.h"
#include "ui/ControlIds.h"

namespace {

using sim::AccessOp;

struct LogLine {
  std::string text;
  LogLevel level;
  bool operator==(const LogLine&) const = default;
};

void PrintTo(const LogLine& line, std::ostream* os) {
  *os << '"' << line.text << "\" level " << static_cast<int>(line.level);
}

class RecordingLog : public ILogSink {
 public:
  void AddLog(const std::string& text, LogLevel level) override { lines.push_back({text, level}); }
  std::vector<LogLine> lines;
};

using Strings = std::vector<std::string>;

// Which file sits at path: a settings write replaces the file as a whole.
std::pair<dev_t, ino_t> FileIdentity(const std::filesystem::path& path) {
  struct stat st {};
  EXPECT_EQ(0, ::stat(path.c_str(), &st));
  return {st.st_dev, st.st_ino};
}

class RegisterPanelTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    ASSERT_TRUE(dir_.isValid());
    settings_ = std::filesystem::path(dir_.path().toStdString()) / "AppConfigInit.ini";
  }

  RegisterPanel& Panel() {
    if (!panel_) panel_ = std::make_unique<RegisterPanel>(log_, settings_);
    return *panel_;
  }
  template <typename T>
  T* Control(const QString& name) {
    T* control = Panel().findChild<T*>(name);
    EXPECT_NE(nullptr, control) << name.toStdString();
    return control;
  }
  QComboBox* Address() { return Control<QComboBox>(CONTROL_NAME(IDC_ADDRESS)); }
  QComboBox* WriteValue() { return Control<QComboBox>(CONTROL_NAME(IDC_WRITE_VALUE)); }
  QComboBox* ReadValue() { return Control<QComboBox>(CONTROL_NAME(IDC_READ_VALUE)); }
  QAbstractButton* SpinButton(const char* which) {
    auto* spin = Control<QWidget>(CONTROL_NAME(IDC_ADDRESS_SPIN));
    return spin->findChild<QAbstractButton*>(which);
  }

  void Read(const std::string& address) {
    Address()->setEditText(QString::fromStdString(address));
    Control<QAbstractButton>(CONTROL_NAME(IDC_READ))->click();
  }
  void Write(const std::string& address, const std::string& value) {
    Address()->setEditText(QString::fromStdString(address));
    WriteValue()->setEditText(QString::fromStdString(value));
    Control<QAbstractButton>(CONTROL_NAME(IDC_WRITE))->click();
  }

  static Strings Items(const QComboBox* combo) {
    Strings items;
    for (int i = 0; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
  }
  std::string StoredList() {
    return platform::IniGetString("Register", "Address List", "<missing>", settings_);
  }
  std::vector<sim::ChipAccess> Writes() {
    std::vector<sim::ChipAccess> writes;
    for (const auto& access : Bridge().Chip().AccessLog()) {
      if (access.op == AccessOp::Write) writes.push_back(access);
    }
    return writes;
  }

  QTemporaryDir dir_;
  std::filesystem::path settings_;
  RecordingLog log_;
  std::unique_ptr<RegisterPanel> panel_;
};

TEST_F(RegisterPanelTest, ReadShowsTheByteLogsItAndStoresTheAddress) {
  Connect();
  Bridge().Chip().Poke(0x8140, 0x5A);
  Bridge().Chip().Poke(0x8141, 0xEE);  // a real 0xEE is not a failure

  Read("8140");
  Read("0x8141");
  EXPECT_EQ("ee", ReadValue()->currentText().toStdString());
  Read("8140");
  EXPECT_EQ("5a", ReadValue()->currentText().toStdString());

  EXPECT_EQ((std::vector<LogLine>{{"[Read]A: 0x8140  D: 0x5a", LOG_INFO},
                                  {"[Read]A: 0x8141  D: 0xee", LOG_INFO},
                                  {"[Read]A: 0x8140  D: 0x5a", LOG_INFO}}),
            log_.lines);
  EXPECT_EQ((Strings{"8140", "0x8141"}), Items(Address()));
  EXPECT_EQ("8140", Address()->currentText().toStdString());
  EXPECT_EQ("8140,0x8141", StoredList());
  EXPECT_EQ(2u, Bridge().Chip().ReadCount(0x8140));
  EXPECT_EQ(1u, Bridge().Chip().ReadCount(0x8141));
}

TEST_F(RegisterPanelTest, AddressListKeepsTheSixNewestAcrossRestarts) {
  Connect();
  for (int address = 0x8140; address <= 0x8147; ++address) {
    Read(QString::number(address, 16).toStdString());
  }
  const Strings newest = {"8147", "8146", "8145", "8144", "8143", "8142"};
  EXPECT_EQ(newest, Items(Address()));
  EXPECT_EQ("8147,8146,8145,8144,8143,8142", StoredList());

  Read("8144");
  const Strings moved = {"8144", "8147", "8146", "8145", "8143", "8142"};
  EXPECT_EQ(moved, Items(Address()));

  panel_.reset();
  EXPECT_EQ(moved, Items(Address()));  // a new panel on the same file
  EXPECT_EQ("8144", Address()->currentText().toStdString());
}

TEST_F(RegisterPanelTest, AnUnchangedAddressListIsNotWrittenAgain) {
  Connect();
  Read("8140");
  const auto written = FileIdentity(settings_);
  Read("8140");
  Write("8140", "12");
  EXPECT_EQ(written, FileIdentity(settings_));  // every write replaces the file
  Read("8141");
  EXPECT_NE(written, FileIdentity(settings_));
  EXPECT_EQ("8141,8140", StoredList());
}

TEST_F(RegisterPanelTest, OldStoredListLoadsWithoutItsRepeatedEntry) {
  Connect();
  ASSERT_TRUE(platform::IniWriteString("Register", "Address List", "P,P,Q,R", settings_));
  EXPECT_EQ((Strings{"P", "Q", "R"}), Items(Address()));
  Read("8140");
  EXPECT_EQ("8140,P,Q,R", StoredList());
}

TEST_F(RegisterPanelTest, SpinStepsTheAddressAndReads) {
  Connect();
  Bridge().Chip().Poke(0x0000, 0x11);
  Bridge().Chip().Poke(0xFFFF, 0x22);
  struct Case {
    const char* start;
    const char* button;
    const char* address;
    uint16_t reg;
    const char* shown;
  } cases[] = {
      {"ffff", "up", "0000", 0x0000, "11"},
      {"0000", "down", "ffff", 0xFFFF, "22"},
      {"0x813F", "up", "8140", 0x8140, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.start) + " " + c.button);
    Bridge().Chip().ClearAccessLog();
    log_.lines.clear();
    Address()->setEditText(c.start);
    SpinButton(c.button)->click();
    EXPECT_EQ(c.address, Address()->currentText().toStdString());
    EXPECT_EQ(c.address, Items(Address()).front());
    EXPECT_EQ(1u, Bridge().Chip().ReadCount(c.reg));
    const std::string shown = c.shown ? c.shown : FormatRegisterByte(Bridge().Chip().Peek(c.reg));
    EXPECT_EQ(shown, ReadValue()->currentText().toStdString());
    EXPECT_EQ((std::vector<LogLine>{
                  {"[Read]A: 0x" + std::string(c.address) + "  D: 0x" + shown, LOG_INFO}}),
              log_.lines);
  }
}

TEST_F(RegisterPanelTest, WriteWidthFollowsTheTypedDigits) {
  Connect();
  struct Case {
    const char* value;
    std::vector<uint8_t> written;  // at 0x3000 and on; empty: refused
    const char* logged;            // the value as understood, or the refusal's end
  } cases[] = {
      {"1", {0x01}, "01"},
      {"0A", {0x0A}, "0a"},
      {"0x05", {0x05}, "05"},
      {"1234", {0x12, 0x34}, "1234"},
      {"005", {0x00, 0x05}, "0005"},
      {"12345", {}, "超过4位十六进制数，未写入"},
      {"", {}, "不是十六进制数值，未写入"},
      {"zz", {}, "不是十六进制数值，未写入"},
      {"0x", {}, "不是十六进制数值，未写入"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("\"") + c.value + "\"");
    Bridge().Chip().PokeRange(0x3000, {0xA5, 0xA5});
    Bridge().Chip().ClearAccessLog();
    Bridge().Trace().Clear();
    log_.lines.clear();

    Write("3000", c.value);

    const bool refused = c.written.empty();
    const std::string line = refused
                                 ? "[Write]A: 0x3000  \"" + std::string(c.value) + "\"" + c.logged
                                 : "[Write]A: 0x3000  D: 0x" + std::string(c.logged);
    EXPECT_EQ((std::vector<LogLine>{{line, refused ? LOG_ERROR : LOG_INFO}}), log_.lines);
    if (refused) {
      EXPECT_TRUE(Sent().empty());
      EXPECT_EQ((std::vector<uint8_t>{0xA5, 0xA5}), Bridge().Chip().PeekRange(0x3000, 2));
      continue;
    }
    const auto writes = Writes();
    ASSERT_EQ(1u, writes.size());
    EXPECT_EQ(0x3000, writes[0].address);
    EXPECT_EQ(c.written, writes[0].bytes);
    EXPECT_EQ(c.written.size() == 1 ? 0xA5 : c.written[1], Bridge().Chip().Peek(0x3001));
    EXPECT_EQ(c.value, WriteValue()->itemText(0).toStdString());
  }
  // Only the accepted values were kept, newest first.
  EXPECT_EQ((Strings{"005", "1234", "0x05", "0A", "1"}), Items(WriteValue()));
  EXPECT_EQ((Strings{"3000"}), Items(Address()));
}

TEST_F(RegisterPanelTest, AddressWithoutDigitsIsRefusedWithoutTraffic) {
  Connect();
  ASSERT_TRUE(platform::IniWriteString("Register", "Address List", "8140", settings_));
  for (const char* typed : {"", "  ", "zz", "0x", ","}) {
    SCOPED_TRACE(std::string("\"") + typed + "\"");
    log_.lines.clear();
    Read(typed);
    Write(typed, "01");
    Address()->setEditText(typed);
    SpinButton("up")->click();
    const std::string refusal = "\"" + std::string(typed) + "\"不是寄存器地址（十六进制），未访问";
    const std::string read = "[Read]" + refusal;
    const std::string write = "[Write]" + refusal;
    EXPECT_EQ((std::vector<LogLine>{{read, LOG_ERROR}, {write, LOG_ERROR}, {read, LOG_ERROR}}),
              log_.lines);
    EXPECT_EQ("", ReadValue()->currentText().toStdString());
  }
  EXPECT_TRUE(Sent().empty());
  EXPECT_EQ((Strings{"8140"}), Items(Address()));
  EXPECT_TRUE(Items(WriteValue()).empty());
  EXPECT_EQ("8140", StoredList());
}

TEST_F(RegisterPanelTest, FailedAccessesShowEeAndLogAtErrorLevel) {
  enum class Link { kNone, kReportsFail, kUnplugged };
  for (Link link : {Link::kNone, Link::kReportsFail, Link::kUnplugged}) {
    SCOPED_TRACE(static_cast<int>(link));
    if (link != Link::kNone) {
      Connect();
      if (link == Link::kReportsFail) Bridge().FailNextWrites(3);
      if (link == Link::kUnplugged) Bridge().Unplug();
    }
    log_.lines.clear();
    Read("8140");
    EXPECT_EQ("ee", ReadValue()->currentText().toStdString());
    Write("8140", "01");
    Write("8140", "0102");
    EXPECT_EQ((std::vector<LogLine>{{"[Read]A: 0x8140  D: 0xee", LOG_ERROR},
                                    {"[Write]A: 0x8140  D: 0x01", LOG_ERROR},
                                    {"[Write]A: 0x8140  D: 0x0102", LOG_ERROR}}),
              log_.lines);
    // The address is still worth keeping for the next try.
    EXPECT_EQ("8140", StoredList());
    g_pBridgeDevice = nullptr;
    device_.reset();
  }
}

TEST_F(RegisterPanelTest, ASettingsWriteFailureIsLogged) {
  Connect();
  // A file where the folder should be: the settings file can never be written.
  const auto blocker = std::filesystem::path(dir_.path().toStdString()) / "System";
  std::ofstream(blocker) << "not a folder";
  settings_ = blocker / "AppConfigInit.ini";
  Bridge().Chip().Poke(0x8140, 0x42);

  Read("8140");
  EXPECT_EQ("42", ReadValue()->currentText().toStdString());
  ASSERT_EQ(2u, log_.lines.size());
  EXPECT_EQ((LogLine{"[Read]A: 0x8140  D: 0x42", LOG_INFO}), log_.lines[0]);
  EXPECT_EQ(0u, log_.lines[1].text.rfind("写入AppConfigInit.ini文件失败", 0)) << log_.lines[1].text;
  EXPECT_EQ(LOG_ERROR, log_.lines[1].level);
}

TEST_F(RegisterPanelTest, BusyDisablesEveryControlAndEveryAccess) {
  Connect();
  Panel().SetBusy(true);
  for (const QString& name :
       {CONTROL_NAME(IDC_ADDRESS), CONTROL_NAME(IDC_WRITE_VALUE), CONTROL_NAME(IDC_READ_VALUE),
        CONTROL_NAME(IDC_WRITE), CONTROL_NAME(IDC_READ)}) {
    EXPECT_FALSE(Control<QWidget>(name)->isEnabled()) << name.toStdString();
  }
  EXPECT_FALSE(SpinButton("up")->isEnabled());
  EXPECT_FALSE(SpinButton("down")->isEnabled());

  // Keyboard shortcuts or other callers reach the handlers directly.
  Address()->setEditText("8140");
  WriteValue()->setEditText("01");
  Panel().OnRead();
  Panel().OnWrite();
  Panel().OnSpin(+1);
  EXPECT_TRUE(Sent().empty());
  EXPECT_TRUE(log_.lines.empty());

  Panel().SetBusy(false);
  EXPECT_TRUE(Control<QWidget>(CONTROL_NAME(IDC_READ))->isEnabled());
  EXPECT_TRUE(SpinButton("up")->isEnabled());
  Read("8140");
  EXPECT_EQ(1u, log_.lines.size());
}

}  // namespace
