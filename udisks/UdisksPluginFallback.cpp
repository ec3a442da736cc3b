#include "udisks/UdisksPluginFallback.h"

#include <dlfcn.h>

#include <cerrno>
#include <filesystem>

#include "support/Diagnostics.h"
#include "support/Messages.h"
#include "udisks/UdisksPluginInterface.h"

namespace salvoran {
namespace {

constexpr size_t ExplanationBytes = 1024;

std::string ProgramFolder() {
  std::error_code error;
  return std::filesystem::read_symlink("/proc/self/exe", error).parent_path().string();
}

// As when no udisks2 answers: the user is told to ask for the disk group instead.
GrantedDescriptor Unavailable() {
  return {-1, EACCES, std::string(messages::UdisksUnavailable) + " " + std::string(messages::DiskGroupAdvice)};
}

}  // namespace

UdisksPluginFallback::UdisksPluginFallback(std::string pluginPath)
    : pluginPath_(std::move(pluginPath)),
      previous_(SetDeniedDeviceOpener([this](const std::string& devicePath) { return Open(devicePath); })) {}

UdisksPluginFallback::~UdisksPluginFallback() {
  SetDeniedDeviceOpener(std::move(previous_));
  if (plugin_ == nullptr) return;
  if (auto* close = reinterpret_cast<SalvoranUdisksCloseFunction*>(::dlsym(plugin_, UdisksPluginCloseSymbol))) close();
}

bool UdisksPluginFallback::Load() {
  if (plugin_ != nullptr || loadFailed_) return plugin_ != nullptr;
  std::filesystem::path path(pluginPath_);
  if (path.is_relative()) path = ProgramFolder() / path;
  plugin_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (plugin_ == nullptr) {
    loadFailed_ = true;
    DebugTrace(std::string("udisks2 plugin not loaded: ") + ::dlerror());
  }
  return plugin_ != nullptr;
}

GrantedDescriptor UdisksPluginFallback::Open(const std::string& devicePath) {
  if (!Load()) return Unavailable();
  auto* open = reinterpret_cast<SalvoranUdisksOpenFunction*>(::dlsym(plugin_, UdisksPluginOpenSymbol));
  if (open == nullptr) return Unavailable();
  GrantedDescriptor granted;
  char explanation[ExplanationBytes] = {};
  granted.Descriptor = open(devicePath.c_str(), &granted.ErrorCode, explanation, sizeof explanation);
  granted.Explanation = explanation;
  return granted;
}

}  // namespace salvoran
