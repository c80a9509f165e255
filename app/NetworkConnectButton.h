#pragma once
// The network connect button of the main window: connects the device link
// to the networked device at the address and port shown, on a worker with
// the link's bounded connect time, or disconnects it again. The address is
// stored only when it is valid. The requests move to the network only on the
// UI thread, and never while a burn or a test holds the window.

#include <QObject>
#include <filesystem>
#include <functional>
#include <thread>

class CTcpLink;
class ILogSink;
class QLineEdit;
class QPushButton;

class NetworkConnectButton : public QObject {
  Q_OBJECT

 public:
  NetworkConnectButton(QPushButton* button, QLineEdit* ip, QLineEdit* port, CTcpLink& link,
                       ILogSink& log, std::filesystem::path settingsFile,
                       std::function<bool()> isBusy = {}, QObject* parent = nullptr);
  ~NetworkConnectButton() override;

  // The button's command, by its text (UI thread).
  void OnClicked();
  // Waits for a connect still going (closing).
  void Wait();
  bool Connecting() const { return connecting_; }

 signals:
  void Finished(bool connected);

 private:
  void Connect();
  void Disconnect();
  // The connect's result, on the UI thread.
  void Finish(bool ok);

  QPushButton* button_;
  QLineEdit* ip_;
  QLineEdit* port_;
  CTcpLink& link_;
  ILogSink& log_;
  std::filesystem::path settingsFile_;
  std::function<bool()> isBusy_;  // the window's busy state (UI thread)
  std::jthread worker_;
  bool connecting_ = false;
};
