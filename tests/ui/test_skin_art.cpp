#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QSvgRenderer>

#include "ui/SkinArt.h"

namespace {

TEST(SkinArt, EveryImageIsInTheResourcesAndDraws) {
  for (int i = 0; i < int(SkinImage::Count); ++i) {
    const auto image = SkinImage(i);
    const QString path = SkinImagePath(image);
    SCOPED_TRACE(path.toStdString());
    EXPECT_FALSE(SkinImageSize(image).isEmpty());
    // Also catches two entries naming the same file.
    for (int j = 0; j < i; ++j) EXPECT_NE(path, SkinImagePath(SkinImage(j)));

    const QPixmap pixmap = SkinPixmap(image, QSize(25, 25), 2.0);
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(50, 50));
    EXPECT_EQ(pixmap.devicePixelRatio(), 2.0);
    const QImage raster = pixmap.toImage();
    bool drawn = false;
    for (int y = 0; y < raster.height() && !drawn; ++y) {
      for (int x = 0; x < raster.width() && !drawn; ++x) drawn = qAlpha(raster.pixel(x, y)) > 0;
    }
    EXPECT_TRUE(drawn);
  }
}

TEST(SkinArt, NothingToDrawGivesANullPixmap) {
  EXPECT_TRUE(SkinPixmap(SkinImage::Count, QSize(10, 10), 1.0).isNull());
  EXPECT_TRUE(SkinPixmap(SkinImage::ButtonNormal, QSize(0, 10), 1.0).isNull());
}

// The corners of a nine-slice face are copied pixel for pixel, also on a
// high-DPI target, however large the face is stretched.
TEST(SkinArt, NineSliceKeepsCornersUnscaled) {
  constexpr int kBorder = 5;
  for (qreal dpr : {1.0, 2.0}) {
    const QSize natural = SkinImageSize(SkinImage::ButtonNormal);
    const QImage source = SkinPixmap(SkinImage::ButtonNormal, natural, dpr).toImage();
    const QSize target(natural.width() * 5, natural.height() * 3);
    QImage canvas(target * dpr, QImage::Format_ARGB32_Premultiplied);
    canvas.setDevicePixelRatio(dpr);
    canvas.fill(Qt::transparent);
    {
      QPainter painter(&canvas);
      DrawSkinNineSlice(painter, QRect(QPoint(0, 0), target), SkinImage::ButtonNormal, kBorder);
    }
    const int corner = int(kBorder * dpr);
    const QSize sourceSize = source.size();
    for (int y = 0; y < corner; ++y) {
      for (int x = 0; x < corner; ++x) {
        ASSERT_EQ(canvas.pixel(x, y), source.pixel(x, y)) << "top left " << x << "," << y;
        ASSERT_EQ(canvas.pixel(canvas.width() - 1 - x, canvas.height() - 1 - y),
                  source.pixel(sourceSize.width() - 1 - x, sourceSize.height() - 1 - y))
            << "bottom right " << x << "," << y << " at pixel ratio " << dpr;
      }
    }
  }
}

}  // namespace
