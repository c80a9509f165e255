#pragma once
// Top-level window with our own caption: a band with the program mark and
// the window title, and minimize, maximize/restore and close buttons. The
// band drags the window, the thin border resizes it, and the window uses the
// program's light-blue colours. Put content in a layout as usual: the
// contents margins keep it clear of the caption and the border.

#include <QPoint>
#include <QWidget>

class CaptionButton;
class QLabel;

class CMyDialog : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kCaptionHeight = 32;
  static constexpr int kBorder = 4;

  explicit CMyDialog(QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void ToggleMaximized();
  void PlaceCaption();
  void FollowWindowState();
  Qt::Edges EdgesAt(const QPoint& pos) const;
  bool InCaption(const QPoint& pos) const;

  QLabel* m_title;
  CaptionButton* m_minimize;
  CaptionButton* m_maximize;
  CaptionButton* m_close;
  // Moving by hand, for platforms that cannot move the window themselves.
  bool m_dragging = false;
  QPoint m_dragOffset;
};
