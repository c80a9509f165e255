#include "ui/MyEditBrowseCtrl.h"

#include <QAction>
#include <QFileInfo>
#include <QIcon>

#include "device/ChipGlobals.h"
#include "ui/DialogFolder.h"
#include "ui/FileFilter.h"
#include "ui/Prompts.h"
#include "ui/SkinArt.h"

const QString CMyEditBrowseCtrl::kTypeQuestion =
    QStringLiteral("该文件类型不匹配，确定是否导入吗?");
const QString CMyEditBrowseCtrl::kChipQuestion =
    QStringLiteral("该文件支持的芯片型号与当前芯片型号不匹配，确定是否导入吗?");

namespace {

// Chip-specific files carry the family prefix in their name.
const QString kChipFileMark = QStringLiteral("RO");
// Placeholder chip names ("RO7XXX") mean "not identified": nothing to compare.
const QString kUnknownChipMark = QStringLiteral("XXX");

QIcon BrowseIcon() {
  QIcon icon;
  for (qreal dpr : {1.0, 2.0}) {
    const QPixmap pixmap = SkinPixmap(SkinImage::Browse, QSize(16, 16), dpr);
    if (!pixmap.isNull()) icon.addPixmap(pixmap);
  }
  return icon;
}

}  // namespace

CMyEditBrowseCtrl::CMyEditBrowseCtrl(IPrompts& prompts, QWidget* parent)
    : QLineEdit(parent),
      m_prompts(prompts),
      m_chipName(&GetChipName),
      m_folder(std::make_shared<DialogFolder>()),
      m_browse(new QAction(BrowseIcon(), tr("Browse"), this)) {
  m_browse->setObjectName(QStringLiteral("browse"));
  addAction(m_browse, QLineEdit::TrailingPosition);
  connect(m_browse, &QAction::triggered, this, &CMyEditBrowseCtrl::OnBrowse);
}

void CMyEditBrowseCtrl::SetChipNameSource(ChipNameSource source) { m_chipName = std::move(source); }

void CMyEditBrowseCtrl::SetFilter(const QString& folder, const QString& filter) {
  SetFilter(std::make_shared<DialogFolder>(folder), filter);
}

void CMyEditBrowseCtrl::SetFilter(std::shared_ptr<DialogFolder> folder, const QString& filter) {
  m_folder = folder ? std::move(folder) : std::make_shared<DialogFolder>();
  m_filter = filter;
}

QString CMyEditBrowseCtrl::InitialFolder() const { return m_folder->Folder(); }

bool CMyEditBrowseCtrl::TypeAccepted(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  // A name without an extension is not of any listed type either.
  if (!suffix.isEmpty() && FilterExtensions(m_filter).contains(u'.' + suffix)) return true;
  return m_prompts.askYesNo(kTypeQuestion);
}

bool CMyEditBrowseCtrl::ChipAccepted(const QString& path) {
  const QString chip = m_chipName ? QString::fromStdString(m_chipName()).trimmed() : QString();
  if (chip.isEmpty() || chip.contains(kUnknownChipMark)) return true;
  // Only the file name counts: a folder such as "ROSE" says nothing about the chip.
  const QString name = QFileInfo(path).fileName();
  if (!name.contains(kChipFileMark) || name.contains(chip)) return true;
  return m_prompts.askYesNo(kChipQuestion);
}

void CMyEditBrowseCtrl::OnBrowse() {
  const std::optional<QString> chosen =
      m_prompts.openFileName(InitialFolder(), WinFilterToQt(m_filter));
  if (!chosen || chosen->isEmpty()) return;
  const QString path = *chosen;
  if (!TypeAccepted(path) || !ChipAccepted(path)) return;

  setText(path);
  setCursorPosition(int(path.size()));
  m_folder->Used(path);
}
