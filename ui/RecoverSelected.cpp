#include "ui/RecoverSelected.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/EngineError.h"
#include "recovery/RestoreStop.h"
#include "recovery/TargetNames.h"
#include "support/Diagnostics.h"
#include "support/StringTable.h"

namespace salvoran {
namespace {

bool IsFile(const ResultTree& tree, const ResultNode* node) { return tree.NodeData(node)->IsFileEntry != 0; }

uint64_t ListedBytes(const TDeletedFileData& file) { return static_cast<uint64_t>(std::max<int64_t>(file.FileSize, 0)); }

// The list says once, above it, that these files could not be restored; each line keeps the cause.
std::string FailureCause(std::string failure) {
  if (failure.starts_with(strings::RecoverFailedMessage)) failure.erase(0, strings::RecoverFailedMessage.size());
  return failure;
}

// The count of damaged files, or nothing when there are none.
std::string DamagedCountText(const std::vector<std::string>& damaged) {
  return damaged.empty() ? std::string() : std::string(strings::DamagedCountLabel) + std::to_string(damaged.size());
}

// One name a line.
std::string NameLines(const std::vector<std::string>& names) {
  std::string lines;
  for (const std::string& name : names) lines += (lines.empty() ? "" : "\n") + name;
  return lines;
}

bool IsDamaged(const ClusterUse& clusters) { return clusters.Overwritten > 0; }

}  // namespace

std::optional<std::string> RecoverListedFile(const VolumeGeometry& geometry, const RestoreTarget& target,
                                             int64_t recordOffset, OutputFile::ExistingTarget existing,
                                             const ContentProgress& progress) {
  return TryRecoverFile(geometry, target, recordOffset, existing, progress);
}

std::string RestoreSummaryText(const RestoreTally& tally) {
  std::string text = std::string(strings::SavedCountLabel) + std::to_string(tally.Saved) + "\n";
  if (!tally.Damaged.empty()) text += DamagedCountText(tally.Damaged) + "\n";
  return text + std::string(strings::FailedCountLabel) + std::to_string(tally.Failures.size());
}

struct SelectedFilesRecovery::CheckedFiles {
  const ResultNode* First = nullptr;
  uint64_t Count = 0;
  uint64_t Bytes = 0;
};

// Keeps Running() true for one Run, whichever way it ends.
class SelectedFilesRecovery::RunningScope {
 public:
  explicit RunningScope(SelectedFilesRecovery& owner) : owner_(owner) { Set(true); }
  ~RunningScope() { Set(false); }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  void Set(bool running) {
    owner_.running_ = running;
    if (owner_.runningChanged_) owner_.runningChanged_(running);
  }

  SelectedFilesRecovery& owner_;
};

// Shows the progress from the first copy to the last, whichever way the copies end.
class SelectedFilesRecovery::ProgressScope {
 public:
  ProgressScope(RestoreProgress& progress, uint64_t fileCount, uint64_t totalBytes) : progress_(progress) {
    progress_.Begin(fileCount, totalBytes);
  }
  ~ProgressScope() { progress_.End(); }
  ProgressScope(const ProgressScope&) = delete;
  ProgressScope& operator=(const ProgressScope&) = delete;

 private:
  RestoreProgress& progress_;
};

SelectedFilesRecovery::SelectedFilesRecovery(ResultTree& tree, const VolumeGeometry& geometry,
                                             RecoveryDialogs& dialogs, RestoreProgress& progress,
                                             std::function<void()> processEvents, RecoverFunction recover,
                                             SourceDeviceCheck isOnSourceDevice)
    : tree_(tree),
      geometry_(geometry),
      dialogs_(dialogs),
      progress_(progress),
      processEvents_(std::move(processEvents)),
      recover_(std::move(recover)),
      isOnSourceDevice_(std::move(isOnSourceDevice)) {}

SelectedFilesRecovery::CheckedFiles SelectedFilesRecovery::FindCheckedFiles(const ResultTree& tree) {
  CheckedFiles found;
  for (const ResultNode* node = tree.FirstNodeInCheckState(csCheckedNormal); node != nullptr;
       node = tree.NextNodeInCheckState(node, csCheckedNormal)) {
    if (!IsFile(tree, node)) continue;
    if (found.First == nullptr) found.First = node;
    ++found.Count;
    found.Bytes += ListedBytes(*tree.NodeData(node));
  }
  return found;
}

void SelectedFilesRecovery::Run() {
  // The events handled during a walk may press the button again.
  if (running_) return;
  const CheckedFiles checked = FindCheckedFiles(tree_);
  if (checked.First == nullptr) return;
  RunningScope scope(*this);
  ClearRestoreStopRequest();
  closing_ = false;
  try {
    if (checked.Count > 1) {
      RecoverMany(checked, treeGeneration_);
    } else {
      // Passed as a copy: the node is not looked at again once dialogs have run.
      RecoverOne(*tree_.NodeData(checked.First), checked.First->Clusters(), FoundIn(*checked.First), treeGeneration_);
    }
  } catch (const RestoreStopped&) {
    // The file being written has removed itself; a stop is no failure to warn of.
  }
}

void SelectedFilesRecovery::StopForClose() {
  closing_ = true;
  RequestRestoreStop();
}

void SelectedFilesRecovery::RecoverOne(TDeletedFileData file, ClusterUse clusters,
                                       std::shared_ptr<const VolumeGeometry> foundIn, uint64_t generation) {
  const std::optional<std::filesystem::path> path = dialogs_.ChooseSaveFile(SafeFileName(file.FileName));
  if (!path || !ConfirmTarget(*path)) return;
  // A new scan would have replaced the geometry the record offset belongs to.
  if (generation != treeGeneration_ || RestoreStopRequested()) return;
  std::optional<std::string> failure;
  {
    ProgressScope shown(progress_, 1, ListedBytes(file));
    try {
      const RestoreTarget target = TargetAtPath(*path);
      // The save dialog has already asked before replacing a file.
      failure = Restore(SafeFileName(file.FileName), file, std::move(foundIn), target,
                        OutputFile::ExistingTarget::Replace);
    } catch (const EngineError& error) {
      // The chosen file's folder cannot be opened.
      failure = std::string(strings::RecoverFailedMessage) + error.what();
    }
  }
  if (failure) {
    ShowWarning(*failure);
  } else {
    ReportSaved(IsDamaged(clusters) ? strings::DamagedFileNote : std::string_view(), {});
  }
}

void SelectedFilesRecovery::RecoverMany(const CheckedFiles& checked, uint64_t generation) {
  const std::optional<FolderChoice> choice = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);
  if (!choice || !ConfirmTarget(choice->Folder)) return;
  if (generation != treeGeneration_) return;
  std::optional<RestoreFolder> output;
  try {
    output.emplace(choice->Folder);
  } catch (const EngineError& error) {
    ShowWarning(error.what());
    return;
  }
  RestoreTally tally;
  bool stopped = false;
  {
    ProgressScope shown(progress_, checked.Count, checked.Bytes);
    // The next checked node is looked up only once the current one is done, so check marks
    // changed meanwhile count for the nodes not yet reached.
    const ResultNode* node = tree_.FirstNodeInCheckState(csCheckedNormal);
    while (node != nullptr) {
      processEvents_();
      if (generation != treeGeneration_) return;
      if (RestoreStopRequested()) {
        stopped = true;
        break;
      }
      if (IsFile(tree_, node)) {
        try {
          RecoverInto(*output, choice->KeepFolders, *node, tally);
        } catch (const RestoreStopped&) {
          stopped = true;  // the file being written has removed itself
          break;
        }
        // Events were handled during the copy; the node may be gone.
        if (generation != treeGeneration_) return;
      }
      node = tree_.NextNodeInCheckState(node, csCheckedNormal);
    }
  }
  if (stopped) {
    if (!closing_) ReportCancelled(tally, checked.Count, choice->Folder);
  } else if (tally.Failures.empty()) {
    ReportSaved(DamagedCountText(tally.Damaged), NameLines(tally.Damaged));
  } else {
    dialogs_.ShowFailures(strings::ApplicationTitle, RestoreSummaryText(tally), tally.Failures);
  }
}

void SelectedFilesRecovery::RecoverInto(RestoreFolder& output, bool keepFolders, const ResultNode& node,
                                        RestoreTally& tally) {
  // The node is not looked at once the copy has begun: events handled meanwhile may remove it.
  const TDeletedFileData& file = node.Data();
  const std::string name = SafeFileName(file.FileName);
  const bool damaged = IsDamaged(node.Clusters());
  std::optional<std::string> failure;
  try {
    const RestoreTarget target = output.TargetFor(
        file.FileName, keepFolders ? std::optional<std::string_view>(node.Folder().Text) : std::nullopt);
    failure = Restore(name, file, FoundIn(node), target, OutputFile::ExistingTarget::Keep);
  } catch (const EngineError& error) {
    // A folder of the copied chain could not be made.
    failure = error.what();
  }
  if (failure) {
    tally.Failures.push_back({name, FailureCause(std::move(*failure))});
  } else {
    ++tally.Saved;
    if (damaged) tally.Damaged.push_back(name);
  }
}

std::optional<std::string> SelectedFilesRecovery::Restore(const std::string& name, const TDeletedFileData& file,
                                                          std::shared_ptr<const VolumeGeometry> foundIn,
                                                          const RestoreTarget& target,
                                                          OutputFile::ExistingTarget existing) {
  const int64_t recordOffset = file.RecordOffset;
  if (file.Origin == FileOrigin::Carved) {
    // A carved file is a plain range of the source.
    return progress_.Run(name, ListedBytes(file), [&](const ContentProgress& copied) {
      return TryRecoverCarvedFile(geometry_.DrivePath.Path, static_cast<uint64_t>(recordOffset),
                                  static_cast<uint64_t>(file.FileSize), target, existing, copied);
    });
  }
  const VolumeGeometry& geometry = foundIn ? *foundIn : geometry_;
  return progress_.Run(name, ListedBytes(file),
                       [this, &geometry, &target, recordOffset, existing](const ContentProgress& copied) {
                         return recover_(geometry, target, recordOffset, existing, copied);
                       });
}

bool SelectedFilesRecovery::ConfirmTarget(const std::filesystem::path& target) {
  return !isOnSourceDevice_(target, geometry_.DrivePath.Path) || dialogs_.AskYesNo(SourceDeviceQuestion);
}

void SelectedFilesRecovery::ReportSaved(std::string_view note, std::string_view details) {
  dialogs_.ShowPlainMessage(strings::ApplicationTitle, strings::FilesSavedMessage, note, details);
}

void SelectedFilesRecovery::ReportCancelled(const RestoreTally& tally, uint64_t fileCount,
                                            const std::filesystem::path& folder) {
  const std::string where = std::string(strings::SavedFolderLabel) + folder.string();
  if (tally.Failures.empty()) {
    std::string note = std::string(strings::SavedCountLabel) + std::to_string(tally.Saved) + " of " +
                       std::to_string(fileCount) + "\n" + where;
    if (!tally.Damaged.empty()) note += "\n" + DamagedCountText(tally.Damaged);
    dialogs_.ShowPlainMessage(strings::ApplicationTitle, strings::RestoreCancelledMessage, note,
                              NameLines(tally.Damaged));
  } else {
    const std::string summary = std::string(strings::RestoreCancelledMessage) + "\n" + where + "\n" +
                                RestoreSummaryText(tally);
    dialogs_.ShowFailures(strings::ApplicationTitle, summary, tally.Failures);
  }
}

}  // namespace salvoran
