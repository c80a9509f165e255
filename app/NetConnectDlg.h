#pragma once
// The "网络链接" dialog: the link key and one button that connects to the
// relay server (and asks for the image) or disconnects. The main window
// creates it hidden and shows it on demand; it lives as long as the window.
// The link itself (CRemoteLink) is what the update sequence reads.
//
// Connecting runs on a worker of its own, bounded by the link's connect
// limit, so the dialog stays responsive; the button is disabled meanwhile.
// Closing the dialog's owner cuts a connect in progress short.

#include <QDialog>
#include <QString>
#include <string>
#include <thread>

#include "device/net/RemoteLink.h"

class ILogSink;
class QLineEdit;
class QPushButton;

class CNetConnect : public QDialog {
  Q_OBJECT

 public:
  // How long after connecting the image is asked for.
  static constexpr int kRequestDelayMs = 500;

  // serverIp and serverPort: the relay server from the settings file.
  CNetConnect(ILogSink& log, std::string serverIp, int serverPort, QWidget* parent = nullptr);
  ~CNetConnect() override;

  CRemoteLink& Link() { return link_; }

  // Button 1156.
  void OnBnClickedConnect();
  bool IsConnecting() const { return connecting_; }

 signals:
  // A checked image arrived; fileName is its base name (for the bridge
  // firmware path field). Emitted on the UI thread.
  void imageReceived(const QString& fileName);

 private:
  void OnConnectDone(bool connected);
  void ShowLinkState();
  void JoinWorker();

  ILogSink& log_;
  const std::string serverIp_;
  const int serverPort_;
  CRemoteLink link_;
  QLineEdit* key_ = nullptr;
  QPushButton* button_ = nullptr;
  std::thread worker_;
  bool connecting_ = false;
};
