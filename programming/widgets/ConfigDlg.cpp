#include "programming/widgets/ConfigDlg.h"

#include <QCloseEvent>
#include <QEvent>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>
#include <filesystem>

#include "device/ChipGlobals.h"
#include "device/ConfigError.h"
#include "device/StreamControl.h"
#include "platform/files/AppPaths.h"
#include "programming/widgets/ConfigGridView.h"
#include "ui/ControlIds.h"
#include "ui/DialogFolder.h"
#include "ui/MyEditBrowseCtrl.h"
#include "ui/Prompts.h"
#include "ui/PromptsCfgPathChooser.h"
#include "ui/WaittingDlg.h"

const QString CConfigDlg::kTitle = QStringLiteral("Config Dialog");
const QString CConfigDlg::kScMissingText = QStringLiteral("缺少必要的sc文件");
const QString CConfigDlg::kBusyText = QStringLiteral("需等烧录或测试完成才能读写配置！");
const QString CConfigDlg::kUiFilter =
    QStringLiteral("SC Files(*.sc)|*.sc|UI Files(*.ui)|*.ui|All Files(*.*)|*.*||");
const QString CConfigDlg::kCfgFilter =
    QStringLiteral("Config Files(*.cfg)|*.cfg|All Files(*.*)|*.*||");

namespace {

// The chip whose first item file is its "Z" variant's and not its own.
constexpr char kSharedPrefixChip[] = "RO7387";
constexpr char kSharedPrefixVariant[] = "RO7387Z";
const QString kItemFolder = QStringLiteral("..\\System\\CfgItem");

// Lower-cased text after the last '.', at most three characters.
QString Extension(const QString& path) {
  const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
  if (dot < 0) return QString();
  return path.mid(dot + 1, 3).toLower();
}

// Swaps the search button's artwork when it takes and loses focus.
class SearchFocusArt : public QObject {
 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* button = static_cast<QToolButton*>(watched);
    if (event->type() == QEvent::FocusIn) {
      button->setIcon(QIcon(QStringLiteral(":/skin/search_focus.svg")));
    } else if (event->type() == QEvent::FocusOut) {
      button->setIcon(QIcon(QStringLiteral(":/skin/search.svg")));
    }
    return false;
  }
};

}  // namespace

CConfigDlg::CConfigDlg(IPrompts& prompts, ConfigDlgHost host, QWidget* parent)
    : CMyDialog(parent), m_prompts(prompts), m_host(std::move(host)) {
  setObjectName(CONTROL_NAME(IDD_CONFIG_DLG));
  setWindowTitle(kTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  if (!m_host.configFileFolder) m_host.configFileFolder = std::make_shared<DialogFolder>();
  if (!m_host.saveFolder) m_host.saveFolder = std::make_shared<DialogFolder>();

  auto* root = new QVBoxLayout(this);
  m_grid = new ConfigGridView(m_config.Items(), this);
  root->addWidget(m_grid, 1);

  auto* bar = new QHBoxLayout;
  auto addBrowse = [&](const QString& label, const QString& name) {
    auto* edit = new CMyEditBrowseCtrl(m_prompts, this);
    edit->setObjectName(name);
    bar->addWidget(new QLabel(label, this));
    bar->addWidget(edit, 1);
    return edit;
  };
  m_configFile = addBrowse(QStringLiteral("ConfigFile"), CONTROL_NAME(IDC_CFG_CONFIG_FILE));
  m_configFile->SetFilter(m_host.configFileFolder, kCfgFilter);
  m_uiFile = addBrowse(QStringLiteral("UIFile"), CONTROL_NAME(IDC_CFG_UI_FILE));
  m_uiFile->SetFilter(kItemFolder, kUiFilter);

  auto addButton = [&](const QString& text, const QString& name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(name);
    bar->addWidget(button);
    return button;
  };
  m_read = addButton(QStringLiteral("Read Cfg"), CONTROL_NAME(IDC_CFG_READ));
  m_send = addButton(QStringLiteral("Send Cfg"), CONTROL_NAME(IDC_CFG_SEND));
  m_save = addButton(QStringLiteral("Save Cfg"), CONTROL_NAME(IDC_CFG_SAVE));

  m_searchText = new QLineEdit(this);
  m_searchText->setObjectName(CONTROL_NAME(IDC_CFG_SEARCH_TEXT));
  m_searchText->setMaximumWidth(140);
  bar->addWidget(m_searchText);
  m_search = new QToolButton(this);
  m_search->setObjectName(CONTROL_NAME(IDC_CFG_SEARCH));
  m_search->setIcon(QIcon(QStringLiteral(":/skin/search.svg")));
  m_search->setFocusPolicy(Qt::StrongFocus);
  m_search->installEventFilter(new SearchFocusArt(m_search));
  bar->addWidget(m_search);
  root->addLayout(bar);

  connect(m_read, &QPushButton::clicked, this, &CConfigDlg::OnBnClickedReadCfg);
  connect(m_send, &QPushButton::clicked, this, &CConfigDlg::OnBnClickedSendCfg);
  connect(m_save, &QPushButton::clicked, this, &CConfigDlg::OnBnClickedSaveCfg);
  connect(m_search, &QToolButton::clicked, this, &CConfigDlg::OnBnClickedSearch);
  connect(m_searchText, &QLineEdit::returnPressed, this, &CConfigDlg::OnBnClickedSearch);
  FollowPath(m_uiFile, &CConfigDlg::OnUiFileChanged);
  FollowPath(m_configFile, &CConfigDlg::OnConfigFileChanged);
  resize(980, 700);
}

CConfigDlg::~CConfigDlg() = default;

void CConfigDlg::FollowPath(QLineEdit* edit, void (CConfigDlg::*changed)(const QString&)) {
  // A path put in by the browse button (or by the program) counts at once; a
  // typed one once the typing ends, not at every keystroke.
  connect(edit, &QLineEdit::textChanged, this, [this, edit, changed](const QString& text) {
    if (!edit->isModified()) (this->*changed)(text);
  });
  connect(edit, &QLineEdit::editingFinished, this, [this, edit, changed] {
    if (!edit->isModified()) return;
    edit->setModified(false);
    (this->*changed)(edit->text());
  });
}

void CConfigDlg::ShowError(const std::exception& error) {
  m_prompts.warn(QString::fromUtf8(error.what()));
}

void CConfigDlg::LoadItemFileForChip() {
  const std::string chip = GetChipName();
  const std::vector<std::filesystem::path> found =
      platform::AppPaths::FindFiles("..\\System\\CfgItem\\" + chip + "_*.sc");
  if (found.empty()) {
    m_grid->RebuildLayout();
    m_prompts.warn(kScMissingText);
    show();
    return;
  }
  std::filesystem::path chosen = found.front();
  if (chip == kSharedPrefixChip &&
      chosen.string().find(kSharedPrefixVariant) != std::string::npos && found.size() > 1) {
    chosen = found[1];
  }
  show();
  m_uiFile->setText(QString::fromStdString(chosen.string()));
}

void CConfigDlg::OnUiFileChanged(const QString& path) {
  const QString extension = Extension(path);
  try {
    if (extension == QLatin1String("sc")) {
      m_config.LoadScFile(path.toStdString());
    } else if (extension == QLatin1String("ui")) {
      m_config.LoadUiFile(path.toStdString());
    }
  } catch (const std::exception& e) {
    ShowError(e);
  }
  m_grid->RebuildLayout();
  OnBnClickedReadCfg();
}

void CConfigDlg::OnConfigFileChanged(const QString& text) {
  if (m_replacingConfigText || !text.contains(QLatin1Char('/'))) return;
  m_grid->CommitEditor();
  try {
    m_config.LoadCfgFile(text.toStdString());
  } catch (const std::exception& e) {
    ShowError(e);
  }
  m_config.RefreshItemValues();
  m_grid->RedrawAllCells();
  m_replacingConfigText = true;
  m_configFile->setText(text.mid(text.lastIndexOf(QLatin1Char('/')) + 1));
  m_replacingConfigText = false;
}

bool CConfigDlg::RefusedWhileBusy() {
  if (!StreamControl().IsBusy()) return false;
  m_prompts.warn(kBusyText);
  return true;
}

void CConfigDlg::OnBnClickedReadCfg() {
  m_grid->CommitEditor();
  if (RefusedWhileBusy()) return;
  try {
    m_config.ReadConfig();
  } catch (const std::exception& e) {
    ShowError(e);
  }
  m_grid->RedrawAllCells();
}

void CConfigDlg::OnBnClickedSendCfg() {
  if (m_sending) return;
  m_grid->CommitEditor();
  if (RefusedWhileBusy()) return;
  m_sending = true;
  if (m_host.beginExclusive) m_host.beginExclusive();
  QString failure;
  // The grid is not repainted from the items while the worker sends them.
  m_grid->setUpdatesEnabled(false);
  try {
    RunWithWaiting(this, [&] {
      try {
        m_config.SendConfig();
      } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
      }
      // Also after a failed send: the block may have reached the chip.
      if (m_host.readPanelGeometry) m_host.readPanelGeometry();
    });
  } catch (const std::exception& e) {
    if (failure.isEmpty()) failure = QString::fromUtf8(e.what());
  }
  m_grid->setUpdatesEnabled(true);
  if (m_host.endExclusive) m_host.endExclusive();
  m_sending = false;
  m_grid->RedrawAllCells();
  if (!failure.isEmpty()) m_prompts.warn(failure);
}

void CConfigDlg::OnBnClickedSaveCfg() {
  m_grid->CommitEditor();
  try {
    m_config.ApplyItemValues();
    PromptsCfgPathChooser chooser(m_prompts, *m_host.saveFolder);
    m_config.ExportCfgFile(chooser);
  } catch (const std::exception& e) {
    ShowError(e);
  }
  m_grid->RedrawAllCells();
}

void CConfigDlg::OnBnClickedSearch() { m_grid->Search(m_searchText->text()); }

void CConfigDlg::closeEvent(QCloseEvent* event) {
  // The send's worker uses this object until it ends.
  if (m_sending) {
    event->ignore();
    return;
  }
  m_grid->CommitEditor();
  event->accept();
}
