#pragma once

#include "engine/RawVolume.h"
#include "udisks/SystemBusUdisks.h"

namespace salvoran {

// While it lives, a block device the process is refused is opened through udisks2 on the system
// bus. Nothing of D-Bus is started until a device is refused.
class UdisksFallback {
 public:
  UdisksFallback();
  ~UdisksFallback();
  UdisksFallback(const UdisksFallback&) = delete;
  UdisksFallback& operator=(const UdisksFallback&) = delete;

 private:
  SystemBusUdisks udisks_;
  DeniedDeviceOpener previous_;
};

}  // namespace salvoran
