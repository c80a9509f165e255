#include "ui/SkinArt.h"

#include <QPaintDevice>
#include <QPainter>
#include <QPixmapCache>
#include <QSvgRenderer>
#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

// The resources live in a static library; registering them by hand keeps the
// linker from dropping them. Must be outside any namespace.
static void RegisterSkinResources() { Q_INIT_RESOURCE(kestrana); }

namespace {

constexpr std::array<const char*, static_cast<size_t>(SkinImage::Count)> kFileNames = {
    "button_normal",
    "button_hover",
    "button_pressed",
    "page_normal",
    "page_hover",
    "page_pressed",
    "mark_open_normal",
    "mark_open_hover",
    "mark_open_pressed",
    "mark_closed_normal",
    "mark_closed_hover",
    "mark_closed_pressed",
    "caption_band",
    "logo",
    "caption_close",
    "caption_close_hover",
    "caption_max",
    "caption_max_hover",
    "caption_restore",
    "caption_restore_hover",
    "caption_min",
    "caption_min_hover",
    "browse",
};

void EnsureResources() {
  static const bool registered = (RegisterSkinResources(), true);
  (void)registered;
}

qreal DevicePixelRatio(const QPainter& painter) {
  const QPaintDevice* device = painter.device();
  return device ? std::max<qreal>(1.0, device->devicePixelRatio()) : 1.0;
}

}  // namespace

QString SkinImagePath(SkinImage image) {
  const auto index = static_cast<size_t>(image);
  if (index >= kFileNames.size()) return {};
  return QStringLiteral(":/skin/%1.svg").arg(QLatin1String(kFileNames[index]));
}

QSize SkinImageSize(SkinImage image) {
  static std::array<std::optional<QSize>, kFileNames.size()> sizes;
  const auto index = static_cast<size_t>(image);
  if (index >= sizes.size()) return {};
  if (!sizes[index]) {
    EnsureResources();
    QSvgRenderer renderer(SkinImagePath(image));
    sizes[index] = renderer.isValid() ? renderer.defaultSize() : QSize();
  }
  return *sizes[index];
}

QPixmap SkinPixmap(SkinImage image, const QSize& logicalSize, qreal devicePixelRatio) {
  if (logicalSize.isEmpty() || SkinImageSize(image).isEmpty()) return {};
  const qreal dpr = std::max<qreal>(1.0, devicePixelRatio);
  const QString key = QStringLiteral("kestrana-skin/%1/%2x%3@%4")
                          .arg(static_cast<int>(image))
                          .arg(logicalSize.width())
                          .arg(logicalSize.height())
                          .arg(dpr);
  QPixmap pixmap;
  if (QPixmapCache::find(key, &pixmap)) return pixmap;

  const QSize deviceSize(static_cast<int>(std::ceil(logicalSize.width() * dpr)),
                         static_cast<int>(std::ceil(logicalSize.height() * dpr)));
  QImage raster(deviceSize, QImage::Format_ARGB32_Premultiplied);
  raster.fill(Qt::transparent);
  {
    QSvgRenderer renderer(SkinImagePath(image));
    QPainter painter(&raster);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(deviceSize)));
  }
  raster.setDevicePixelRatio(dpr);
  pixmap = QPixmap::fromImage(raster);
  QPixmapCache::insert(key, pixmap);
  return pixmap;
}

void DrawSkinImage(QPainter& painter, const QRect& target, SkinImage image) {
  const QPixmap pixmap = SkinPixmap(image, target.size(), DevicePixelRatio(painter));
  if (!pixmap.isNull()) painter.drawPixmap(target.topLeft(), pixmap);
}

void DrawSkinImageFitted(QPainter& painter, const QRect& target, SkinImage image) {
  const QSize natural = SkinImageSize(image);
  if (natural.isEmpty() || target.isEmpty()) return;
  const QSize fitted = natural.scaled(target.size(), Qt::KeepAspectRatio);
  QRect placed(QPoint(0, 0), fitted);
  placed.moveCenter(target.center());
  DrawSkinImage(painter, placed, image);
}

void DrawSkinNineSlice(QPainter& painter, const QRect& target, SkinImage image, int border) {
  const QSize natural = SkinImageSize(image);
  if (natural.isEmpty() || target.isEmpty()) return;
  const qreal dpr = DevicePixelRatio(painter);
  const QPixmap pixmap = SkinPixmap(image, natural, dpr);
  if (pixmap.isNull()) return;

  // A target smaller than two borders squeezes the borders instead of overlapping them.
  const int bx = std::clamp(std::min(border, target.width() / 2), 0, natural.width() / 2);
  const int by = std::clamp(std::min(border, target.height() / 2), 0, natural.height() / 2);
  // Source rectangles are in the pixmap's device pixels, targets in logical pixels.
  const qreal sx[4] = {0, bx * dpr, (natural.width() - bx) * dpr, natural.width() * dpr};
  const qreal sy[4] = {0, by * dpr, (natural.height() - by) * dpr, natural.height() * dpr};
  const qreal tx[4] = {qreal(target.left()), qreal(target.left() + bx),
                       qreal(target.left() + target.width() - bx),
                       qreal(target.left() + target.width())};
  const qreal ty[4] = {qreal(target.top()), qreal(target.top() + by),
                       qreal(target.top() + target.height() - by),
                       qreal(target.top() + target.height())};

  painter.save();
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 3; ++col) {
      const QRectF source(QPointF(sx[col], sy[row]), QPointF(sx[col + 1], sy[row + 1]));
      const QRectF destination(QPointF(tx[col], ty[row]), QPointF(tx[col + 1], ty[row + 1]));
      if (source.isEmpty() || destination.isEmpty()) continue;
      painter.drawPixmap(destination, pixmap, source);
    }
  }
  painter.restore();
}
