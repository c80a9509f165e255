#include "app/RegisterPanel.h"

#include "app/AppSettings.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "device/ChipGlobals.h"
#include "device/HexStrToWord.h"
#include "device/link/RegisterOps.h"
#include "platform/files/IniFile.h"
#include "ui/ControlIds.h"
#include "ui/MyButton.h"

namespace {

const char* const kSection = "Register";
const char* const kAddressListKey = "Address List";

QComboBox* MakeCombo(const QString& name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setEditable(true);
  // The lists are ours to order; Enter must not add the typed text.
  combo->setInsertPolicy(QComboBox::NoInsert);
  return combo;
}

QToolButton* MakeSpinButton(Qt::ArrowType arrow, const QString& name, QWidget* parent) {
  auto* button = new QToolButton(parent);
  button->setObjectName(name);
  button->setArrowType(arrow);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  return button;
}

std::string Typed(const QComboBox* combo) { return combo->currentText().toStdString(); }

}  // namespace

RegisterPanel::RegisterPanel(ILogSink& log, std::filesystem::path settingsFile, QWidget* parent)
    : QWidget(parent), log_(log), settingsFile_(std::move(settingsFile)) {
  auto* label = new QLabel(QStringLiteral("Address"), this);
  address_ = MakeCombo(CONTROL_NAME(IDC_ADDRESS), this);
  label->setBuddy(address_);

  auto* spin = new QWidget(this);
  spin->setObjectName(CONTROL_NAME(IDC_ADDRESS_SPIN));
  spinUp_ = MakeSpinButton(Qt::UpArrow, QStringLiteral("up"), spin);
  spinDown_ = MakeSpinButton(Qt::DownArrow, QStringLiteral("down"), spin);
  auto* spinLayout = new QVBoxLayout(spin);
  spinLayout->setContentsMargins(0, 0, 0, 0);
  spinLayout->setSpacing(0);
  spinLayout->addWidget(spinUp_);
  spinLayout->addWidget(spinDown_);

  writeValue_ = MakeCombo(CONTROL_NAME(IDC_WRITE_VALUE), this);
  write_ = new CMyButton(QStringLiteral("Write"), this);
  write_->setObjectName(CONTROL_NAME(IDC_WRITE));
  readValue_ = MakeCombo(CONTROL_NAME(IDC_READ_VALUE), this);
  read_ = new CMyButton(QStringLiteral("Read"), this);
  read_->setObjectName(CONTROL_NAME(IDC_READ));

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(label, 0, 0);
  auto* addressRow = new QHBoxLayout;
  addressRow->setSpacing(0);
  addressRow->addWidget(address_, 1);
  addressRow->addWidget(spin);
  layout->addLayout(addressRow, 0, 1, 1, 2);
  layout->addWidget(writeValue_, 1, 1);
  layout->addWidget(write_, 1, 2);
  layout->addWidget(readValue_, 2, 1);
  layout->addWidget(read_, 2, 2);
  layout->setColumnStretch(1, 1);

  connect(read_, &QAbstractButton::clicked, this, [this] { OnRead(); });
  connect(write_, &QAbstractButton::clicked, this, [this] { OnWrite(); });
  connect(spinUp_, &QAbstractButton::clicked, this, [this] { OnSpin(+1); });
  connect(spinDown_, &QAbstractButton::clicked, this, [this] { OnSpin(-1); });

  model_.LoadAddressList(platform::IniGetString(kSection, kAddressListKey, "", settingsFile_));
  ShowList(address_, model_.Addresses());
}

void RegisterPanel::SetBusy(bool busy) {
  busy_ = busy;
  for (QWidget* control : std::initializer_list<QWidget*>{address_, spinUp_, spinDown_, writeValue_,
                                                          write_, readValue_, read_}) {
    control->setEnabled(!busy);
  }
}

void RegisterPanel::OnRead() {
  if (busy_) return;
  const std::string typed = Typed(address_);
  const std::optional<uint16_t> address = ParseRegisterAddress(typed);
  if (!address) {
    readValue_->setEditText(QString());
    log_.AddLog(NotAnAddressLine(kReadKind, typed), LOG_ERROR);
    return;
  }
  model_.UseAddress(CleanRegisterText(typed));
  ShowList(address_, model_.Addresses());

  uint8_t value = kFailedReadByte;
  const bool ok =
      ReadChipRegs(g_pBridgeDevice.load(), *address, &value, 1, kRegisterTimeoutMs) != 0;
  if (!ok) value = kFailedReadByte;
  const std::string shown = FormatRegisterByte(value);
  readValue_->setEditText(QString::fromStdString(shown));
  log_.AddLog(ReadLogLine(*address, shown), ok ? LOG_INFO : LOG_ERROR);
  SaveAddressList();
}

void RegisterPanel::OnSpin(int delta) {
  if (busy_) return;
  if (const std::optional<std::string> next = StepAddressText(Typed(address_), delta)) {
    address_->setEditText(QString::fromStdString(*next));
  }
  // A text without a register is refused (and logged) by the read.
  OnRead();
}

void RegisterPanel::OnWrite() {
  if (busy_) return;
  const std::string typedAddress = Typed(address_);
  const std::string typedValue = Typed(writeValue_);
  const std::optional<uint16_t> address = ParseRegisterAddress(typedAddress);
  const WriteWidth width = WriteWidthOf(typedValue);
  if (!address) {
    log_.AddLog(NotAnAddressLine(kWriteKind, typedAddress), LOG_ERROR);
    return;
  }
  if (width == WriteWidth::kNone || width == WriteWidth::kTooLong) {
    log_.AddLog(NotAValueLine(*address, typedValue, width), LOG_ERROR);
    return;
  }
  model_.UseAddress(CleanRegisterText(typedAddress));
  ShowList(address_, model_.Addresses());
  model_.UseValue(CleanRegisterText(typedValue));
  ShowList(writeValue_, model_.Values());

  CHidDevice* device = g_pBridgeDevice.load();
  const uint16_t value = HexStrToWord(typedValue);
  const bool ok =
      (width == WriteWidth::kByte ? WriteChipReg8(device, *address, static_cast<uint8_t>(value))
                                  : WriteChipReg16(device, *address, value)) != 0;
  log_.AddLog(WriteLogLine(*address, value, width), ok ? LOG_INFO : LOG_ERROR);
  SaveAddressList();
}

void RegisterPanel::ShowList(QComboBox* combo, const std::vector<std::string>& entries) {
  combo->clear();
  for (const std::string& entry : entries) combo->addItem(QString::fromStdString(entry));
  if (!entries.empty()) combo->setCurrentIndex(0);
}

void RegisterPanel::SaveAddressList() {
  std::string text = model_.StoredAddressList();
  if (text == savedAddressList_) return;
  if (!StoreSettings(kSection, {{kAddressListKey, text}}, settingsFile_, log_)) return;
  savedAddressList_ = std::move(text);
}
