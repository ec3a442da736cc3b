// Starts as the desktop program does, without the window, and reports what happens on stdout:
// "run" or "end" for the decision, then, while running, "notified" and the later start's image
// files as a JSON array for every notice. "--image PATH" arguments are the start's image files.

#include <cstdio>

#include <QByteArray>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

#include "app/AutorunSwitch.h"
#include "app/SingleInstance.h"

namespace {

void Report(const QByteArray& line) {
  std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication application(argc, argv);
  QCommandLineParser parser;
  const QCommandLineOption image("image", "", "path");
  parser.addOption(image);
  parser.parse(QCoreApplication::arguments());
  salvoran::SingleInstance instance;
  if (instance.Decide(salvoran::HasAutorunSwitch(argc, argv), parser.values(image)) ==
      salvoran::StartDecision::EndQuietly) {
    Report("end");
    return 0;
  }
  QObject::connect(&instance, &salvoran::SingleInstance::LaterStart, [](const QStringList& imageFiles) {
    Report("notified " + QJsonDocument(QJsonArray::fromStringList(imageFiles)).toJson(QJsonDocument::Compact));
  });
  Report("run");
  return application.exec();
}
