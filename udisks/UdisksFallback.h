#pragma once

#include <memory>

#include "engine/RawVolume.h"

class QCoreApplication;

namespace salvoran {

class UdisksClient;

// While it lives, a block device the process is refused is opened through udisks2 on the system
// bus. Nothing of D-Bus is started until a device is refused; a program without a Qt application
// (the command line) gets one then.
class UdisksFallback {
 public:
  UdisksFallback();
  ~UdisksFallback();
  UdisksFallback(const UdisksFallback&) = delete;
  UdisksFallback& operator=(const UdisksFallback&) = delete;

 private:
  GrantedDescriptor Open(const std::string& devicePath);

  std::unique_ptr<QCoreApplication> application_;
  std::unique_ptr<UdisksClient> client_;
  DeniedDeviceOpener previous_;
};

}  // namespace salvoran
