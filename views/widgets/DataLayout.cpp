#include "views/widgets/DataLayout.h"

#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

#include "device/link/RegisterOps.h"
#include "views/DataFormatStore.h"
#include "views/widgets/FrameChain.h"
#include "views/widgets/GridRenderer.h"
#include "views/widgets/PrepareFonts.h"
#include "views/widgets/RenderWorker.h"
#include "views/widgets/ViewTransform.h"

CDataLayout::CDataLayout(DataKind kind, DataFormatStore& store, ILogSink* log, QWidget* parent)
    : CDataLayout(kind, store, log, std::make_unique<GridRenderer>(store.Format(kind)), parent) {}

CDataLayout::CDataLayout(DataKind kind, DataFormatStore& store, ILogSink* log,
                         std::unique_ptr<GridRenderer> renderer, QWidget* parent)
    : QWidget(parent), kind_(kind), log_(log) {
  PrepareFonts();
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  worker_ = std::make_shared<RenderWorker>(std::move(renderer));
  worker_->Mailbox().Quit();  // no render thread yet
  pacer_ = new RepaintPacer(*this);
  // Cleared in the destructor before the pacer goes; paced to the screen.
  worker_->SetPublished([pacer = pacer_] { pacer->Request(); });
  std::weak_ptr<RenderWorker> weakWorker = worker_;
  chain_ = FrameChain::Create(kind, store, log, [weakWorker, tap = tap_](FramePayload&& frame) {
    {
      std::lock_guard lock(tap->mutex);
      if (tap->tap) tap->tap(frame);
    }
    if (auto worker = weakWorker.lock()) worker->Mailbox().Offer(std::move(frame));
  });
}

void CDataLayout::SetFrameTap(FrameTap tap) {
  std::lock_guard lock(tap_->mutex);
  tap_->tap = std::move(tap);
}

CDataLayout::~CDataLayout() {
  chain_->SetStopped(true);
  worker_->SetPublished(nullptr);
  StopRenderThread();
}

GridRenderer& CDataLayout::Renderer() { return worker_->Renderer(); }

void CDataLayout::StartStream() {
  Renderer().ForgetValueWidths();
  SetStopped(false);
  EnsureRenderThread();
  StartDataStream(1);
  RequestFrame();
}

void CDataLayout::StopStream() {
  SetStopped(true);
  StopDataStream();
  StopRenderThread();
}

void CDataLayout::RequestFrame() {
  if (chain_->IsStopped()) return;
  EnsureRenderThread();
  chain_->RequestFrame();
}

void CDataLayout::SetStopped(bool stopped) { chain_->SetStopped(stopped); }

bool CDataLayout::IsStopped() const { return chain_->IsStopped(); }

bool CDataLayout::OfferFrame(FramePayload frame, std::chrono::milliseconds wait) {
  return worker_->Mailbox().Offer(std::move(frame), wait);
}

bool CDataLayout::ShowFrame(FramePayload frame, std::chrono::milliseconds wait) {
  EnsureRenderThread();
  return OfferFrame(std::move(frame), wait);
}

void CDataLayout::Redraw() {
  EnsureRenderThread();
  worker_->Mailbox().RequestRedraw();
}

std::shared_ptr<const RenderedPicture> CDataLayout::Picture() const { return worker_->Picture(); }

bool CDataLayout::WaitForRenderCount(uint64_t n, uint32_t limitMs) const {
  return worker_->WaitForRenderCount(n, limitMs);
}

void CDataLayout::EnsureRenderThread() {
  if (renderThread_.joinable()) return;
  // A thread let go while still drawing owns the renderer until it ends; it
  // ends at its next wait, since the mailbox stays closed until then.
  if (renderThreadLost_) {
    if (!worker_->Finished().IsSet()) return;
    renderThreadLost_ = false;
  }
  worker_->Finished().Reset();
  worker_->Mailbox().Reopen();
  PushParams();
  renderThread_ = std::jthread([worker = worker_] { worker->Run(); });
}

void CDataLayout::StopRenderThread() {
  if (!renderThread_.joinable()) return;
  worker_->Mailbox().Quit();
  if (worker_->Finished().Wait(kRenderJoinLimitMs)) {
    renderThread_.join();
    return;
  }
  // A drawing that does not end must not hang the UI; the thread keeps its
  // own reference to everything it uses.
  renderThread_.detach();
  renderThreadLost_ = true;
  if (log_ != nullptr) {
    log_->AddLog(std::string(DataKindCaption(kind_)) + "：绘图线程未能结束", LOG_ERROR);
  }
}

void CDataLayout::PushParams() { worker_->SetParams(params_); }

void CDataLayout::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::white);
  const std::shared_ptr<const RenderedPicture> shown = worker_->Picture();
  if (!shown || shown->picture.isNull()) return;
  const QImage& image = shown->picture;
  const QPoint s = ClampScroll(params_.scroll, size(), image.size());
  painter.drawImage(QPoint(0, 0), image, QRect(s, size()));

  // The label bands stay at the left and bottom edges at any scroll offset.
  const int left = shown->gridRect.left();
  const int bandTop = shown->gridRect.bottom() + 1;
  const int band = image.height() - bandTop;
  const int viewHeight = std::min(height(), image.height());
  const int viewBandTop = viewHeight - band;
  if (s.y() > 0 || s.x() > 0) {
    painter.drawImage(QPoint(0, 0), image, QRect(0, s.y(), left, viewBandTop));
    painter.drawImage(QPoint(0, viewBandTop), image, QRect(s.x(), bandTop, width(), band));
    painter.drawImage(QPoint(0, viewBandTop), image, QRect(0, bandTop, left, band));
  }
  if (!shown->overlay.isNull()) {
    painter.drawImage(QPoint(10, viewBandTop + shown->overlayTop), shown->overlay);
  }
}

void CDataLayout::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  params_.zoom = kMinZoom;
  params_.client = size();
  params_.scroll = QPoint(0, 0);
  PushParams();
  markedCell_ = kUnknownCell;
  Redraw();
}

void CDataLayout::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!renderThread_.joinable() && !worker_->Picture()) Redraw();
}

void CDataLayout::wheelEvent(QWheelEvent* event) {
  const double oldZoom = params_.zoom;
  const double zoom = ZoomAfterWheel(oldZoom, event->angleDelta().y());
  const QPoint mouse = event->position().toPoint();
  params_.scroll = ScrollAfterZoom(params_.scroll, mouse, oldZoom, zoom, size());
  params_.zoom = zoom;
  params_.client = size();
  PushParams();
  markedCell_ = kUnknownCell;
  Redraw();
  event->accept();
}

void CDataLayout::mousePressEvent(QMouseEvent* event) {
  lastMouse_ = event->position().toPoint();
  QWidget::mousePressEvent(event);
}

void CDataLayout::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  if (event->buttons() & Qt::LeftButton) {
    params_.scroll =
        ClampScroll(params_.scroll + (lastMouse_ - p), size(), PictureSize(size(), params_.zoom));
  }
  lastMouse_ = p;
  params_.cursor = p;
  PushParams();
  // The cursor's row and column labels are marked in the picture: only a
  // move into another cell needs a new drawing.
  const QPoint cell = CellUnder(p);
  if (cell != markedCell_) {
    markedCell_ = cell;
    Redraw();
  }
  update();
}

QPoint CDataLayout::CellUnder(QPoint clientPoint) const {
  const std::shared_ptr<const RenderedPicture> shown = worker_->Picture();
  if (!shown) return kNoCell;
  const QPoint p = clientPoint + params_.scroll;
  const int row = BandIndex(shown->rowLines, p.y());
  const int col = BandIndex(shown->colLines, p.x());
  return row < 0 || col < 0 ? kNoCell : QPoint(col, row);
}

void CDataLayout::leaveEvent(QEvent* event) {
  QWidget::leaveEvent(event);
  params_.cursor = QPoint(-1, -1);
  PushParams();
  markedCell_ = kNoCell;
  if (renderThread_.joinable()) Redraw();
}
