#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/SourceDevice.h"
#include "engine/VolumeGeometry.h"
#include "recovery/OutputFile.h"
#include "recovery/RecoverFile.h"
#include "recovery/RestoreFolder.h"
#include "ui/RecoveryDialogs.h"
#include "ui/RestoreProgress.h"
#include "ui/model/ResultTree.h"

namespace salvoran {

inline constexpr std::string_view SourceDeviceQuestion =
    "The chosen location is on the drive being scanned. Saving there can overwrite the deleted data "
    "you want to recover. Save there anyway?";

// What a restore of several files came to.
struct RestoreTally {
  uint64_t Saved = 0;
  // Of those saved, the names of the files some of whose clusters other files use now.
  std::vector<std::string> Damaged;
  std::vector<RestoreFailure> Failures;
};

// TryRecoverFile for a listed file's own content: what the recover button restores.
std::optional<std::string> RecoverListedFile(const VolumeGeometry& geometry, const RestoreTarget& target,
                                             int64_t recordOffset, OutputFile::ExistingTarget existing,
                                             const ContentProgress& progress);

// The closing message of a restore of several files that did not save them all; the damaged
// count only where there are damaged files.
std::string RestoreSummaryText(const RestoreTally& tally);

// Restores the checked files of the result tree: one file through a save dialog, several into a
// chosen folder (RestoreFolder: flat, or each under a copy of its original folder when the user
// asks), each copy run through the progress. Category roots are never restored. A failed single
// file is shown at once with ShowWarning; the failures of several are collected and shown
// together at the end. Files saved while other files use some of their clusters are reported as
// likely damaged.
class SelectedFilesRecovery {
 public:
  // Answers the failure text, or nothing when the file was written (TryRecoverFile).
  using RecoverFunction = std::function<std::optional<std::string>(
      const VolumeGeometry& geometry, const RestoreTarget& target, int64_t recordOffset,
      OutputFile::ExistingTarget existing, const ContentProgress& progress)>;
  using SourceDeviceCheck = std::function<bool(const std::filesystem::path& target, const std::string& source)>;
  using RunningChangedHandler = std::function<void(bool running)>;
  // The geometry of the MFT a listed file was found in, or null for the last scan's volume's: what
  // the file is restored through.
  using GeometryLookup = std::function<std::shared_ptr<const VolumeGeometry>(const ResultNode& node)>;

  // geometry is the last scan's, read at every file. processEvents handles pending events once;
  // it runs before each checked node, so the user can change check marks during a long walk.
  // recover runs inside progress, which may run it on another thread: it must touch neither the
  // tree nor the dialogs.
  SelectedFilesRecovery(ResultTree& tree, const VolumeGeometry& geometry, RecoveryDialogs& dialogs,
                        RestoreProgress& progress, std::function<void()> processEvents,
                        RecoverFunction recover = RecoverListedFile,
                        SourceDeviceCheck isOnSourceDevice = PathIsOnSourceDevice);

  // The recover button. Does nothing while a recovery is already running. A stop request
  // (RestoreStop.h: Cancel, a close of the window, a signal) ends it at once, without a warning
  // and without claiming success; the file being written then removes itself. A restore of
  // several files that is cancelled says how many were saved and where.
  void Run();
  // Stops the recovery as Cancel does, but without a closing message: the window is going away.
  void StopForClose();

  // True from the first dialog to the last message of a Run; the tree must then be neither
  // emptied nor refilled, so the window disables Scan Now and the recover button.
  bool Running() const { return running_; }
  // Hears when Running changes.
  void SetRunningChangedHandler(RunningChangedHandler handler) { runningChanged_ = std::move(handler); }
  void SetGeometryLookup(GeometryLookup lookup) { geometryOf_ = std::move(lookup); }

  // The window calls this whenever it empties the tree. A running recovery then stops at its
  // next step without touching a node again and without claiming success.
  void TreeCleared() { ++treeGeneration_; }

 private:
  class RunningScope;
  class ProgressScope;
  struct CheckedFiles;

  static CheckedFiles FindCheckedFiles(const ResultTree& tree);
  void RecoverOne(TDeletedFileData file, ClusterUse clusters, std::shared_ptr<const VolumeGeometry> foundIn,
                  uint64_t generation);
  void RecoverMany(const CheckedFiles& checked, uint64_t generation);
  // Restores the next file into output, counting it in tally.
  void RecoverInto(RestoreFolder& output, bool keepFolders, const ResultNode& node, RestoreTally& tally);
  // foundIn is kept for the copy: the tree may change while it runs.
  std::optional<std::string> Restore(const std::string& name, const TDeletedFileData& file,
                                     std::shared_ptr<const VolumeGeometry> foundIn, const RestoreTarget& target,
                                     OutputFile::ExistingTarget existing);
  std::shared_ptr<const VolumeGeometry> FoundIn(const ResultNode& node) const {
    return geometryOf_ ? geometryOf_(node) : nullptr;
  }
  // False when the user declined to write on the source device.
  bool ConfirmTarget(const std::filesystem::path& target);
  void ReportSaved(std::string_view note, std::string_view details);
  void ReportCancelled(const RestoreTally& tally, uint64_t fileCount, const std::filesystem::path& folder);

  ResultTree& tree_;
  const VolumeGeometry& geometry_;
  RecoveryDialogs& dialogs_;
  RestoreProgress& progress_;
  std::function<void()> processEvents_;
  RecoverFunction recover_;
  SourceDeviceCheck isOnSourceDevice_;
  RunningChangedHandler runningChanged_;
  GeometryLookup geometryOf_;
  bool running_ = false;
  bool closing_ = false;
  uint64_t treeGeneration_ = 0;
};

}  // namespace salvoran
