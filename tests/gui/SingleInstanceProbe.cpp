// Starts as the desktop program does, without the window, and reports what happens on stdout:
// "run" or "end" for the decision, then, while running, "received <line>" for every notice.

#include <cstdio>

#include <QByteArray>
#include <QCoreApplication>

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
  salvoran::SingleInstance instance;
  if (instance.Decide(salvoran::HasAutorunSwitch(argc, argv)) == salvoran::StartDecision::EndQuietly) {
    Report("end");
    return 0;
  }
  QObject::connect(&instance, &salvoran::SingleInstance::MessageReceived,
                   [](const QByteArray& message) { Report("received " + message); });
  Report("run");
  return application.exec();
}
