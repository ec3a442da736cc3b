#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <memory>

#include "tests/support/TempDir.h"

namespace salvoran::test {

// A D-Bus daemon of the test's own, which any user of the machine may use.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Empty when the daemon did not start.
  const QString& Address() const { return address_; }

 private:
  TempDir dir_;
  QProcess daemon_;
  QString address_;
};

// The stand-in udisks2 service (fake_udisks_service) on a bus, with the lines it logs.
class FakeUdisks {
 public:
  FakeUdisks(const QString& busAddress, const QStringList& arguments);
  ~FakeUdisks();
  FakeUdisks(const FakeUdisks&) = delete;
  FakeUdisks& operator=(const FakeUdisks&) = delete;

  bool Ready() const { return ready_; }
  // Every line it has printed so far.
  QStringList Calls();

 private:
  QProcess service_;
  QString output_;
  bool ready_ = false;
};

}  // namespace salvoran::test
