#pragma once

#include <memory>
#include <string>

#include "engine/RawVolume.h"

class QCoreApplication;

namespace salvoran {

class UdisksClient;

// A udisks2 client on the system bus, started on first use: nothing of D-Bus runs until a device
// is asked for. A program without a Qt application (the command line) gets one then.
class SystemBusUdisks {
 public:
  SystemBusUdisks();
  ~SystemBusUdisks();
  SystemBusUdisks(const SystemBusUdisks&) = delete;
  SystemBusUdisks& operator=(const SystemBusUdisks&) = delete;

  GrantedDescriptor Open(const std::string& devicePath);

 private:
  std::unique_ptr<QCoreApplication> application_;
  std::unique_ptr<UdisksClient> client_;
};

}  // namespace salvoran
