#pragma once
// The touch demo page: streams the chip's coordinate report (and, with the
// active pen on, its stylus report), follows up to 10 contacts and draws them
// as labelled points or as trails. F3 toggles full screen (with the floating
// button), Esc leaves it; the context menu picks the drawing mode, the pen
// data, auto clear, clearing and the recording of "PointFile.csv".
//
// Threads: the read chain's completions run on the request dispatcher and
// hand frames to the render thread (DemoWorker); everything else runs on the
// UI thread, which only posts commands to the render thread and paints the
// latest picture.

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QTimer>
#include <QWidget>
#include <filesystem>
#include <memory>

#include "ui/DialogFolder.h"
#include "ui/RepaintPacer.h"
#include "views/widgets/DemoRenderer.h"

class CFloatingBtn;
class ILogSink;
class DemoWorker;
class IPrompts;
class QMenu;
class TouchStream;
class TrailPictureList;

class CDemo : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kTimerMs = 1000;
  static constexpr int kTicksPerAutoClear = 3;
  static const QString kRecordFailedText;  // "创建坐标点文件失败"

  explicit CDemo(IPrompts& prompts, QWidget* parent = nullptr);
  ~CDemo() override;

  // The page button: a new read chain (touch reporting, or pen data), the
  // contacts lifted first. StopStream ends the chain and the chip's stream.
  void ReadTouchData();
  void StopStream();
  // Ends the read chain only; the chip's stream is left to whoever closes
  // the device (closing must not wait on the bus from the UI thread).
  void HaltStream();
  bool IsStopped() const;
  // Where a failed read is reported (may be null; must outlive the page).
  void SetLog(ILogSink* log);

  // Where the record command writes; "PointFile.csv" in the current folder
  // unless set.
  void SetRecordPath(std::filesystem::path path) { recordPath_ = std::move(path); }

  DemoDrawMode Mode() const { return mode_; }
  void SetMode(DemoDrawMode mode);
  // The floating button's top zone: points only <-> lines only.
  void SwitchPointsLines();
  bool AutoClear() const { return autoClear_; }
  void SetAutoClear(bool on) { autoClear_ = on; }
  bool ActivePen() const;
  void SetActivePen(bool on);
  bool IsRecording() const;
  void SetRecording(bool on);
  // Stores the trail picture (when anything was drawn) and starts a new one;
  // lines modes only.
  void ClearTrail();

  bool IsFullScreen() const { return fullScreen_; }
  void ToggleFullScreen();
  CFloatingBtn* FloatingButton() const { return floatingBtn_; }

  TrailPictureList& Pictures();
  // Shows a stored picture until the next frame replaces it.
  void ShowPicture(const QImage& picture);
  // The picture painted now.
  QImage Picture() const;
  IPrompts& Prompts() { return prompts_; }
  // Where the picture save dialog opens: the folder pictures were saved to
  // last, else the runtime root.
  DialogFolder& PictureFolder() { return pictureFolder_; }

  // The context menu as it would open now (commands carry their ids as data).
  QMenu* CreateContextMenu(QWidget* parent);
  // One tick of the page's 1000 ms timer.
  void OnTimer();
  // Waits (bounded) until the render thread has done everything so far.
  bool WaitRendered(int limitMs = 5000);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // A new picture is about to be painted: a stored picture on show gives way.
  void OnPublished();
  // Run on the UI thread, queued by the render thread's hook.
  Q_INVOKABLE void OnRecordFailed(const QString& error);

  void PostView();
  void RunMenuCommand(int id);
  void EnterFullScreen();
  void LeaveFullScreen();

  IPrompts& prompts_;
  DialogFolder pictureFolder_;
  std::shared_ptr<DemoWorker> worker_;
  RepaintPacer* pacer_ = nullptr;  // child of this widget
  std::shared_ptr<TouchStream> stream_;
  QTimer timer_{this};  // "demoTickTimer"
  int ticks_ = 0;

  // UI-side copies of the modes; the render thread gets them by command.
  DemoDrawMode mode_ = DemoDrawMode::Points;
  bool autoClear_ = true;
  bool fullScreen_ = false;
  std::filesystem::path recordPath_ = "PointFile.csv";

  CFloatingBtn* floatingBtn_ = nullptr;
  QPointer<QWidget> savedParent_;
  QRect savedGeometry_;
  Qt::WindowFlags savedFlags_;
  QImage override_;  // a stored picture shown until the next publish
};
