#include "views/widgets/Demo.h"

#include <QActionGroup>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QPainter>
#include <QScreen>
#include <QStackedLayout>

#include "ui/ControlIds.h"
#include "ui/Prompts.h"
#include "device/link/RegisterOps.h"
#include "views/DataFormatStore.h"
#include "views/TouchStream.h"
#include "views/widgets/DemoWorker.h"
#include "views/widgets/FloatingBtn.h"

const QString CDemo::kRecordFailedText = QStringLiteral("创建坐标点文件失败");

namespace {

const QString kRecordWriteFailedText = QStringLiteral("写入坐标点文件失败");

// The raw grid the trail picture is ruled with.
void AdoptGrid(DemoRenderer& renderer) {
  const DataFormat raw = GetDataFormatStore().Format(DataKind::Raw);
  renderer.SetGrid(raw.rows, raw.cols);
}

}  // namespace

CDemo::CDemo(IPrompts& prompts, QWidget* parent) : QWidget(parent), prompts_(prompts) {
  setObjectName(CONTROL_NAME(IDC_DEMO));
  setFocusPolicy(Qt::StrongFocus);
  setAttribute(Qt::WA_OpaquePaintEvent);

  DemoWorker::Hooks hooks;
  // The pacer queues one call by name per repaint, so the call carries no
  // data of ours from the render thread; the worker is joined in the
  // destructor before the pacer goes.
  pacer_ = new RepaintPacer(*this, [this] { OnPublished(); });
  hooks.published = [pacer = pacer_] { pacer->Request(); };
  hooks.recordFailed = [this](const std::string& error) {
    QMetaObject::invokeMethod(this, "OnRecordFailed", Qt::QueuedConnection,
                              Q_ARG(QString, QString::fromStdString(error)));
  };
  worker_ = std::make_shared<DemoWorker>(std::move(hooks));

  std::weak_ptr<DemoWorker> weak = worker_;
  stream_ = TouchStream::Create([weak](TouchFrame&& frame) {
    if (auto worker = weak.lock()) worker->Offer(std::move(frame));
  });

  floatingBtn_ = new CFloatingBtn(*this);

  timer_.setObjectName(QStringLiteral("demoTickTimer"));
  timer_.setInterval(kTimerMs);
  connect(&timer_, &QTimer::timeout, this, &CDemo::OnTimer);
  timer_.start();
}

CDemo::~CDemo() {
  stream_->Stop();
  worker_->Quit();
}

void CDemo::OnPublished() { override_ = QImage(); }

void CDemo::OnRecordFailed(const QString& error) {
  prompts_.warn(kRecordWriteFailedText + QStringLiteral("\n") + error);
}

void CDemo::ReadTouchData() {
  worker_->Post([](DemoRenderer& r) { r.ClearSizes(); });
  StartDataStream(stream_->ActivePen() ? 1 : 0);
  stream_->Start();
}

void CDemo::StopStream() {
  HaltStream();
  StopDataStream();
}

void CDemo::HaltStream() { stream_->Stop(); }

bool CDemo::IsStopped() const { return stream_->IsStopped(); }

void CDemo::SetLog(ILogSink* log) { stream_->SetLog(log); }

void CDemo::PostView() {
  const QSize size = this->size();
  const bool fullScreen = fullScreen_;
  worker_->Post([size, fullScreen](DemoRenderer& r) {
    r.SetClientSize(size);
    r.SetFullScreen(fullScreen);
    AdoptGrid(r);
    r.ClearForMode();
  });
}

void CDemo::SetMode(DemoDrawMode mode) {
  mode_ = mode;
  worker_->Post([mode](DemoRenderer& r) {
    r.SetMode(mode);
    AdoptGrid(r);
    r.ClearForMode();
  });
}

void CDemo::SwitchPointsLines() {
  // "Points and lines" draws trails, so its other side is points only.
  SetMode(DrawsLines(mode_) ? DemoDrawMode::Points : DemoDrawMode::Lines);
}

bool CDemo::ActivePen() const { return stream_->ActivePen(); }

void CDemo::SetActivePen(bool on) {
  stream_->SetActivePen(on);
  if (on) StartDataStream(1);
  worker_->Post([on](DemoRenderer& r) {
    r.SetActivePen(on);
    AdoptGrid(r);
    r.ClearForMode();
  });
}

bool CDemo::IsRecording() const { return worker_->Recorder().IsOpen(); }

void CDemo::SetRecording(bool on) {
  PointRecorder& recorder = worker_->Recorder();
  std::string error;
  if (!on) {
    if (!recorder.Close(&error)) {
      prompts_.warn(kRecordWriteFailedText + QStringLiteral("\n") + QString::fromStdString(error));
    }
    return;
  }
  if (!recorder.Open(recordPath_, &error)) {
    prompts_.warn(kRecordFailedText + QStringLiteral("\n") + QString::fromStdString(error));
  }
}

void CDemo::ClearTrail() {
  if (!DrawsLines(mode_)) return;
  worker_->Post([](DemoRenderer& r) {
    AdoptGrid(r);
    r.ClearTrailPicture();
  });
}

void CDemo::OnTimer() {
  if (++ticks_ % kTicksPerAutoClear != 0) return;
  if (!DrawsLines(mode_) || !autoClear_) return;
  worker_->Post([](DemoRenderer& r) {
    if (!DrawsLines(r.Mode()) || !r.SomethingDrawn()) return;
    AdoptGrid(r);
    r.ClearTrailPicture();
  });
}

TrailPictureList& CDemo::Pictures() { return worker_->Pictures(); }

void CDemo::ShowPicture(const QImage& picture) {
  override_ = picture;
  update();
}

QImage CDemo::Picture() const { return override_.isNull() ? worker_->Latest() : override_; }

bool CDemo::WaitRendered(int limitMs) {
  return worker_->WaitIdle(std::chrono::milliseconds(limitMs));
}

QMenu* CDemo::CreateContextMenu(QWidget* parent) {
  auto* menu = new QMenu(QStringLiteral("Demo"), parent);
  auto add = [&](ControlId id, const QString& name, const QString& text, bool checkable,
                 bool checked) {
    QAction* action = menu->addAction(text);
    action->setObjectName(name);
    action->setData(static_cast<int>(id));
    action->setCheckable(checkable);
    action->setChecked(checked);
    connect(action, &QAction::triggered, this, [this, id] { RunMenuCommand(id); });
    return action;
  };
  auto* modes = new QActionGroup(menu);
  modes->addAction(add(ID_DEMO_POINTS, CONTROL_NAME(ID_DEMO_POINTS), QStringLiteral("描点"), true,
                       mode_ == DemoDrawMode::Points));
  modes->addAction(add(ID_DEMO_LINES, CONTROL_NAME(ID_DEMO_LINES), QStringLiteral("画线"), true,
                       mode_ == DemoDrawMode::Lines));
  modes->addAction(add(ID_DEMO_POINTS_LINES, CONTROL_NAME(ID_DEMO_POINTS_LINES),
                       QStringLiteral("画点线"), true, mode_ == DemoDrawMode::PointsAndLines));
  menu->addSeparator();
  add(ID_DEMO_ACTIVE_PEN, CONTROL_NAME(ID_DEMO_ACTIVE_PEN), QStringLiteral("主动笔数据"), true,
      ActivePen());
  add(ID_DEMO_AUTO_CLEAR, CONTROL_NAME(ID_DEMO_AUTO_CLEAR), QStringLiteral("画线自动清除"), true,
      autoClear_);
  add(ID_DEMO_FULL_SCREEN, CONTROL_NAME(ID_DEMO_FULL_SCREEN), QStringLiteral("全屏模式(F3)"), true,
      fullScreen_);
  add(ID_DEMO_CLEAR, CONTROL_NAME(ID_DEMO_CLEAR), QStringLiteral("清除"), false, false);
  add(ID_DEMO_RECORD, CONTROL_NAME(ID_DEMO_RECORD), QStringLiteral("录制坐标"), true,
      IsRecording());
  return menu;
}

void CDemo::RunMenuCommand(int id) {
  switch (id) {
    case ID_DEMO_POINTS:
      SetMode(DemoDrawMode::Points);
      break;
    case ID_DEMO_LINES:
      SetMode(DemoDrawMode::Lines);
      break;
    case ID_DEMO_POINTS_LINES:
      SetMode(DemoDrawMode::PointsAndLines);
      break;
    case ID_DEMO_ACTIVE_PEN:
      SetActivePen(!ActivePen());
      break;
    case ID_DEMO_AUTO_CLEAR:
      autoClear_ = !autoClear_;
      break;
    case ID_DEMO_FULL_SCREEN:
      ToggleFullScreen();
      break;
    case ID_DEMO_CLEAR:
      ClearTrail();
      break;
    case ID_DEMO_RECORD:
      SetRecording(!IsRecording());
      break;
    default:
      break;
  }
}

void CDemo::contextMenuEvent(QContextMenuEvent* event) {
  if (fullScreen_) return;
  QMenu* menu = CreateContextMenu(this);
  menu->exec(event->globalPos());
  delete menu;
}

void CDemo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && fullScreen_) {
    LeaveFullScreen();
    return;
  }
  if (event->key() == Qt::Key_F3) {
    ToggleFullScreen();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CDemo::ToggleFullScreen() {
  if (fullScreen_) {
    LeaveFullScreen();
  } else {
    EnterFullScreen();
  }
}

void CDemo::EnterFullScreen() {
  fullScreen_ = true;
  savedGeometry_ = geometry();
  savedFlags_ = windowFlags();
  savedParent_ = parentWidget();
  if (savedParent_) savedParent_->window()->hide();
  setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
  const QRect screen = QGuiApplication::primaryScreen()
                           ? QGuiApplication::primaryScreen()->geometry()
                           : QRect(0, 0, 1920, 1080);
  setGeometry(screen);
  showFullScreen();  // its show event lays the picture out for the new size
  activateWindow();
  setFocus();
  floatingBtn_->setGeometry(screen.right() + 1 - 240, 200, CFloatingBtn::kSize,
                            CFloatingBtn::kSize);
  floatingBtn_->show();
  floatingBtn_->raise();
}

void CDemo::LeaveFullScreen() {
  fullScreen_ = false;
  floatingBtn_->hide();
  hide();
  setParent(savedParent_, savedFlags_);
  if (savedParent_) {
    // Leaving the parent took the page out of its layout; put it back.
    if (auto* stack = qobject_cast<QStackedLayout*>(savedParent_->layout())) {
      stack->addWidget(this);
      stack->setCurrentWidget(this);
    } else if (QLayout* layout = savedParent_->layout()) {
      layout->addWidget(this);
    }
    savedParent_->window()->show();
  }
  setGeometry(savedGeometry_);
  show();  // its show event lays the picture out for the new size
}

void CDemo::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QImage picture = Picture();
  painter.fillRect(rect(), Qt::white);
  painter.drawImage(0, 0, picture);
}

void CDemo::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  PostView();
}

void CDemo::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  PostView();
}
