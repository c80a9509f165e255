#pragma once
// The small frameless "working" window shown while a lengthy operation runs:
// it plays "loading.gif" from the runtime root when that file holds an
// animation, else a spinner of our own. Every frame delay is at least
// kMinFrameDelayMs, so a GIF with zero delays cannot keep the UI thread
// redrawing without pause.
//
// The work itself never runs on the UI thread: RunWithWaiting starts it on a
// worker and shows the dialog application-modal, so every window refuses
// input (as a busy UI thread would) while the animation and any work queued
// for the UI thread (UiBridge) keep running.

#include <QDialog>
#include <QImage>
#include <QString>
#include <QTimer>
#include <functional>
#include <vector>

class CWaittingDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kWidth = 150;
  static constexpr int kHeight = 125;
  static constexpr int kMinFrameDelayMs = 20;
  static constexpr int kSpinnerFrameMs = 80;
  static constexpr int kSpinnerSpokes = 12;
  // A longer animation is cut here, so a huge file cannot fill the memory.
  static constexpr int kMaxFrames = 512;

  // animation: a GIF file; empty or unreadable gives the spinner.
  explicit CWaittingDlg(QWidget* parent = nullptr, const QString& animation = DefaultAnimation());

  // "loading.gif" in the runtime root.
  static QString DefaultAnimation();

  bool PlaysGif() const { return !m_frames.empty(); }
  int FrameCount() const;
  int CurrentFrame() const { return m_frame; }
  // A frame delay read from the file, as it is played.
  static int PlayedDelayMs(int fileDelayMs) {
    return fileDelayMs < kMinFrameDelayMs ? kMinFrameDelayMs : fileDelayMs;
  }
  // The delay after the frame, as played.
  int FrameDelayMs(int frame) const;

 public slots:
  // Only its owner ends it: Esc and the window manager's close do nothing.
  void reject() override {}

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void LoadGif(const QString& path);
  void NextFrame();

  std::vector<QImage> m_frames;
  std::vector<int> m_delays;
  int m_frame = 0;
  QTimer m_timer;
};

// Runs work on a worker thread while the waiting dialog stands
// application-modal over parent, serving the UI thread's events meanwhile.
// Returns once the work has ended and the dialog is gone; an exception of the
// work is thrown again here, on the UI thread. UI thread only.
void RunWithWaiting(QWidget* parent, const std::function<void()>& work);
