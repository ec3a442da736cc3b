#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "recovery/ContentRecovery.h"

namespace salvoran {

// Runs the copies of a restore while the window stays live, and shows how far the restore has
// come. Begin and End enclose the copies of one restore.
class RestoreProgress {
 public:
  // One file's copy: told of every stretch copied, it answers the failure text or nothing.
  using Copy = std::function<std::optional<std::string>(const ContentProgress& progress)>;

  virtual ~RestoreProgress() = default;

  virtual void Begin(uint64_t fileCount, uint64_t totalBytes) = 0;
  // Copies the next file, listed as name with listedBytes bytes, and answers what copy answers;
  // what copy throws (RestoreStopped) comes out of here.
  virtual std::optional<std::string> Run(const std::string& name, uint64_t listedBytes, const Copy& copy) = 0;
  virtual void End() = 0;
};

}  // namespace salvoran
