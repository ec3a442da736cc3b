#pragma once

#include <QObject>

class QSocketNotifier;
class QWidget;

namespace salvoran {

// Ctrl+C, SIGTERM and SIGHUP end the desktop program as its close button would, but without
// waiting on any dialog: a restore under way stops at its next chunk and removes its unfinished
// file (StopSignals.h), a scan stops, and the program exits with 128 + the signal's number. A
// second signal ends it at once.
class SignalShutdown : public QObject {
 public:
  explicit SignalShutdown(QWidget& window);
  ~SignalShutdown() override;
  SignalShutdown(const SignalShutdown&) = delete;
  SignalShutdown& operator=(const SignalShutdown&) = delete;

 private:
  void SignalArrived();

  QWidget& window_;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace salvoran
