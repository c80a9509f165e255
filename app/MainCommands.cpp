#include "app/MainCommands.h"

#include <QDesktopServices>
#include <QKeySequence>
#include <QShortcut>
#include <QUrl>
#include <QWidget>
#include <exception>
#include <system_error>

#include "app/ConnectionLinks.h"
#include "device/config/Config.h"
#include "device/LogSink.h"
#include "platform/files/AppPaths.h"
#include "ui/Prompts.h"
#include "ui/WaittingDlg.h"

MainCommands::MainCommands(Host host, QObject* parent) : QObject(parent), host_(std::move(host)) {
  if (!host_.openFile) {
    host_.openFile = [](const std::filesystem::path& path) {
      return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path.string())));
    };
  }
}

void MainCommands::InstallShortcuts() {
  auto bind = [this](const QKeySequence& keys, std::function<void()> action) {
    auto* shortcut = new QShortcut(keys, host_.window);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, this, [this, action = std::move(action)] {
      // The keyboard must not start what a click could not while busy.
      if (host_.isBusy && host_.isBusy()) return;
      if (action) action();
    });
  };
  bind(QKeySequence(Qt::Key_F5), host_.openConfig);
  bind(QKeySequence(Qt::Key_F3), host_.demoFullScreen);
  bind(QKeySequence(Qt::Key_F9), host_.showNetLink);
  bind(QKeySequence(Qt::Key_F1), [this] { OnHelp(); });
}

std::string AxisCommandName(AxisSwap swap) {
  switch (swap) {
    case AxisSwap::X2X: return "X<->X";
    case AxisSwap::Y2Y: return "Y<->Y";
    case AxisSwap::X2Y: return "X<->Y";
  }
  return {};
}

std::string AxisUnchangedLine(AxisSwap swap, const std::string& missing) {
  return "[" + AxisCommandName(swap) + "]" + missing + "，未发送配置";
}

void MainCommands::SwapAxes(AxisSwap swap) {
  if (host_.isBusy && host_.isBusy()) return;
  QString failure;
  std::string missing;
  if (host_.links != nullptr) host_.links->BeginExclusive();
  try {
    RunWithWaiting(host_.window, [&] {
      try {
        CConfig config(CConfig::WithItems{});
        config.ReadConfig();
        switch (swap) {
          case AxisSwap::X2X: missing = config.ApplyX2X(); break;
          case AxisSwap::Y2Y: missing = config.ApplyY2Y(); break;
          case AxisSwap::X2Y: missing = config.ApplyX2Y(); break;
        }
        // An unchanged block is not written again.
        if (missing.empty()) config.SendConfig();
      } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
      }
    });
  } catch (const std::exception& e) {
    if (failure.isEmpty()) failure = QString::fromUtf8(e.what());
  }
  if (host_.links != nullptr) host_.links->EndExclusive();
  if (!missing.empty() && host_.log != nullptr) {
    host_.log->AddLog(AxisUnchangedLine(swap, missing), LOG_ERROR);
  }
  if (!failure.isEmpty() && host_.prompts != nullptr) host_.prompts->warn(failure);
}

void MainCommands::OnLogo() {
  if (host_.log != nullptr) host_.log->AddLog(kVersionLine, LOG_INFO);
}

void MainCommands::OnHelp() {
  const std::filesystem::path path = platform::AppPaths::Resolve(kHelpFileText);
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) {
    if (host_.log != nullptr) host_.log->AddLog("找不到使用说明文件：" + path.string(), LOG_ERROR);
    return;
  }
  if (!host_.openFile(path) && host_.log != nullptr) {
    host_.log->AddLog("无法打开使用说明文件：" + path.string(), LOG_ERROR);
  }
}
