#include "app/SignalShutdown.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QWidget>

#include "recovery/RestoreStop.h"
#include "recovery/StopSignals.h"

namespace salvoran {
namespace {

constexpr int SignalExitBase = 128;

}  // namespace

SignalShutdown::SignalShutdown(QWidget& window) : window_(window) {
  int wake[2];
  // Non-blocking: a signal handler must never wait on a full pipe.
  if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  notifier_ = new QSocketNotifier(wakeRead_, QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, [this] { SignalArrived(); });
  InstallStopSignals(wakeWrite_);
}

SignalShutdown::~SignalShutdown() {
  if (wakeRead_ < 0) return;
  InstallStopSignals();
  ::close(wakeRead_);
  ::close(wakeWrite_);
}

void SignalShutdown::SignalArrived() {
  char drained[16];
  while (::read(wakeRead_, drained, sizeof drained) > 0) {
  }
  // A scan stops as on a close; a recovery has been told to stop already. Every event loop ends,
  // so an open dialog does not hold the program.
  window_.close();
  QCoreApplication::exit(SignalExitBase + RestoreStopSignal());
}

}  // namespace salvoran
