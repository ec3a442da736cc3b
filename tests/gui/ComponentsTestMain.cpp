#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>

#include "tests/support/TempDir.h"

// Widgets need one application object for the whole run.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Run without a display unless told otherwise.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Settings the dialogs keep go to a folder of this run, not the user's.
  const salvoran::test::TempDir settings;
  qputenv("XDG_CONFIG_HOME", QFile::encodeName(QString::fromStdString(settings.Path().string())));
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
