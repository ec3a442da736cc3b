#include <gtest/gtest.h>

#include <QApplication>

// Widgets need one application object for the whole run.
int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  // Run without a display unless told otherwise.
  if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  return RUN_ALL_TESTS();
}
