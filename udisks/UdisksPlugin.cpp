// The udisks2 client as a plugin: the command line loads it, and with it Qt D-Bus, only once a
// device is refused.
#include <algorithm>
#include <cstring>
#include <memory>

#include "udisks/SystemBusUdisks.h"
#include "udisks/UdisksPluginInterface.h"

namespace {

std::unique_ptr<salvoran::SystemBusUdisks>& Udisks() {
  static std::unique_ptr<salvoran::SystemBusUdisks> udisks;
  return udisks;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) int SalvoranUdisksOpen(const char* devicePath, int* errorCode,
                                                              char* explanation, size_t explanationSize) {
  if (!Udisks()) Udisks() = std::make_unique<salvoran::SystemBusUdisks>();
  const salvoran::GrantedDescriptor granted = Udisks()->Open(devicePath);
  *errorCode = granted.ErrorCode;
  if (explanationSize > 0) {
    const size_t length = std::min(granted.Explanation.size(), explanationSize - 1);
    std::memcpy(explanation, granted.Explanation.data(), length);
    explanation[length] = '\0';
  }
  return granted.Descriptor;
}

__attribute__((visibility("default"))) void SalvoranUdisksClose() { Udisks().reset(); }
}
