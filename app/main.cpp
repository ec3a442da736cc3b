#include <QApplication>
#include <QCommandLineParser>
#include <QFile>

#include "app/AutorunSwitch.h"
#include "app/SignalShutdown.h"
#include "app/SingleInstance.h"
#include "recovery/StopSignals.h"
#include "support/Diagnostics.h"
#include "ui/MessageBoxWarning.h"
#include "ui/TfrmSalvoran.h"
#include "udisks/UdisksFallback.h"

namespace {

// SALVORAN_DEBUG=1 turns on the diagnostic trace on stderr.
constexpr char DebugVariable[] = "SALVORAN_DEBUG";

// "--image PATH", any number of times. Other arguments are left for later switches.
QStringList ImageArguments(const QStringList& arguments) {
  QCommandLineParser parser;
  const QCommandLineOption image("image", "An image file to scan.", "path");
  parser.addOption(image);
  parser.parse(arguments);
  return parser.values(image);
}

// A later start brings the window to the user, hidden by the autorun switch or not, with the
// image files it was given at the top of the drive list.
void ShowForLaterStart(salvoran::TfrmSalvoran& window, const QStringList& imageFiles) {
  window.AddImageFiles(imageFiles);
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  window.show();
  window.raise();
  window.activateWindow();
  salvoran::DebugTrace("shown for a later start; drive " + QFile::encodeName(window.SelectedDrive()).toStdString());
}

}  // namespace

int main(int argc, char* argv[]) {
  // Read before QApplication, which takes the arguments it knows out of argv.
  const bool autorun = salvoran::HasAutorunSwitch(argc, argv);
  QApplication application(argc, argv);
  // Wayland matches the window to its menu entry and icon by this name.
  QGuiApplication::setDesktopFileName(SALVORAN_APP_ID);
  salvoran::EnableDebugTrace(qEnvironmentVariableIntValue(DebugVariable) != 0);
  const QStringList imageFiles = ImageArguments(QApplication::arguments());
  salvoran::SingleInstance instance;
  if (instance.Decide(autorun, imageFiles) == salvoran::StartDecision::EndQuietly) return 0;
  salvoran::InstallMessageBoxWarning();
  const salvoran::UdisksFallback udisks;

  salvoran::TfrmSalvoran window;
  const salvoran::SignalShutdown shutdown(window);
  salvoran::IgnoreFileSizeSignal();
  window.AddImageFiles(imageFiles);
  QObject::connect(&instance, &salvoran::SingleInstance::LaterStart, &window,
                   [&window](const QStringList& laterImageFiles) { ShowForLaterStart(window, laterImageFiles); });
  // No application display name is set: X11 and Wayland would append it to the title of every
  // window and dialog. The application title is the caption of the recover command's messages.

  // Started at log-in, the program waits out of sight.
  if (!autorun) window.show();
  return application.exec();
}
