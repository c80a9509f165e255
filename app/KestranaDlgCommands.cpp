// The main window's commands: the network connect button, the accelerators,
// axis buttons and logo line (MainCommands), the filter that drops clicks
// while busy, and the module test button.
#include "app/KestranaDlg.h"

#include <QPushButton>

#include "app/BusyClickFilter.h"
#include "app/MainCommands.h"
#include "app/NetConnectDlg.h"
#include "app/NetworkConnectButton.h"
#include "app/PageSwitcher.h"
#include "device/net/TcpLink.h"
#include "moduletest/widgets/DlgTest.h"
#include "ui/LogWindow.h"
#include "views/widgets/Demo.h"

void CKestranaDlg::CreateMainCommands(const std::filesystem::path& settingsFile) {
  m_netButton = new NetworkConnectButton(m_netConnectButton, m_ipAddress, m_port, *m_tcpLink, *m_log,
                                         settingsFile, [this] { return m_busy; }, this);
  MainCommands::Host host;
  host.window = this;
  host.prompts = &m_prompts;
  host.log = m_log;
  host.links = m_links;
  host.isBusy = [this] { return m_busy; };
  host.openConfig = [this] { OnBnClickedConfig(); };
  host.demoFullScreen = [this] {
    // A stopped demo is shown and started; a running one stays as it is.
    if (m_pages->IsPageStopped(PAGE_DEMO)) m_pages->OnPageButton(PAGE_DEMO);
    m_demo->ToggleFullScreen();
  };
  host.showNetLink = [this] { m_netConnect->show(); };
  m_commands = new MainCommands(std::move(host), this);
  m_commands->InstallShortcuts();
  new BusyClickFilter(this, [this] { return m_busy; }, this);
  connect(m_axisX2X, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::X2X); });
  connect(m_axisY2Y, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::Y2Y); });
  connect(m_axisX2Y, &QAbstractButton::clicked, this, [this] { m_commands->SwapAxes(AxisSwap::X2Y); });
  connect(m_logo, &QAbstractButton::clicked, m_commands, &MainCommands::OnLogo);
  connect(m_moduleTestButton, &QAbstractButton::clicked, m_testPage, &CDlgTest::OnBnClickedStartTest);
}
