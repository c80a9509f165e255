// The program's own file dialog: the name it proposes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTimer>

#include "app/QtPrompts.h"
#include "tests/platform/ScratchDir.h"

namespace {

// Reads what the open save dialog shows, then cancels it.
struct ShownDialog {
  QString name;
  QString folder;
};
void ReadAndCancelOnceShown(ShownDialog* shown) {
  QTimer::singleShot(0, [shown] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      auto* dialog = qobject_cast<QFileDialog*>(w);
      if (dialog == nullptr || !dialog->isVisible()) continue;
      if (auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) {
        shown->name = edit->text();
      }
      shown->folder = dialog->directory().absolutePath();
      dialog->reject();
    }
  });
}

TEST(QtPromptsSave, ProposesTheBareNameInTheFolderGiven) {
  platform::testing_support::ScratchDir dir;
  const QString folder = QString::fromStdString(dir.path().string());
  const QString name = QStringLiteral("RO9110V_20210303140509.cfg");
  for (const QString& given : {QString(), folder}) {
    SCOPED_TRACE(given.toStdString());
    QtPrompts prompts;
    ShownDialog shown;
    ReadAndCancelOnceShown(&shown);
    EXPECT_FALSE(prompts.saveFileName(given, QStringLiteral("Config Files (*.cfg)"), name,
                                      QStringLiteral("cfg")));
    EXPECT_EQ(shown.name.toStdString(), name.toStdString());
    if (!given.isEmpty()) {
      EXPECT_EQ(shown.folder.toStdString(), folder.toStdString());
    }
  }
}

}  // namespace
