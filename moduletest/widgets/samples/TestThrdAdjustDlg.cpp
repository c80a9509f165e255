#include "moduletest/widgets/samples/TestThrdAdjustDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>

#include "ui/ControlIds.h"
#include "ui/Prompts.h"

namespace {

const std::array<QString, 5> kEditNames = {
    CONTROL_NAME(IDC_ADJUST_MAX_RATIO), CONTROL_NAME(IDC_ADJUST_MIN_RATIO),
    CONTROL_NAME(IDC_ADJUST_ADJACENT_RATIO), CONTROL_NAME(IDC_ADJUST_SAMPLE_TIMES),
    CONTROL_NAME(IDC_ADJUST_ADJACENT_MIN)};

}  // namespace

CTestThrdAdjustDlg::CTestThrdAdjustDlg(const std::filesystem::path& testIni, IPrompts& prompts,
                                       QWidget* parent)
    : QDialog(parent), testIni_(testIni), prompts_(prompts), ratios_(LoadAdjustRatios(testIni)) {
  setWindowTitle(QStringLiteral("参数调整"));
  auto* form = new QFormLayout(this);
  const auto& fields = AdjustRatioFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    edits_[i] = new QLineEdit(QString::number(ratios_.*fields[i].member), this);
    edits_[i]->setObjectName(kEditNames[i]);
    form->addRow(QString::fromUtf8(fields[i].label), edits_[i]);
  }
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  form->addRow(buttons);
  connect(buttons, &QDialogButtonBox::accepted, this, &CTestThrdAdjustDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CTestThrdAdjustDlg::reject);
}

void CTestThrdAdjustDlg::accept() {
  const auto& fields = AdjustRatioFields();
  AdjustRatios taken;
  for (size_t i = 0; i < fields.size(); ++i) {
    bool ok = false;
    const int value = edits_[i]->text().trimmed().toInt(&ok);
    taken.*fields[i].member = ok ? value : fields[i].low - 1;
  }
  const std::string problem = CheckAdjustRatios(taken);
  if (!problem.empty()) {
    prompts_.warn(QString::fromStdString(problem));
    return;
  }
  ratios_ = taken;
  std::string error;
  if (!SaveAdjustRatios(testIni_, ratios_, &error)) {
    prompts_.warn(QStringLiteral("参数保存失败：") + QString::fromStdString(error));
  }
  QDialog::accept();
}
