// The main window's pages and the dialogs its page buttons open: the demo,
// the data views and the module test page in the page area (with the test's
// runner and the sampling dialog behind its node-threshold button), the
// data-options dialog, the configuration editor and the noise view.
#include "app/KestranaDlg.h"

#include <QCoreApplication>
#include <QShortcut>
#include <QStackedWidget>
#include <atomic>
#include <chrono>
#include <thread>

#include "app/ConnectionLinks.h"
#include "app/PageSwitcher.h"
#include "device/StreamControl.h"
#include "moduletest/engine/RunClock.h"
#include "moduletest/run/EngineRunner.h"
#include "moduletest/widgets/DlgTest.h"
#include "moduletest/widgets/samples/SampleDlg.h"
#include "platform/files/AppPaths.h"
#include "programming/widgets/ConfigDlg.h"
#include "ui/LogWindow.h"
#include "ui/MyButton.h"
#include "views/DataFormatStore.h"
#include "views/widgets/Demo.h"
#include "views/widgets/DiffDataLayout.h"
#include "views/widgets/ObserveDataLayout.h"
#include "views/widgets/OptionDlg.h"
#include "views/widgets/RawDataLayout.h"
#include "views/widgets/noise/NoiseDlg.h"

void CKestranaDlg::CreatePages() {
  DataFormatStore& store = GetDataFormatStore();
  m_demo = new CDemo(m_prompts, m_pageArea);
  m_demo->SetRecordPath(platform::AppPaths::BaseDir() / "PointFile.csv");
  m_demo->SetLog(m_log);
  m_rawView = new CRawDataLayout(store, m_log, m_pageArea);
  m_diffView = new CDiffDataLayout(store, m_log, m_pageArea);
  m_observeView = new CObserveDataLayout(store, m_log, m_pageArea);
  for (QWidget* page :
       std::initializer_list<QWidget*>{m_demo, m_rawView, m_diffView, m_observeView}) {
    m_pageArea->addWidget(page);
  }
  m_testPage = new CDlgTest(m_prompts, *m_log, m_pageArea);
  m_testRunner = std::make_unique<EngineRunner>(m_runClock != nullptr ? *m_runClock : SteadyRunClock());
  m_testPage->SetRunner(m_testRunner.get());
  m_pageArea->addWidget(m_testPage);
  m_testPage->SetNodeThresholdHook([this] {
    if (StreamControl().IsBusy()) return;
    // The chip's preparation and restore run on the test thread; the modal
    // dialog waits for each, with events other than input still flowing.
    // Returns whether the raw frames now have the panel's size.
    auto chipJob = [this](bool prepare) {
      auto finished = std::make_shared<std::atomic<bool>>(false);
      auto follows = std::make_shared<std::atomic<bool>>(false);
      if (!m_testRunner->PostSamplingJob(prepare, m_testPage->CurrentSettings(), *m_testPage,
                                         [finished, follows](bool rawFollowsPanel) {
                                           follows->store(rawFollowsPanel);
                                           finished->store(true);
                                         })) {
        m_log->AddLog(prepare ? "模组测试进行中，无法为采样准备芯片配置"
                              : "模组测试进行中，无法恢复芯片配置",
                      LOG_ERROR);
        return false;
      }
      while (!finished->load()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 10);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
      }
      return follows->load();
    };
    RunSampleDlg(GetDataFormatStore(), m_log, m_prompts, this, [chipJob] { return chipJob(true); },
                 [chipJob] { chipJob(false); });
    // The test reads the limits the dialog may have saved.
    m_testPage->LoadNodeThresholds();
  });
  m_pageArea->setCurrentWidget(m_demo);
  m_pages = new PageSwitcher({m_pageArea, m_demo, m_rawView, m_diffView, m_observeView, m_testPage},
                             this);
  connect(m_testPageButton, &QAbstractButton::clicked, this, [this] { m_pages->ShowTestPage(); });
  connect(m_testPage, &CDlgTest::BusyChanged, this, &CKestranaDlg::SetBusy);
  connect(m_testPage, &CDlgTest::ChipInfoChanged, this, [this] {
    if (m_links != nullptr) m_links->RefreshChipInfo();
  });
  connect(m_testPage, &CDlgTest::ShowDemoPageRequested, this,
          [this] { m_pages->OnPageButton(PAGE_DEMO); });
  // The settings lock by key: locks so that the mouse cannot unlock, and
  // unlocks again.
  auto* lockKey = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F7), this);
  connect(lockKey, &QShortcut::activated, m_testPage, &CDlgTest::OnToggleNoModification);

  connect(m_demoButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_DEMO); });
  connect(m_rawButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_RAW); });
  connect(m_diffButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_DIFF); });
  connect(m_observeButton, &QAbstractButton::clicked, this,
          [this] { m_pages->OnPageButton(PAGE_OBSERVE); });
  connect(m_optionsButton, &QAbstractButton::clicked, this, &CKestranaDlg::OnBnClickedOptions);
  connect(m_configButton, &QAbstractButton::clicked, this, &CKestranaDlg::OnBnClickedConfig);

  // The connection links come after the pages: looked up when a send starts.
  NoiseDlgHost noiseHost;
  noiseHost.beginExclusive = [this] {
    if (m_links != nullptr) m_links->BeginExclusive();
  };
  noiseHost.endExclusive = [this] {
    if (m_links != nullptr) m_links->EndExclusive();
  };
  // m_links is set before the first run starts and outlives the noise view.
  noiseHost.holdOnWorker = [this] {
    if (m_links != nullptr) m_links->HoldOnWorker();
  };
  noiseHost.releaseOnWorker = [this] {
    if (m_links != nullptr) m_links->ReleaseOnWorker();
  };
  m_noiseDlg = std::make_unique<CNoiseDlg>(m_prompts, m_log, std::move(noiseHost));
  connect(m_noiseButton, &QAbstractButton::clicked, this, [this] { m_noiseDlg->LoadNoiseConfig(); });
}

void CKestranaDlg::RebuildOptionDlg() {
  m_optionDlg.reset();
  m_optionDlg = std::make_unique<COptionDlg>(GetDataFormatStore(), m_prompts, m_log);
}

void CKestranaDlg::OnBnClickedOptions() {
  if (!m_optionDlg) RebuildOptionDlg();
  m_optionDlg->OnBnClickedCancel();
  m_optionDlg->show();
  m_optionDlg->raise();
}

CConfigDlg* CKestranaDlg::ConfigDlg() const { return m_configDlg.data(); }

void CKestranaDlg::OnBnClickedConfig() {
  ConfigDlgHost host;
  host.configFileFolder = m_configFileFolder;
  host.saveFolder = m_configSaveFolder;
  ConnectionLinks* links = m_links;
  if (links != nullptr) {
    host.readPanelGeometry = [links] { links->ReadPanelGeometry(); };
    host.beginExclusive = [links] { links->BeginExclusive(); };
    host.endExclusive = [links] { links->EndExclusive(); };
  }
  m_configDlg = new CConfigDlg(m_prompts, std::move(host), this);
  m_configDlg->LoadItemFileForChip();
}
