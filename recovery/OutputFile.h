#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>

#include "recovery/ContentSink.h"
#include "recovery/RestoreFolder.h"
#include "recovery/UnfinishedFiles.h"

namespace salvoran {

// A restored file under construction: written to a temporary file beside the target and moved
// onto the target only when complete, so a failure leaves no new file and an existing one
// untouched. Both names are made relative to the target's open folder and never through a
// symbolic link. The finished file carries the times it was given (KeepTimes): modification and
// access, and the creation time where the target's file system lets one be set (ntfs-3g). A
// restore asked to stop (RestoreStop.h) ends at the next write or hole with RestoreStopped,
// removing the temporary file. Throws EngineError with the user's message on any failure.
class OutputFile : public ContentSink {
 public:
  enum class ExistingTarget { Replace, Keep };

  OutputFile(RestoreTarget target, ExistingTarget existing);
  // A path the user chose (TargetAtPath).
  OutputFile(const std::filesystem::path& target, ExistingTarget existing);
  ~OutputFile() override;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  void Write(std::span<const std::byte> bytes) override;
  void Skip(uint64_t count) override;
  void KeepTimes(const StandardTimes& times) override { times_ = times; }
  // Sets the final length, cuts or extends with zeros, and moves the file onto the target.
  void Commit(uint64_t length) override;

 private:
  [[noreturn]] void FailWrite(int errorCode) const;
  [[noreturn]] void FailCreate(int errorCode) const;
  void ApplyTimes() const;
  void MoveWithoutReplacing();
  int Folder() const { return target_.Folder->Descriptor(); }

  RestoreTarget target_;
  ExistingTarget existing_;
  // Present while the temporary file exists under its own name; destroyed before target_, whose
  // folder it is removed from.
  std::optional<UnfinishedFile> temporary_;
  std::optional<StandardTimes> times_;
  int fd_ = -1;
  uint64_t position_ = 0;
};

}  // namespace salvoran
