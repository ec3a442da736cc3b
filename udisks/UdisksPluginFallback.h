#pragma once

#include <string>

#include "engine/RawVolume.h"

namespace salvoran {

// While it lives, a block device the process is refused is opened through udisks2, as
// UdisksFallback does, by a plugin loaded only then: a run that never meets such a device does not
// load Qt at all, which would cost more than the rest of the program's start.
class UdisksPluginFallback {
 public:
  // pluginPath: the plugin's file; a relative path is taken from the running program's folder.
  explicit UdisksPluginFallback(std::string pluginPath);
  ~UdisksPluginFallback();
  UdisksPluginFallback(const UdisksPluginFallback&) = delete;
  UdisksPluginFallback& operator=(const UdisksPluginFallback&) = delete;

 private:
  GrantedDescriptor Open(const std::string& devicePath);
  bool Load();

  std::string pluginPath_;
  // Never unloaded: Qt keeps threads of its own.
  void* plugin_ = nullptr;
  bool loadFailed_ = false;
  DeniedDeviceOpener previous_;
};

}  // namespace salvoran
