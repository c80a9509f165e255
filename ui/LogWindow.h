#pragma once
// The main window's log pane. Every part of the program reports here with
// AddLog(text, level) from whatever thread it runs on; each line gets its
// level's colour and size, and a LOG_BUSY line ends in ":" and a spinner that
// turns until the next line. A right-click menu offers "clear".

#include <QString>
#include <QTextCharFormat>
#include <QTextEdit>
#include <QTimer>
#include <string>

#include "device/LogQueue.h"
#include "device/LogSink.h"

class QAction;
class QContextMenuEvent;

class CMyRichEditCtrl : public QTextEdit, public ILogSink {
  Q_OBJECT

 public:
  // Hours of production logging; the oldest lines go first beyond it.
  static constexpr int kDefaultMaxLines = 20000;
  static constexpr int kSpinnerIntervalMs = 80;

  explicit CMyRichEditCtrl(QWidget* parent = nullptr, int maxLines = kDefaultMaxLines);
  ~CMyRichEditCtrl() override;

  // Never blocks. The line joins a queue that the UI thread empties in order;
  // on the UI thread the queue (this line last) is shown before AddLog returns.
  // Threads that log must be done before the pane is destroyed.
  void AddLog(const std::string& text, LogLevel level) override;
  void AddLog(const QString& text, LogLevel level);
  void AddLog(const char* text, LogLevel level);

  // Empties the pane and stops the spinner, dropping the lines still queued
  // (they were logged before the clear); lines logged after it are kept.
  // Any thread: from another thread the pane empties when the queue is
  // drained, in order with the lines around it.
  void OnClear();
  void Clear() override { OnClear(); }

  // One spinner step; the timer calls it every kSpinnerIntervalMs while the
  // last line is a busy line (tests call it in place of waiting).
  void TurnSpinner();

  bool IsSpinning() const;
  int SpinnerIntervalMs() const;

 protected:
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // Queued by name from other threads: the queued call then carries no data
  // of ours, and the lines themselves pass under the queue's lock.
  Q_INVOKABLE void Drain();
  // Wakes the UI thread for the queue, or drains it at once on the UI thread.
  void Deliver(bool wake);
  void ClearPane();
  void ShowLine(const QString& text, LogLevel level);
  void ApplyLevel(LogLevel level);

  LogQueue pending_;
  QTextCharFormat format_;  // carried from line to line: unknown levels keep it
  QTimer spinner_{this};
  QAction* clearAction_;
  int spinnerIndex_ = 0;
  bool hasLines_ = false;
  bool busyTail_ = false;  // the last line still ends in ":" and a spinner character
};
