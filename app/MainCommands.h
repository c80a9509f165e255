#pragma once
// The main window's commands outside its pages: the keyboard accelerators,
// the axis buttons, the logo line and help.

#include <QObject>
#include <filesystem>
#include <functional>
#include <string>

class ConnectionLinks;
class ILogSink;
class IPrompts;
class QWidget;

// The operator's guide, in the runtime root's doc folder.
inline constexpr const char* kHelpFileText = "..\\doc\\Zudazivir使用说明v1.20.pdf";
inline constexpr const char* kVersionLine = "V1.40.0D@2020-09-04";

enum class AxisSwap { X2X, Y2Y, X2Y };

// The button's caption: "X<->X", "Y<->Y" or "X<->Y".
std::string AxisCommandName(AxisSwap swap);
// The line of a command that found nothing to change:
// "[X<->Y]找不到配置项X2Y，未发送配置".
std::string AxisUnchangedLine(AxisSwap swap, const std::string& missing);

class MainCommands : public QObject {
  Q_OBJECT

 public:
  struct Host {
    QWidget* window = nullptr;
    IPrompts* prompts = nullptr;
    ILogSink* log = nullptr;
    ConnectionLinks* links = nullptr;
    std::function<bool()> isBusy;
    std::function<void()> openConfig;          // F5
    std::function<void()> demoFullScreen;      // F3
    std::function<void()> showNetLink;         // F9
    // Opens a local file with the desktop's viewer; false when that failed.
    std::function<bool(const std::filesystem::path&)> openFile;
  };

  explicit MainCommands(Host host, QObject* parent = nullptr);

  // F5, F3, F9 and F1 on the window (its pages included, not the separate
  // pop-up windows).
  void InstallShortcuts();
  // Reads the chip's configuration, swaps the axes and sends it back; a
  // failure is shown with its text and nothing is sent. A command that
  // changed nothing sends nothing and logs AxisUnchangedLine.
  void SwapAxes(AxisSwap swap);
  void OnLogo();
  void OnHelp();
  // Replaces the desktop's file opening (tests).
  void SetOpenFile(std::function<bool(const std::filesystem::path&)> openFile) {
    host_.openFile = std::move(openFile);
  }

 private:
  Host host_;
};
