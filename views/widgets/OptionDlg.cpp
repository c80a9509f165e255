#include "views/widgets/OptionDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <string>

#include "ui/ControlIds.h"
#include "ui/Prompts.h"
#include "device/ChipGlobals.h"
#include "device/chip/ChipIdentify.h"
#include "device/HexStrToWord.h"
#include "device/link/RegisterOps.h"
#include "device/StreamControl.h"
#include "platform/files/IniFile.h"
#include "views/DataFormatLoader.h"
#include "views/DataFormatStore.h"

namespace {

const QString kRefusedText = QStringLiteral(
    "数据格式超出范围，设置未保存（行、列至少为 1，每帧最多 7040 字节，原始值最多 3520 个）：\n");
const QString kSaveFailedText = QStringLiteral("保存数据选项失败：");
constexpr char kDisableTouchFailedText[] = "关闭触控功能失败";
constexpr char kEnableTouchFailedText[] = "恢复触控功能失败";

// One row of the dialog: its label, the prefix of its "Option" keys and the
// ids of its fields.
struct KindSpec {
  DataKind kind;
  QString label;
  std::string keyPrefix;
  QString address, rows, cols, isSigned, bit, endian;
};

const std::array<KindSpec, kDataKindCount>& KindSpecs() {
  static const std::array<KindSpec, kDataKindCount> specs = {{
      {DataKind::Raw, QStringLiteral("RawData"), "Raw", CONTROL_NAME(IDC_OPT_RAW_ADDR),
       CONTROL_NAME(IDC_OPT_RAW_ROWS), CONTROL_NAME(IDC_OPT_RAW_COLS),
       CONTROL_NAME(IDC_OPT_RAW_SIGNED), CONTROL_NAME(IDC_OPT_RAW_BIT),
       CONTROL_NAME(IDC_OPT_RAW_ENDIAN)},
      {DataKind::Diff, QStringLiteral("DiffData"), "Diff", CONTROL_NAME(IDC_OPT_DIFF_ADDR),
       CONTROL_NAME(IDC_OPT_DIFF_ROWS), CONTROL_NAME(IDC_OPT_DIFF_COLS),
       CONTROL_NAME(IDC_OPT_DIFF_SIGNED), CONTROL_NAME(IDC_OPT_DIFF_BIT),
       CONTROL_NAME(IDC_OPT_DIFF_ENDIAN)},
      {DataKind::Observe, QStringLiteral("OtherData"), "Observe",
       CONTROL_NAME(IDC_OPT_OBSERVE_ADDR), CONTROL_NAME(IDC_OPT_OBSERVE_ROWS),
       CONTROL_NAME(IDC_OPT_OBSERVE_COLS), CONTROL_NAME(IDC_OPT_OBSERVE_SIGNED),
       CONTROL_NAME(IDC_OPT_OBSERVE_BIT), CONTROL_NAME(IDC_OPT_OBSERVE_ENDIAN)},
      {DataKind::Stylus, QStringLiteral("StylusData"), "Stylus", CONTROL_NAME(IDC_OPT_STYLUS_ADDR),
       CONTROL_NAME(IDC_OPT_STYLUS_ROWS), CONTROL_NAME(IDC_OPT_STYLUS_COLS),
       CONTROL_NAME(IDC_OPT_STYLUS_SIGNED), CONTROL_NAME(IDC_OPT_STYLUS_BIT),
       CONTROL_NAME(IDC_OPT_STYLUS_ENDIAN)},
  }};
  return specs;
}

// Blanks, an optional sign, then decimal digits up to the first non-digit;
// text without digits gives 0, as counts have always been read. An overlong
// number saturates rather than wraps, so it is refused instead of turning
// into a small count.
int32_t ParseCount(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = std::min(kLimit, value * 10 + (text[i] - '0'));
  }
  if (negative) return static_cast<int32_t>(-value);
  return static_cast<int32_t>(std::min<int64_t>(value, std::numeric_limits<int32_t>::max()));
}

QComboBox* MakeTextField(const QString& name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

// The selected index is the field's value.
QComboBox* MakeList(const QString& name, const QStringList& items, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->addItems(items);
  return combo;
}

void Select(QComboBox* combo, uint8_t value) {
  combo->setCurrentIndex(std::min<int>(value, combo->count() - 1));
}

uint8_t Selection(const QComboBox* combo) {
  return static_cast<uint8_t>(std::max(0, combo->currentIndex()));
}

QString AddressText(uint16_t address) { return QString::number(address, 16); }

}  // namespace

COptionDlg::COptionDlg(DataFormatStore& store, IPrompts& prompts, ILogSink* log, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(prompts), log_(log) {
  FindChipIni();
  FindChipScFile();
  chipIni_ = GetChipIniPath();
  LoadDataFormats(chipIni_, store_, log_);

  BuildControls();
  OnBnClickedCancel();
  ShowSelections();
  disableDigitizer_->setChecked(g_bDigitizerDisabled.load());
}

void COptionDlg::BuildControls() {
  setWindowTitle(QStringLiteral("Dialog"));

  auto* group = new QGroupBox(QStringLiteral("Data Format"), this);
  auto* grid = new QGridLayout(group);
  const QStringList headers = {QStringLiteral("Address"), QStringLiteral("Rows"),
                               QStringLiteral("Cols"),    QStringLiteral("Signed"),
                               QStringLiteral("Bit"),     QStringLiteral("Endian")};
  for (int c = 0; c < headers.size(); ++c) grid->addWidget(new QLabel(headers[c], group), 0, c + 1);

  const QStringList signedItems = {QStringLiteral("Unsigned"), QStringLiteral("Signed")};
  const QStringList bitItems = {QStringLiteral("8 BIT"), QStringLiteral("16 BIT"),
                                QStringLiteral("32 BIT")};
  const QStringList endianItems = {QStringLiteral("Big-Endian"), QStringLiteral("Little-Endian")};
  int line = 1;
  for (const KindSpec& spec : KindSpecs()) {
    KindRow& row = Row(spec.kind);
    row.address = MakeTextField(spec.address, group);
    row.rows = MakeTextField(spec.rows, group);
    row.cols = MakeTextField(spec.cols, group);
    row.isSigned = MakeList(spec.isSigned, signedItems, group);
    row.bit = MakeList(spec.bit, bitItems, group);
    row.endian = MakeList(spec.endian, endianItems, group);
    grid->addWidget(new QLabel(spec.label, group), line, 0);
    int column = 1;
    for (QComboBox* field : {row.address, row.rows, row.cols, row.isSigned, row.bit, row.endian}) {
      grid->addWidget(field, line, column++);
    }
    ++line;
  }

  disableDigitizer_ = new QCheckBox(QStringLiteral("关闭触控功能"), this);
  disableDigitizer_->setObjectName(CONTROL_NAME(IDC_OPT_DISABLE_TOUCH));
  connect(disableDigitizer_, &QCheckBox::clicked, this, &COptionDlg::OnBnClickedDisableDigitizer);
  auto* note = new QLabel(
      QStringLiteral(
          "注：勾选后，暂时无法使用触控功能，关闭工具或取消勾选则恢复触控功能（部分版本不支持）"),
      this);
  note->setWordWrap(true);

  auto* apply = new QPushButton(QStringLiteral("Aplly"), this);
  apply->setObjectName(CONTROL_NAME(IDC_OPT_APPLY));
  connect(apply, &QPushButton::clicked, this, [this] { OnBnClickedApply(); });
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setObjectName(CONTROL_NAME(IDC_OPT_CANCEL));
  connect(cancel, &QPushButton::clicked, this, &COptionDlg::OnBnClickedCancel);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(apply);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addWidget(disableDigitizer_);
  layout->addWidget(note);
  layout->addLayout(buttons);
}

void COptionDlg::ShowSelections() {
  const DataFormatSet set = store_.Snapshot().set;
  for (DataKind kind : kAllDataKinds) {
    const DataFormat& f = set.Of(kind);
    KindRow& row = Row(kind);
    ShownRow& shown = shown_[static_cast<size_t>(kind)];
    Select(row.isSigned, f.isSigned);
    Select(row.bit, f.unit);
    Select(row.endian, f.littleEndian);
    shown.isSigned = Selection(row.isSigned);
    shown.bit = Selection(row.bit);
    shown.endian = Selection(row.endian);
  }
}

void COptionDlg::OnBnClickedCancel() {
  const DataFormatSet set = store_.Snapshot().set;
  for (DataKind kind : kAllDataKinds) {
    const DataFormat& f = set.Of(kind);
    KindRow& row = Row(kind);
    ShownRow& shown = shown_[static_cast<size_t>(kind)];
    shown.address = AddressText(f.address);
    shown.rows = QString::number(f.rows);
    shown.cols = QString::number(f.cols);
    row.address->setEditText(shown.address);
    row.rows->setEditText(shown.rows);
    row.cols->setEditText(shown.cols);
  }
}

COptionDlg::ApplyResult COptionDlg::OnBnClickedApply() {
  struct Texts {
    std::string address, rows, cols;
  };
  std::array<Texts, kDataKindCount> texts;
  std::array<DataFormat, kDataKindCount> formats = store_.Snapshot().set.formats;
  // An unedited field takes the format in force: the panel may have been
  // read again since the dialog was filled.
  auto text = [](const QComboBox* field, const QString& shown, const QString& inForce) {
    return (field->currentText() == shown ? inForce : field->currentText()).toStdString();
  };
  auto choice = [](const QComboBox* field, uint8_t shown, uint8_t inForce) {
    const uint8_t chosen = Selection(field);
    return chosen == shown ? inForce : chosen;
  };
  for (DataKind kind : kAllDataKinds) {
    const size_t i = static_cast<size_t>(kind);
    const KindRow& row = Row(kind);
    const ShownRow& shown = shown_[i];
    DataFormat& f = formats[i];
    texts[i] = {text(row.address, shown.address, AddressText(f.address)),
                text(row.rows, shown.rows, QString::number(f.rows)),
                text(row.cols, shown.cols, QString::number(f.cols))};
    f.address = HexStrToWord(texts[i].address);
    f.rows = ParseCount(texts[i].rows);
    f.cols = ParseCount(texts[i].cols);
    f.unit = choice(row.bit, shown.bit, f.unit);
    f.isSigned = choice(row.isSigned, shown.isSigned, f.isSigned);
    f.littleEndian = choice(row.endian, shown.endian, f.littleEndian);
  }

  // All four or none: a view must never be handed a grid its buffers cannot
  // hold, and a half-taken apply would leave the record out of step.
  std::string error;
  if (!store_.Apply(formats, &error)) {
    prompts_.warn(kRefusedText + QString::fromStdString(error));
    return ApplyResult::Refused;
  }

  // The record keeps the texts as typed and the list selections as numbers,
  // field by field across the kinds.
  using Field = std::string (*)(const Texts&, const DataFormat&);
  struct RecordField {
    const char* suffix;
    Field value;
  };
  static constexpr RecordField kRecord[] = {
      {"DataAddress", [](const Texts& t, const DataFormat&) { return t.address; }},
      {"DataRows", [](const Texts& t, const DataFormat&) { return t.rows; }},
      {"DataCols", [](const Texts& t, const DataFormat&) { return t.cols; }},
      {"DataBit", [](const Texts&, const DataFormat& f) { return std::to_string(f.unit); }},
      {"DataSigned", [](const Texts&, const DataFormat& f) { return std::to_string(f.isSigned); }},
      {"DataEndian",
       [](const Texts&, const DataFormat& f) { return std::to_string(f.littleEndian); }},
  };
  std::vector<std::pair<std::string, std::string>> record;
  for (const RecordField& field : kRecord) {
    for (const KindSpec& spec : KindSpecs()) {
      const size_t i = static_cast<size_t>(spec.kind);
      record.emplace_back(spec.keyPrefix + field.suffix, field.value(texts[i], formats[i]));
    }
  }
  // One write for the whole record: never half of it on disk.
  const bool written = WriteOptions(record);
  OnBnClickedCancel();
  ShowSelections();
  return written ? ApplyResult::Saved : ApplyResult::WriteFailed;
}

// The choice stands even when the bridge refused it (the failure is logged):
// every panel-geometry read, such as the one after the bridge arrives, applies
// it again.
void COptionDlg::OnBnClickedDisableDigitizer(bool checked) {
  if (checked) {
    if (DisableDigitizer() == 0 && log_ != nullptr)
      log_->AddLog(kDisableTouchFailedText, LOG_ERROR);
    WriteOption(kDigitizerKey, "1");
    g_bDigitizerDisabled = true;
    return;
  }
  // The chip leaves its frame stream to report touches again. A page that was
  // streaming is marked stopped, so its read chain ends and its button starts
  // it afresh.
  IStreamControl& stream = StreamControl();
  const int page = stream.CurrentPage();
  if (IsDataStreamPage(page)) stream.StopPageStream(page);
  StopDataStream();
  if (EnableDigitizer() == 0 && log_ != nullptr) log_->AddLog(kEnableTouchFailedText, LOG_ERROR);
  WriteOption(kDigitizerKey, "0");
  g_bDigitizerDisabled = false;
}

bool COptionDlg::WriteOption(const char* key, const std::string& value) {
  return WriteOptions({{key, value}});
}

bool COptionDlg::WriteOptions(const std::vector<std::pair<std::string, std::string>>& keyValues) {
  std::string error;
  if (platform::IniWriteStrings(kSection, keyValues, chipIni_, &error)) return true;
  prompts_.warn(kSaveFailedText + QString::fromStdString(chipIni_.string()) + QStringLiteral("\n") +
                QString::fromStdString(error));
  return false;
}

void COptionDlg::closeEvent(QCloseEvent* event) {
  // Closing takes the fields in first; fields that cannot be taken keep the
  // dialog open so they can be corrected or cancelled.
  if (OnBnClickedApply() == ApplyResult::Refused) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}
