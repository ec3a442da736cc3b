#include "ui/RecoverSelected.h"

#include <optional>
#include <set>
#include <utility>

#include "recovery/RestoreStop.h"
#include "recovery/TargetNames.h"
#include "support/StringTable.h"

namespace salvoran {
namespace {

bool IsFile(const ResultTree& tree, const ResultNode* node) { return tree.NodeData(node)->IsFileEntry != 0; }

struct CheckedFiles {
  const ResultNode* First = nullptr;
  bool Several = false;
};

// Stops at the second file: a million checked files need no full count.
CheckedFiles FindCheckedFiles(const ResultTree& tree) {
  CheckedFiles found;
  for (const ResultNode* node = tree.FirstNodeInCheckState(csCheckedNormal); node != nullptr;
       node = tree.NextNodeInCheckState(node, csCheckedNormal)) {
    if (!IsFile(tree, node)) continue;
    if (found.First != nullptr) {
      found.Several = true;
      break;
    }
    found.First = node;
  }
  return found;
}

}  // namespace

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

SelectedFilesRecovery::SelectedFilesRecovery(ResultTree& tree, const VolumeGeometry& geometry,
                                             RecoveryDialogs& dialogs, std::function<void()> processEvents,
                                             RecoverFunction recover, SourceDeviceCheck isOnSourceDevice)
    : tree_(tree),
      geometry_(geometry),
      dialogs_(dialogs),
      processEvents_(std::move(processEvents)),
      recover_(std::move(recover)),
      isOnSourceDevice_(std::move(isOnSourceDevice)) {}

void SelectedFilesRecovery::Run() {
  // The events handled during a walk may press the button again.
  if (running_) return;
  const CheckedFiles checked = FindCheckedFiles(tree_);
  if (checked.First == nullptr) return;
  RunningScope scope(*this);
  ClearRestoreStopRequest();
  try {
    if (checked.Several) {
      RecoverMany(treeGeneration_);
    } else {
      // Passed as a copy: the node is not looked at again once dialogs have run.
      RecoverOne(*tree_.NodeData(checked.First), treeGeneration_);
    }
  } catch (const RestoreStopped&) {
    // The file being written has removed itself; a stop is no failure to warn of.
  }
}

void SelectedFilesRecovery::RecoverOne(TDeletedFileData file, uint64_t generation) {
  const std::optional<std::filesystem::path> target = dialogs_.ChooseSaveFile(SafeFileName(file.FileName));
  if (!target || !ConfirmTarget(*target)) return;
  // A new scan would have replaced the geometry the record offset belongs to.
  if (generation != treeGeneration_ || RestoreStopRequested()) return;
  // The save dialog has already asked before replacing a file.
  if (recover_(geometry_, *target, file.RecordOffset, OutputFile::ExistingTarget::Replace)) ReportSaved();
}

void SelectedFilesRecovery::RecoverMany(uint64_t generation) {
  const std::optional<std::filesystem::path> folder = dialogs_.ChooseFolder(strings::ChooseFolderPrompt);
  if (!folder || !ConfirmTarget(*folder)) return;
  if (generation != treeGeneration_) return;
  std::set<std::string> taken;
  // The next checked node is looked up only once the current one is done, so check marks
  // changed meanwhile count for the nodes not yet reached.
  const ResultNode* node = tree_.FirstNodeInCheckState(csCheckedNormal);
  while (node != nullptr) {
    processEvents_();
    if (generation != treeGeneration_ || RestoreStopRequested()) return;
    if (IsFile(tree_, node)) {
      const TDeletedFileData& file = *tree_.NodeData(node);
      const std::filesystem::path target = UniqueTargetPath(*folder, SafeFileName(file.FileName), taken);
      // A failure has shown its own warning; the other files still deserve their chance.
      recover_(geometry_, target, file.RecordOffset, OutputFile::ExistingTarget::Keep);
      // The warning box runs an event loop of its own.
      if (generation != treeGeneration_) return;
    }
    node = tree_.NextNodeInCheckState(node, csCheckedNormal);
  }
  ReportSaved();
}

bool SelectedFilesRecovery::ConfirmTarget(const std::filesystem::path& target) {
  return !isOnSourceDevice_(target, geometry_.DrivePath.Path) || dialogs_.AskYesNo(SourceDeviceQuestion);
}

void SelectedFilesRecovery::ReportSaved() {
  dialogs_.ShowPlainMessage(strings::ApplicationTitle, strings::FilesSavedMessage);
}

}  // namespace salvoran
