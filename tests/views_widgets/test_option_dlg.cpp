// The data-options dialog on a chip INI in a scratch runtime folder: what it
// loads and shows, what an apply stores and records, what it refuses, and the
// touch switch on the simulated bridge.

#include "views/widgets/OptionDlg.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ui/ControlIds.h"
#include "device/ChipGlobals.h"
#include "device/StreamControl.h"
#include "platform/files/AppPaths.h"
#include "platform/files/IniFile.h"
#include "tests/ui/FakePrompts.h"
#include "tests/device/SimDevice.h"
#include "tests/views/RecordingLog.h"
#include "views/DataFormatStore.h"

namespace fs = std::filesystem;

namespace {

constexpr char kChip[] = "RO9110V";
constexpr char kIniName[] = "RO9110V_panel.ini";

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

// key -> value of one section, read straight from the file so that a key
// written under a wrong name shows up as an extra entry.
std::map<std::string, std::string> SectionEntries(const fs::path& file, const std::string& name) {
  std::map<std::string, std::string> entries;
  std::istringstream in(ReadAll(file));
  std::string line;
  bool inside = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      inside = line == "[" + name + "]";
      continue;
    }
    const size_t eq = line.find('=');
    if (inside && eq != std::string::npos) entries[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return entries;
}

class FakeStream : public IStreamControl {
 public:
  int page = PAGE_DEMO;
  std::vector<int> stopped;

  int CurrentPage() const override { return page; }
  bool IsBusy() const override { return false; }
  void RestartPage(int p) override { ADD_FAILURE() << "unexpected restart of page " << p; }
  void MarkPageStopped(int p) override { stopped.push_back(p); }
  bool StopPageStream(int p) override {
    stopped.push_back(p);
    return true;
  }
  void RestartPageStream(int p) override {
    ADD_FAILURE() << "unexpected stream restart of page " << p;
  }
};

struct RowNames {
  QString address, rows, cols, isSigned, bit, endian;
};

RowNames NamesOf(DataKind kind) {
  switch (kind) {
    case DataKind::Raw:
      return {CONTROL_NAME(IDC_OPT_RAW_ADDR), CONTROL_NAME(IDC_OPT_RAW_ROWS),
              CONTROL_NAME(IDC_OPT_RAW_COLS), CONTROL_NAME(IDC_OPT_RAW_SIGNED),
              CONTROL_NAME(IDC_OPT_RAW_BIT),  CONTROL_NAME(IDC_OPT_RAW_ENDIAN)};
    case DataKind::Diff:
      return {CONTROL_NAME(IDC_OPT_DIFF_ADDR), CONTROL_NAME(IDC_OPT_DIFF_ROWS),
              CONTROL_NAME(IDC_OPT_DIFF_COLS), CONTROL_NAME(IDC_OPT_DIFF_SIGNED),
              CONTROL_NAME(IDC_OPT_DIFF_BIT),  CONTROL_NAME(IDC_OPT_DIFF_ENDIAN)};
    case DataKind::Observe:
      return {CONTROL_NAME(IDC_OPT_OBSERVE_ADDR), CONTROL_NAME(IDC_OPT_OBSERVE_ROWS),
              CONTROL_NAME(IDC_OPT_OBSERVE_COLS), CONTROL_NAME(IDC_OPT_OBSERVE_SIGNED),
              CONTROL_NAME(IDC_OPT_OBSERVE_BIT),  CONTROL_NAME(IDC_OPT_OBSERVE_ENDIAN)};
    case DataKind::Stylus:
      return {CONTROL_NAME(IDC_OPT_STYLUS_ADDR), CONTROL_NAME(IDC_OPT_STYLUS_ROWS),
              CONTROL_NAME(IDC_OPT_STYLUS_COLS), CONTROL_NAME(IDC_OPT_STYLUS_SIGNED),
              CONTROL_NAME(IDC_OPT_STYLUS_BIT),  CONTROL_NAME(IDC_OPT_STYLUS_ENDIAN)};
  }
  return {};
}

class OptionDlgTest : public SimDeviceTest {
 protected:
  void SetUp() override {
    SimDeviceTest::SetUp();
    ASSERT_TRUE(root_.isValid());
    base_ = fs::path(root_.path().toStdString());
    fs::create_directories(base_ / "System" / "ChipIni");
    fs::create_directories(base_ / "System" / "CfgItem");
    std::ofstream(base_ / "System" / "CfgItem" / "RO9110V_panel.sc").put('\n');
    platform::AppPaths::SetBaseDir(base_);
    SetChipName(kChip);
    g_bDigitizerDisabled = false;
    SetStreamControl(&stream_);
  }

  void TearDown() override {
    dlg_.reset();
    SetStreamControl(nullptr);
    g_bDigitizerDisabled = false;
    SetChipIniPath({});
    SetScFilePath({});
    platform::AppPaths::SetBaseDir(platform::AppPaths::ExecutableBaseDir());
    SimDeviceTest::TearDown();
  }

  // Puts a chip INI fixture where the dialog looks for the chip's file.
  fs::path UseFixture(const char* fixture) {
    const fs::path ini = base_ / "System" / "ChipIni" / kIniName;
    fs::copy_file(fs::path(KESTRANA_TEST_DATA_DIR) / "chipini" / fixture, ini,
                  fs::copy_options::overwrite_existing);
    return ini;
  }

  COptionDlg& Open() {
    dlg_.reset();
    dlg_ = std::make_unique<COptionDlg>(store_, prompts_, &log_);
    return *dlg_;
  }

  template <typename T>
  T* Control(const QString& name) {
    T* control = dlg_->findChild<T*>(name);
    EXPECT_NE(nullptr, control) << name.toStdString();
    return control;
  }
  QComboBox* Field(const QString& name) { return Control<QComboBox>(name); }
  void Type(const QString& name, const QString& text) { Field(name)->setEditText(text); }
  void Choose(const QString& name, int index) { Field(name)->setCurrentIndex(index); }
  void Click(const QString& name) { Control<QAbstractButton>(name)->click(); }

  QTemporaryDir root_;
  fs::path base_;
  DataFormatStore store_;
  FakePrompts prompts_;
  views_test::RecordingLog log_;
  FakeStream stream_;
  std::unique_ptr<COptionDlg> dlg_;
};

// --- What the dialog loads and shows. ---

struct ShownRow {
  const char* address;
  const char* rows;
  const char* cols;
  int isSigned;
  int bit;
  int endian;
};

struct LoadCase {
  const char* name;
  const char* fixture;
  bool touchOff;
  uint16_t syncFlag;
  ShownRow raw, diff, observe, stylus;
};

class OptionDlgLoad : public OptionDlgTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(OptionDlgLoad, ShowsTheFormatsOfTheChipIni) {
  const LoadCase& c = GetParam();
  const fs::path ini = UseFixture(c.fixture);
  g_bDigitizerDisabled = c.touchOff;
  Open();

  EXPECT_EQ(dlg_->ChipIniPath(), ini);
  EXPECT_EQ(g_wSyncFlagAddr.load(), c.syncFlag);
  EXPECT_EQ(Control<QCheckBox>(CONTROL_NAME(IDC_OPT_DISABLE_TOUCH))->isChecked(), c.touchOff);
  const ShownRow rows[] = {c.raw, c.diff, c.observe, c.stylus};
  for (DataKind kind : kAllDataKinds) {
    SCOPED_TRACE(DataKindName(kind));
    const ShownRow& want = rows[static_cast<size_t>(kind)];
    const RowNames n = NamesOf(kind);
    EXPECT_EQ(Field(n.address)->currentText(), want.address);
    EXPECT_EQ(Field(n.rows)->currentText(), want.rows);
    EXPECT_EQ(Field(n.cols)->currentText(), want.cols);
    EXPECT_EQ(Field(n.isSigned)->currentIndex(), want.isSigned);
    EXPECT_EQ(Field(n.bit)->currentIndex(), want.bit);
    EXPECT_EQ(Field(n.endian)->currentIndex(), want.endian);
    // The store holds what is shown.
    const DataFormat f = store_.Format(kind);
    EXPECT_EQ(QString::number(f.address, 16), want.address);
    EXPECT_EQ(f.unit, want.bit);
    EXPECT_EQ(f.isSigned, want.isSigned);
    EXPECT_EQ(f.littleEndian, want.endian);
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, OptionDlgLoad,
                         ::testing::Values(
                             // 16-bit raw and observe, 8-bit difference and stylus, unsigned,
                             // little-endian, 30 x 42.
                             LoadCase{"Defaults",
                                      "defaults.ini",
                                      false,
                                      0x814E,
                                      {"8b98", "30", "42", 0, 1, 1},
                                      {"bb10", "30", "42", 0, 0, 1},
                                      {"81c0", "30", "42", 0, 1, 1},
                                      {"c530", "30", "42", 0, 0, 1}},
                             // The stylus takes the raw width and the difference signedness;
                             // "Option" addresses and widths are not read back.
                             LoadCase{"EveryKey",
                                      "every_key.ini",
                                      true,
                                      0x824E,
                                      {"9000", "20", "40", 1, 2, 0},
                                      {"a100", "72", "44", 1, 1, 0},
                                      {"8200", "10", "12", 0, 0, 0},
                                      {"c600", "20", "44", 1, 2, 0}}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Apply. ---

TEST_F(OptionDlgTest, ApplyStoresTheFieldsAndRecordsThemAsShown) {
  const fs::path ini = UseFixture("defaults.ini");
  Open();
  dlg_->show();
  Type(CONTROL_NAME(IDC_OPT_RAW_ADDR), "81c0");
  Choose(CONTROL_NAME(IDC_OPT_RAW_SIGNED), 1);
  Type(CONTROL_NAME(IDC_OPT_DIFF_ROWS), "20");
  Type(CONTROL_NAME(IDC_OPT_OBSERVE_ADDR), "0x9A00");
  Choose(CONTROL_NAME(IDC_OPT_STYLUS_BIT), 2);
  Choose(CONTROL_NAME(IDC_OPT_STYLUS_ENDIAN), 0);
  Type(CONTROL_NAME(IDC_OPT_STYLUS_COLS), "44");

  Click(CONTROL_NAME(IDC_OPT_APPLY));

  EXPECT_TRUE(prompts_.warnings.isEmpty()) << prompts_.warnings.join("\n").toStdString();
  EXPECT_TRUE(dlg_->isVisible()) << "apply does not close the dialog";
  DataFormatSet want = DefaultDataFormats();
  want.Of(DataKind::Raw).address = 0x81C0;
  want.Of(DataKind::Raw).isSigned = 1;
  want.Of(DataKind::Diff).rows = 20;
  want.Of(DataKind::Observe).address = 0x9A00;
  want.Of(DataKind::Stylus).unit = 2;
  want.Of(DataKind::Stylus).littleEndian = 0;
  want.Of(DataKind::Stylus).cols = 44;
  EXPECT_EQ(store_.Snapshot().set, want);

  // clang-format off
  const std::map<std::string, std::string> record = {
      {"RawDataAddress", "81c0"}, {"DiffDataAddress", "bb10"},
      {"ObserveDataAddress", "0x9A00"}, {"StylusDataAddress", "c530"},
      {"RawDataRows", "30"}, {"DiffDataRows", "20"},
      {"ObserveDataRows", "30"}, {"StylusDataRows", "30"},
      {"RawDataCols", "42"}, {"DiffDataCols", "42"},
      {"ObserveDataCols", "42"}, {"StylusDataCols", "44"},
      {"RawDataBit", "1"}, {"DiffDataBit", "0"},
      {"ObserveDataBit", "1"}, {"StylusDataBit", "2"},
      {"RawDataSigned", "1"}, {"DiffDataSigned", "0"},
      {"ObserveDataSigned", "0"}, {"StylusDataSigned", "0"},
      {"RawDataEndian", "1"}, {"DiffDataEndian", "1"},
      {"ObserveDataEndian", "1"}, {"StylusDataEndian", "0"},
  };
  // clang-format on
  EXPECT_EQ(SectionEntries(ini, "Option"), record);
  EXPECT_TRUE(SectionEntries(ini, "BasicData").empty());

  // Building the dialog again (the next chip refresh) keeps the rows and
  // columns typed; addresses and widths come from "BasicData" again.
  Open();
  want = DefaultDataFormats();
  want.Of(DataKind::Diff).rows = 20;
  want.Of(DataKind::Stylus).cols = 44;
  EXPECT_EQ(store_.Snapshot().set, want);
  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_DIFF_ROWS))->currentText(), "20");
  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_RAW_ADDR))->currentText(), "8b98");
}

// One change made in the dialog: text typed into a field, or a list entry
// picked.
struct Edit {
  QString field;
  QString text;
  int index = -1;
};
Edit TypeIn(const QString& field, const QString& text) { return {field, text, -1}; }
Edit Pick(const QString& field, int index) { return {field, QString(), index}; }

struct RefuseCase {
  const char* name;
  DataKind kind;  // the kind whose format breaks
  std::vector<Edit> edits;
};

class OptionDlgRefuse : public OptionDlgTest, public ::testing::WithParamInterface<RefuseCase> {};

TEST_P(OptionDlgRefuse, KeepsTheStoreAndTheFileAndSaysWhy) {
  const RefuseCase& c = GetParam();
  const fs::path ini = UseFixture("defaults.ini");
  Open();
  const DataFormatSnapshot before = store_.Snapshot();
  const std::string fileBefore = ReadAll(ini);

  // A valid change elsewhere must not slip through with the refused one.
  Type(CONTROL_NAME(IDC_OPT_OBSERVE_ADDR), "1234");
  for (const Edit& e : c.edits) {
    if (e.index >= 0) {
      Choose(e.field, e.index);
    } else {
      Type(e.field, e.text);
    }
  }

  EXPECT_EQ(dlg_->OnBnClickedApply(), COptionDlg::ApplyResult::Refused);

  const DataFormatSnapshot after = store_.Snapshot();
  EXPECT_EQ(after.set, before.set);
  EXPECT_EQ(after.version, before.version);
  EXPECT_EQ(ReadAll(ini), fileBefore);
  ASSERT_EQ(prompts_.warnings.size(), 1);
  EXPECT_TRUE(prompts_.warnings[0].contains(QString::fromUtf8(DataKindName(c.kind)) + QStringLiteral("：")))
      << prompts_.warnings[0].toStdString();
  // What was typed stays, to be corrected or cancelled.
  for (const Edit& e : c.edits) {
    if (e.index < 0) {
      EXPECT_EQ(Field(e.field)->currentText(), e.text);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    OutOfBounds, OptionDlgRefuse,
    ::testing::Values(
        RefuseCase{"ZeroRows", DataKind::Raw, {TypeIn(CONTROL_NAME(IDC_OPT_RAW_ROWS), "0")}},
        RefuseCase{"NegativeCols", DataKind::Diff, {TypeIn(CONTROL_NAME(IDC_OPT_DIFF_COLS), "-3")}},
        RefuseCase{
            "NotANumber", DataKind::Observe, {TypeIn(CONTROL_NAME(IDC_OPT_OBSERVE_ROWS), "abc")}},
        // 2^32 + 30 must not wrap round to a plausible 30.
        RefuseCase{"Overlong",
                   DataKind::Stylus,
                   {TypeIn(CONTROL_NAME(IDC_OPT_STYLUS_ROWS), "4294967326")}},
        // 5000 x 42 raw values: over the statistics arrays and the slot.
        RefuseCase{
            "TooManyRawValues", DataKind::Raw, {TypeIn(CONTROL_NAME(IDC_OPT_RAW_ROWS), "5000")}},
        // 100 x 100 bytes at 8 bit: over one frame slot.
        RefuseCase{"FrameOverSlot",
                   DataKind::Diff,
                   {TypeIn(CONTROL_NAME(IDC_OPT_DIFF_ROWS), "100"),
                    TypeIn(CONTROL_NAME(IDC_OPT_DIFF_COLS), "100")}},
        // 72 x 44 is fine at 16 bit but 12672 bytes at 32 bit.
        RefuseCase{"WidthOverSlot",
                   DataKind::Raw,
                   {TypeIn(CONTROL_NAME(IDC_OPT_RAW_ROWS), "72"),
                    TypeIn(CONTROL_NAME(IDC_OPT_RAW_COLS), "44"),
                    Pick(CONTROL_NAME(IDC_OPT_RAW_BIT), 2)}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OptionDlgTest, ApplyWithoutAWritableChipIniStoresButSaysTheRecordIsNotSaved) {
  // A chip name that cannot name a file leaves no chip INI to write to.
  SetChipName("RO9/../x");
  Open();
  EXPECT_TRUE(dlg_->ChipIniPath().empty());
  Type(CONTROL_NAME(IDC_OPT_RAW_ROWS), "20");

  EXPECT_EQ(dlg_->OnBnClickedApply(), COptionDlg::ApplyResult::WriteFailed);

  EXPECT_EQ(store_.Format(DataKind::Raw).rows, 20);
  EXPECT_EQ(prompts_.warnings.size(), 1);
}

// --- Cancel and close. ---

TEST_F(OptionDlgTest, CancelShowsTheStoredAddressesAndCountsAgain) {
  UseFixture("defaults.ini");
  Open();
  Type(CONTROL_NAME(IDC_OPT_RAW_ROWS), "12");
  Type(CONTROL_NAME(IDC_OPT_DIFF_ADDR), "zz");
  Choose(CONTROL_NAME(IDC_OPT_RAW_BIT), 2);
  // The panel's channel counts arrived after the dialog was filled.
  ASSERT_TRUE(store_.AdoptPanelGeometry({.rawRows = 20, .rawColumns = 36}));

  Click(CONTROL_NAME(IDC_OPT_CANCEL));

  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_RAW_ROWS))->currentText(), "20");
  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_RAW_COLS))->currentText(), "36");
  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_DIFF_ADDR))->currentText(), "bb10");
  // Only the texts are refilled; list selections stay.
  EXPECT_EQ(Field(CONTROL_NAME(IDC_OPT_RAW_BIT))->currentIndex(), 2);
  EXPECT_EQ(store_.Format(DataKind::Raw).unit, 1);
}

TEST_F(OptionDlgTest, ClosingAppliesAndStaysOpenWhileRefused) {
  const fs::path ini = UseFixture("defaults.ini");
  Open();
  dlg_->show();
  Choose(CONTROL_NAME(IDC_OPT_STYLUS_BIT), 2);

  EXPECT_TRUE(dlg_->close());
  EXPECT_FALSE(dlg_->isVisible());
  EXPECT_EQ(store_.Format(DataKind::Stylus).unit, 2);
  EXPECT_EQ(store_.Format(DataKind::Observe).unit, 1);
  EXPECT_EQ(SectionEntries(ini, "Option")["StylusDataBit"], "2");

  dlg_->show();
  Type(CONTROL_NAME(IDC_OPT_RAW_COLS), "0");
  EXPECT_FALSE(dlg_->close());
  EXPECT_TRUE(dlg_->isVisible());
  EXPECT_EQ(store_.Format(DataKind::Raw).cols, 42);
  EXPECT_EQ(prompts_.warnings.size(), 1);
}

// --- The touch switch. ---

// Index of the first output report with this bridge command, or -1.
int FirstWithCommand(const std::vector<Report>& sent, uint8_t command) {
  for (size_t i = 0; i < sent.size(); ++i) {
    if (sent[i][2] == command) return static_cast<int>(i);
  }
  return -1;
}

TEST_F(OptionDlgTest, TouchSwitchTellsTheBridgeAndStopsAStreamingPage) {
  const fs::path ini = UseFixture("defaults.ini");
  Connect(sim::ChipFamily::RU9);
  Open();
  stream_.page = PAGE_RAW;
  QCheckBox* box = Control<QCheckBox>(CONTROL_NAME(IDC_OPT_DISABLE_TOUCH));

  box->click();
  EXPECT_TRUE(g_bDigitizerDisabled.load());
  EXPECT_FALSE(Bridge().DigitizerEnabled());
  EXPECT_GE(FirstWithCommand(Sent(), sim::kCmdDigitizerOff), 0);
  EXPECT_EQ(SectionEntries(ini, "Option")[COptionDlg::kDigitizerKey], "1");
  EXPECT_TRUE(stream_.stopped.empty());

  Bridge().Trace().Clear();
  box->click();
  EXPECT_FALSE(g_bDigitizerDisabled.load());
  EXPECT_TRUE(Bridge().DigitizerEnabled());
  const std::vector<Report> sent = Sent();
  const int stop = FirstWithCommand(sent, sim::kCmdStreamStop);
  const int on = FirstWithCommand(sent, sim::kCmdDigitizerOn);
  ASSERT_GE(stop, 0);
  EXPECT_LT(stop, on) << "the stream stops before touch reporting resumes";
  EXPECT_EQ(SectionEntries(ini, "Option")[COptionDlg::kDigitizerKey], "0");
  EXPECT_EQ(stream_.stopped, std::vector<int>{PAGE_RAW});
  EXPECT_TRUE(log_.Lines().empty()) << log_.All();
}

TEST_F(OptionDlgTest, TouchSwitchWithoutABridgeLogsTheFailureAndKeepsTheChoice) {
  const fs::path ini = UseFixture("defaults.ini");
  Open();  // no bridge device

  Control<QCheckBox>(CONTROL_NAME(IDC_OPT_DISABLE_TOUCH))->click();

  EXPECT_TRUE(g_bDigitizerDisabled.load());
  EXPECT_EQ(SectionEntries(ini, "Option")[COptionDlg::kDigitizerKey], "1");
  ASSERT_EQ(log_.Lines().size(), 1u);
  EXPECT_EQ(log_.Lines()[0], "关闭触控功能失败");
}

}  // namespace
