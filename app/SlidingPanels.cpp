#include "app/SlidingPanels.h"

#include <QAbstractButton>
#include <algorithm>
#include <QTimer>
#include <QVariantAnimation>
#include <QWidget>

SlidingPanels::SlidingPanels(QAbstractButton* updateHeader, QWidget* updatePanel,
                             QAbstractButton* netHeader, QWidget* netPanel, QObject* parent)
    : QObject(parent), headers_{updateHeader, netHeader}, panels_{updatePanel, netPanel} {
  for (int i = 0; i < 2; ++i) {
    headers_[i]->setCheckable(true);
    headers_[i]->setChecked(false);
    panels_[i]->setMaximumHeight(0);
    animations_[i] = new QVariantAnimation(this);
    animations_[i]->setDuration(kSlideMs);
    QWidget* panel = panels_[i];
    connect(animations_[i], &QVariantAnimation::valueChanged, panel,
            [panel](const QVariant& value) { panel->setMaximumHeight(value.toInt()); });
    connect(animations_[i], &QVariantAnimation::finished, this, [this, i] {
      // An open panel follows its content from now on.
      if (open_[i]) panels_[i]->setMaximumHeight(QWIDGETSIZE_MAX);
      emit Settled();
    });
    // The button only asks; the panels decide what is open.
    connect(headers_[i], &QAbstractButton::clicked, this, [this, i] { Toggle(i); });
  }
}

void SlidingPanels::Toggle(int panel) {
  const int other = 1 - panel;
  if (open_[panel]) {
    Slide(panel, false);
    return;
  }
  if (!open_[other]) {
    Slide(panel, true);
    return;
  }
  Slide(other, false);
  headers_[panel]->setChecked(false);
  // Opens once the other has shut.
  auto* once = new QObject(this);
  connect(animations_[other], &QVariantAnimation::finished, once, [this, panel, once] {
    once->deleteLater();
    QTimer::singleShot(kSwitchPauseMs, this, [this, panel] { Slide(panel, true); });
  });
}

void SlidingPanels::Slide(int panel, bool open) {
  open_[panel] = open;
  headers_[panel]->setChecked(open);
  QVariantAnimation* animation = animations_[panel];
  animation->stop();
  const int current = std::min(panels_[panel]->height(), panels_[panel]->maximumHeight());
  animation->setStartValue(current);
  animation->setEndValue(open ? panels_[panel]->sizeHint().height() : 0);
  animation->start();
}
