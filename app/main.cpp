#include <QApplication>
#include <QCommandLineParser>

#include "app/AutorunSwitch.h"
#include "app/SingleInstance.h"
#include "support/StringTable.h"
#include "ui/MessageBoxWarning.h"
#include "ui/QtText.h"
#include "ui/TfrmSalvoran.h"

namespace {

// "--image PATH", any number of times. Other arguments are left for later switches.
QStringList ImageArguments(const QStringList& arguments) {
  QCommandLineParser parser;
  const QCommandLineOption image("image", "An image file to scan.", "path");
  parser.addOption(image);
  parser.parse(arguments);
  return parser.values(image);
}

}  // namespace

int main(int argc, char* argv[]) {
  // Read before QApplication, which takes the arguments it knows out of argv.
  const bool autorun = salvoran::HasAutorunSwitch(argc, argv);
  QApplication application(argc, argv);
  salvoran::SingleInstance instance;
  if (instance.Decide(autorun) == salvoran::StartDecision::EndQuietly) return 0;
  salvoran::InstallMessageBoxWarning();

  salvoran::TfrmSalvoran window;
  window.AddImageFiles(ImageArguments(QApplication::arguments()));
  // X11 and Wayland append the display name to a window's title when its native window gets the
  // title; the main window has its own caption, so its native window is made before the name is set.
  window.winId();
  QApplication::setApplicationDisplayName(salvoran::ToQString(salvoran::strings::ApplicationTitle));
  // Started at log-in, the program waits out of sight.
  if (!autorun) window.show();
  application.exec();
  return 0;
}
