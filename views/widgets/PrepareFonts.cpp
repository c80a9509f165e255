#include "views/widgets/PrepareFonts.h"

#include <QFont>
#include <QFontMetrics>

void PrepareFonts() {
  static const bool prepared = [] {
    QFontMetrics metrics{QFont(QStringLiteral("Arial"))};
    return metrics.height() > 0;
  }();
  (void)prepared;
}
