#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "recovery/TargetNames.h"

namespace salvoran {

// A folder held open by its descriptor, closed with the last owner.
class FolderHandle {
 public:
  explicit FolderHandle(int descriptor) : descriptor_(descriptor) {}
  ~FolderHandle();
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  int Descriptor() const { return descriptor_; }

 private:
  int descriptor_;
};

// Where one restored file goes: a name in a folder held open. Path is only for messages.
struct RestoreTarget {
  std::shared_ptr<const FolderHandle> Folder;
  std::string Name;
  std::filesystem::path Path;
};

// "Cannot create file \"path\". <system text>", with what ("Cannot create file") and the path.
std::string CreationFailure(std::string_view what, const std::filesystem::path& path, int errorCode);

// The target for a path the user chose: its folder opened as the path names it (links in it
// followed, as the user picked it), the last part as the name. Throws EngineError when the
// folder cannot be opened.
RestoreTarget TargetAtPath(const std::filesystem::path& path);

// The folder a restore of several files writes into, held open. Every folder made inside it and
// every restored file is created relative to its descriptor, and no symbolic link inside it is
// ever followed: a link planted there (as another user of a shared folder such as /tmp could)
// never sends a file elsewhere, though the program often runs as root.
//
//   RestoreFolder output(folder);
//   for (const FoundFile& file : files) {
//     const RestoreTarget target = output.TargetFor(file.Data.FileName, keepFolders ? file.Folder : nullopt);
//     TryRecoverFile(geometry, target, file.Data.RecordOffset, OutputFile::ExistingTarget::Keep);
//   }
class RestoreFolder {
 public:
  // Opens the folder, which must exist. Throws EngineError when it cannot be opened.
  explicit RestoreFolder(const std::filesystem::path& folder);

  // The target for the next restored file called fileName: directly in the folder, or, given
  // the file's original folder (FoundFile::Folder), in the copy of that folder made below it as
  // needed. "/" is the folder itself, "/a/b" gives a/b; a chain that broke ("b", or "" when not
  // even the parent is known) goes under UnknownFolderName: "(path unknown)/b". Every part and
  // the name are made safe (SafeFileName), so nothing leaves the folder; a part whose name is
  // taken by something that is not a folder, a symbolic link included, becomes "part (2)". The
  // name is one no earlier file of this restore and no entry of its folder has ("name (2).ext").
  // Throws EngineError when a folder cannot be made or opened.
  RestoreTarget TargetFor(std::u16string_view fileName, std::optional<std::string_view> originalFolder = std::nullopt);

  const std::filesystem::path& Path() const { return path_; }

 private:
  struct OpenedFolder {
    std::shared_ptr<const FolderHandle> Handle;
    std::filesystem::path Path;
  };
  OpenedFolder OpenCopyOf(std::string_view originalFolder);

  std::filesystem::path path_;
  std::shared_ptr<const FolderHandle> root_;
  // The last folder opened, as files of one folder tend to come together.
  std::optional<std::string> lastOriginal_;
  OpenedFolder last_;
  std::map<std::string, FolderNames> names_;  // by folder path
};

}  // namespace salvoran
