// The main window's controls: the page buttons over the page area, and the
// control column (lamps, the register panel's place, the update and network
// panels, the module test button, the axis buttons and the log pane).
#include "app/KestranaDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/SlidingPanels.h"
#include "ui/ControlIds.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "ui/MyEditBrowseCtrl.h"

namespace {

constexpr int kControlColumnWidth = 380;

}  // namespace

void CKestranaDlg::BuildUi() {
  auto* root = new QHBoxLayout(this);
  root->setSpacing(8);
  root->addWidget(BuildPageColumn(), 1);
  root->addWidget(BuildControlColumn());
  resize(1180, 720);
}

CMyButton* CKestranaDlg::MakePageButton(const QString& name, const QString& text) {
  auto* button = new CMyButton(text, this);
  button->setObjectName(name);
  button->SetFaceStyle(CMyButton::FACE_PAGE);
  button->setMinimumHeight(34);
  return button;
}

CMyButton* CKestranaDlg::MakeLamp(const QString& name, const QString& text) {
  auto* lamp = new CMyButton(text, this);
  lamp->setObjectName(name);
  lamp->SetFaceStyle(CMyButton::FACE_LAMP);
  lamp->SetState(LAMP_RED);
  lamp->setMinimumHeight(34);
  return lamp;
}

QWidget* CKestranaDlg::BuildPageColumn() {
  auto* column = new QWidget(this);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  // The demo, data-view and test-page buttons switch pages (wired once the
  // pages exist); the configuration editor and the noise view come with
  // later work.
  m_demoButton = MakePageButton(CONTROL_NAME(IDC_DEMO), QStringLiteral("触控演示"));
  m_rawButton = MakePageButton(CONTROL_NAME(IDC_RAW_DATA), QStringLiteral("原始值"));
  m_diffButton = MakePageButton(CONTROL_NAME(IDC_DIFF_DATA), QStringLiteral("差值"));
  m_observeButton = MakePageButton(CONTROL_NAME(IDC_OBSERVE_DATA), QStringLiteral("其它数据"));
  m_optionsButton = MakePageButton(CONTROL_NAME(IDC_OPTIONS), QStringLiteral("数据选项"));
  m_configButton = MakePageButton(CONTROL_NAME(IDC_CONFIG), QStringLiteral("触控配置"));
  m_noiseButton = MakePageButton(CONTROL_NAME(IDC_NOISE), QStringLiteral("噪声检测"));
  m_testPageButton = MakePageButton(CONTROL_NAME(IDC_TEST_PAGE), QStringLiteral("测试选项"));

  auto* buttons = new QHBoxLayout;
  for (CMyButton* button : {m_demoButton, m_rawButton, m_diffButton, m_observeButton,
                            m_optionsButton, m_configButton, m_noiseButton, m_testPageButton}) {
    buttons->addWidget(button);
  }
  layout->addLayout(buttons);

  // The pages (demo, data views, module test) are stacked here as they land.
  m_pageArea = new QStackedWidget(column);
  m_pageArea->setObjectName(CONTROL_NAME(IDC_PAGE_AREA));
  m_pageArea->setFrameShape(QFrame::StyledPanel);
  m_pageArea->setMinimumSize(640, 480);
  m_pageArea->setAutoFillBackground(true);
  QPalette area = m_pageArea->palette();
  area.setColor(QPalette::Window, Qt::white);
  m_pageArea->setPalette(area);
  layout->addWidget(m_pageArea, 1);
  return column;
}

QWidget* CKestranaDlg::BuildControlColumn() {
  auto* column = new QWidget(this);
  column->setFixedWidth(kControlColumnWidth);
  auto* layout = new QVBoxLayout(column);
  layout->setContentsMargins(0, 0, 0, 0);

  m_bridgeLamp = MakeLamp(CONTROL_NAME(IDC_BRIDGE_LAMP), QStringLiteral("R648i"));
  m_touchIcLamp = MakeLamp(CONTROL_NAME(IDC_TOUCHIC_LAMP), QStringLiteral("TouchIC"));
  // The lamps stay enabled so that they keep showing the devices during a
  // burn, but a press (a key reaches them past the click filter) asks the
  // devices nothing while the window is busy.
  connect(m_bridgeLamp, &QAbstractButton::clicked, this, [this] {
    if (!m_busy) OnBnClickedBridge();
  });
  connect(m_touchIcLamp, &QAbstractButton::clicked, this, [this] {
    if (!m_busy) OnBnClickedTouchIc();
  });
  auto* lamps = new QHBoxLayout;
  lamps->addWidget(m_bridgeLamp);
  lamps->addWidget(m_touchIcLamp);
  layout->addLayout(lamps);

  m_registerPanelSlot = new QVBoxLayout;
  layout->addLayout(m_registerPanelSlot);

  // Update files and the chip type.
  auto* update = new QGroupBox(QStringLiteral("Update"), column);
  update->setObjectName(CONTROL_NAME(IDC_UPDATE_GROUP));
  auto* grid = new QGridLayout(update);
  auto addFileRow = [&](int row, QCheckBox*& box, CMyEditBrowseCtrl*& edit, const QString& text,
                        const QString& boxName, const QString& editName) {
    box = new QCheckBox(text, update);
    box->setObjectName(boxName);
    edit = new CMyEditBrowseCtrl(m_prompts, update);
    edit->setObjectName(editName);
    edit->setEnabled(false);
    // The edit follows its box; storing the choice comes with the update sequence.
    connect(box, &QCheckBox::toggled, edit, &QWidget::setEnabled);
    grid->addWidget(box, row, 0);
    grid->addWidget(edit, row, 1);
  };
  addFileRow(0, m_configEnable, m_configPath, QStringLiteral("Config"),
             CONTROL_NAME(IDC_CONFIG_ENABLE), CONTROL_NAME(IDC_CONFIG_PATH));
  addFileRow(1, m_duvivEnable, m_duvivPath, QStringLiteral("DUviv"), CONTROL_NAME(IDC_DUVIV_ENABLE),
             CONTROL_NAME(IDC_DUVIV_PATH));
  addFileRow(2, m_v64erEnable, m_v64erPath, QString(), CONTROL_NAME(IDC_V64ER_ENABLE),
             CONTROL_NAME(IDC_V64ER_PATH));
  auto* chipLabel = new QLabel(QStringLiteral("ChipType"), update);
  chipLabel->setObjectName(CONTROL_NAME(IDC_CHIP_TYPE_LABEL));
  m_chipType = new QComboBox(update);
  m_chipType->setObjectName(CONTROL_NAME(IDC_CHIP_TYPE));
  grid->addWidget(chipLabel, 3, 0);
  grid->addWidget(m_chipType, 3, 1);
  m_updateButton = new QPushButton(QStringLiteral("Update"), update);
  m_updateButton->setObjectName(CONTROL_NAME(IDC_UPDATE));
  m_autoUpdateButton = new QPushButton(QStringLiteral("Auto Update"), update);
  m_autoUpdateButton->setObjectName(CONTROL_NAME(IDC_AUTO_UPDATE));
  grid->addWidget(m_updateButton, 4, 0);
  grid->addWidget(m_autoUpdateButton, 4, 1);
  grid->setColumnStretch(1, 1);
  auto* updateHeader = new QPushButton(QStringLiteral("配置和固件升级"), column);
  updateHeader->setObjectName(CONTROL_NAME(IDC_UPDATE_PANEL_HEADER));
  layout->addWidget(updateHeader);
  layout->addWidget(update);

  // Address of the networked device.
  auto* net = new QGroupBox(QStringLiteral("Net Connect"), column);
  net->setObjectName(CONTROL_NAME(IDC_NET_GROUP));
  auto* netRow = new QHBoxLayout(net);
  auto* ipLabel = new QLabel(QStringLiteral("IP:"), net);
  ipLabel->setObjectName(CONTROL_NAME(IDC_IP_LABEL));
  m_ipAddress = new QLineEdit(net);
  m_ipAddress->setObjectName(CONTROL_NAME(IDC_IP_ADDRESS));
  m_ipAddress->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral(
          R"(((25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d)\.){3}(25[0-5]|2[0-4]\d|1\d\d|[1-9]?\d))")),
      m_ipAddress));
  auto* portLabel = new QLabel(QStringLiteral("Port:"), net);
  portLabel->setObjectName(CONTROL_NAME(IDC_PORT_LABEL));
  m_port = new QLineEdit(net);
  m_port->setObjectName(CONTROL_NAME(IDC_PORT));
  m_port->setMaximumWidth(80);
  netRow->addWidget(ipLabel);
  netRow->addWidget(m_ipAddress, 1);
  netRow->addWidget(portLabel);
  netRow->addWidget(m_port);
  m_netConnectButton = new QPushButton(QStringLiteral("网络连接"), net);
  m_netConnectButton->setObjectName(CONTROL_NAME(IDC_NET_CONNECT));
  netRow->addWidget(m_netConnectButton);
  auto* netHeader = new QPushButton(QStringLiteral("安卓设备连接"), column);
  netHeader->setObjectName(CONTROL_NAME(IDC_NET_PANEL_HEADER));
  layout->addWidget(netHeader);
  layout->addWidget(net);
  m_panels = new SlidingPanels(updateHeader, update, netHeader, net, this);
  m_moduleTestButton = new QPushButton(QStringLiteral("模组测试"), column);
  m_moduleTestButton->setObjectName(CONTROL_NAME(IDC_MODULE_TEST));
  layout->addWidget(m_moduleTestButton);

  // Axis buttons and the logo line.
  auto* commands = new QHBoxLayout;
  auto addCommand = [&](QPushButton*& button, const QString& text, const QString& name) {
    button = new QPushButton(text, column);
    button->setObjectName(name);
    commands->addWidget(button);
  };
  addCommand(m_axisX2X, QStringLiteral("X<->X"), CONTROL_NAME(IDC_AXIS_X2X));
  addCommand(m_axisY2Y, QStringLiteral("Y<->Y"), CONTROL_NAME(IDC_AXIS_Y2Y));
  addCommand(m_axisX2Y, QStringLiteral("X<->Y"), CONTROL_NAME(IDC_AXIS_X2Y));
  addCommand(m_logo, QStringLiteral("Kestrana"), CONTROL_NAME(IDC_LOGO));
  m_logo->setFlat(true);
  layout->addLayout(commands);

  m_log = new CMyRichEditCtrl(column);
  m_log->setObjectName(CONTROL_NAME(IDC_LOG));
  layout->addWidget(m_log, 1);
  return column;
}
