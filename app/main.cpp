#include <QApplication>
#include <QCommandLineParser>

#include "ui/MessageBoxWarning.h"
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
  QApplication application(argc, argv);
  salvoran::InstallMessageBoxWarning();
  salvoran::TfrmSalvoran window;
  window.AddImageFiles(ImageArguments(QApplication::arguments()));
  window.show();
  application.exec();
  return 0;
}
