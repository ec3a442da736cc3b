#include "udisks/UdisksFallback.h"

namespace salvoran {

UdisksFallback::UdisksFallback()
    : previous_(SetDeniedDeviceOpener([this](const std::string& devicePath) { return udisks_.Open(devicePath); })) {}

UdisksFallback::~UdisksFallback() { SetDeniedDeviceOpener(std::move(previous_)); }

}  // namespace salvoran
