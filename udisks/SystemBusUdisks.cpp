#include "udisks/SystemBusUdisks.h"

#include <QCoreApplication>
#include <QDBusConnection>

#include "udisks/UdisksClient.h"

namespace salvoran {
namespace {

// What a Qt application made on the command line's behalf is given as its arguments.
int applicationArgumentCount = 1;
char applicationName[] = "salvoran";
char* applicationArguments[] = {applicationName, nullptr};

}  // namespace

SystemBusUdisks::SystemBusUdisks() = default;

// The client goes before the application its connection needs.
SystemBusUdisks::~SystemBusUdisks() { client_.reset(); }

GrantedDescriptor SystemBusUdisks::Open(const std::string& devicePath) {
  if (!client_) {
    // Qt D-Bus delivers its messages through an application object.
    if (QCoreApplication::instance() == nullptr) {
      application_ = std::make_unique<QCoreApplication>(applicationArgumentCount, applicationArguments);
    }
    client_ = std::make_unique<UdisksClient>(QDBusConnection::systemBus());
  }
  return client_->OpenForReading(devicePath);
}

}  // namespace salvoran
