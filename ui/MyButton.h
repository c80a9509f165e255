#pragma once
// Skinned push button: our faces in three states (normal, hover, pressed),
// and optionally a status lamp at the right that shows red, grey or green, or
// an open/closed mark for panel headers.

#include <QColor>
#include <QPushButton>

enum LampState {
  LAMP_RED = 0,
  LAMP_GREY = 1,  // also every value other than LAMP_RED and LAMP_GREEN
  LAMP_GREEN = 2,
};

class CMyButton : public QPushButton {
  Q_OBJECT

 public:
  // Face style bits (SetFaceStyle).
  enum FaceStyle : unsigned {
    FACE_PLAIN = 1u << 0,       // ordinary face
    FACE_PAGE = 1u << 1,        // page-button face; the whole value FACE_PAGE also
                                // draws the normal caption a shade lighter
    FACE_LAMP = 1u << 3,        // ordinary face plus lamp; caption keeps left of it
    FACE_LAMP_IMAGE = 1u << 4,  // with FACE_LAMP: the lamp is the open/closed mark
  };

  explicit CMyButton(QWidget* parent = nullptr);
  CMyButton(const QString& text, QWidget* parent = nullptr);

  // Stores the lamp state and repaints; values other than 0 and 2 show grey.
  void SetState(int state);
  int State() const { return m_state; }
  QColor LampColor() const;

  void SetFaceStyle(unsigned style);
  unsigned FaceStyle() const { return m_faceStyle; }

  // Chooses the mark drawn by FACE_LAMP_IMAGE: true the "open" mark (the
  // default), false the "closed" one.
  void SetLampImageVariant(bool open);
  bool LampImageVariant() const { return m_lampImageOpen; }

  // Where the lamp rectangle and the lamp mark go for a button of this size.
  static QRect LampRect(const QSize& size);
  static QRect LampImageRect(const QSize& size);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  enum class Face { Normal, Hover, Pressed };

  Face CurrentFace() const;
  void DrawButton(QPainter& painter, Face face) const;
  void DrawCaption(QPainter& painter, Face face) const;
  void SetHover(bool hover);

  int m_state = LAMP_GREY;
  unsigned m_faceStyle = FACE_PLAIN;
  bool m_lampImageOpen = true;
  bool m_hover = false;
};
