#include "ui/WaittingDlg.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPen>
#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "platform/files/AppPaths.h"
#include "ui/ControlIds.h"
#include "ui/UiBridge.h"

namespace {

const QColor kBackground(0xE6, 0xE6, 0xE6);
const QColor kSpoke(0x32, 0x32, 0x32);
// A frameless window over a grey grid needs its own edge.
const QColor kEdge(0x96, 0x96, 0x96);
constexpr int kSpinnerRadius = 30;
constexpr int kSpokeLength = 12;
constexpr int kSpokeWidth = 5;

}  // namespace

CWaittingDlg::CWaittingDlg(QWidget* parent, const QString& animation)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
  setObjectName(CONTROL_NAME(IDD_WAITTING_DLG));
  setFixedSize(kWidth, kHeight);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!animation.isEmpty()) LoadGif(animation);
  connect(&m_timer, &QTimer::timeout, this, &CWaittingDlg::NextFrame);
  m_timer.setSingleShot(true);
}

QString CWaittingDlg::DefaultAnimation() {
  return QString::fromStdString((platform::AppPaths::BaseDir() / "loading.gif").string());
}

void CWaittingDlg::LoadGif(const QString& path) {
  if (!QFileInfo(path).isFile()) return;
  QImageReader reader(path);
  if (!reader.supportsAnimation()) return;
  while (static_cast<int>(m_frames.size()) < kMaxFrames) {
    QImage frame = reader.read();
    if (frame.isNull()) break;
    m_frames.push_back(std::move(frame));
    m_delays.push_back(PlayedDelayMs(reader.nextImageDelay()));
    if (!reader.canRead()) break;
  }
}

int CWaittingDlg::FrameCount() const {
  return PlaysGif() ? static_cast<int>(m_frames.size()) : kSpinnerSpokes;
}

int CWaittingDlg::FrameDelayMs(int frame) const {
  if (!PlaysGif()) return kSpinnerFrameMs;
  return m_delays[static_cast<size_t>(std::clamp(frame, 0, FrameCount() - 1))];
}

void CWaittingDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (parentWidget() != nullptr) {
    const QRect owner = parentWidget()->window()->geometry();
    move(owner.center() - rect().center());
  }
  m_timer.start(FrameDelayMs(m_frame));
}

void CWaittingDlg::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QDialog::hideEvent(event);
}

void CWaittingDlg::NextFrame() {
  m_frame = (m_frame + 1) % FrameCount();
  update();
  m_timer.start(FrameDelayMs(m_frame));
}

void CWaittingDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), kBackground);
  p.setPen(kEdge);
  p.drawRect(rect().adjusted(0, 0, -1, -1));
  if (PlaysGif()) {
    const QImage& frame = m_frames[static_cast<size_t>(m_frame)];
    p.drawImage(QPoint((width() - frame.width()) / 2, (height() - frame.height()) / 2), frame);
    return;
  }
  // Spokes fading behind the leading one.
  p.setRenderHint(QPainter::Antialiasing);
  p.translate(width() / 2.0, height() / 2.0);
  for (int k = 0; k < kSpinnerSpokes; ++k) {
    const int age = (m_frame - k + kSpinnerSpokes) % kSpinnerSpokes;
    QColor colour = kSpoke;
    colour.setAlphaF(1.0f - static_cast<float>(age) / kSpinnerSpokes * 0.85f);
    p.setPen(QPen(colour, kSpokeWidth, Qt::SolidLine, Qt::RoundCap));
    p.save();
    p.rotate(360.0 * k / kSpinnerSpokes);
    p.drawLine(QPointF(0, -kSpinnerRadius + kSpokeLength), QPointF(0, -kSpinnerRadius));
    p.restore();
  }
}

void RunWithWaiting(QWidget* parent, const std::function<void()>& work) {
  CWaittingDlg dialog(parent);
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.show();

  std::atomic<bool> done{false};
  std::exception_ptr error;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      error = std::current_exception();
    }
    done.store(true);
    // Wakes the UI thread's wait below.
    UiBridge::post([] {});
  });
  // Serves queued work (a send may wait for the UI thread) until the worker
  // is through; the wake-up above ends the last wait.
  while (!done.load()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
  dialog.hide();
  if (error) std::rethrow_exception(error);
}
