#pragma once
// The graph area of the noise view: paints the renderer's latest picture
// (never waiting for a drawing) and passes the mouse on to the view.

#include <QWidget>
#include <memory>

class NoiseRenderer;

class NoiseGraphWidget : public QWidget {
  Q_OBJECT

 public:
  NoiseGraphWidget(std::shared_ptr<NoiseRenderer> renderer, QWidget* parent = nullptr);

 signals:
  void pressed(QPoint at);
  void moved(QPoint at);
  void released(QPoint at);
  void doubleClicked();
  void resized(QSize size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  const std::shared_ptr<NoiseRenderer> renderer_;
};
