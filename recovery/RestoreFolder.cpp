#include "recovery/RestoreFolder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/EngineError.h"
#include "engine/SystemError.h"
#include "recovery/TargetNames.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

constexpr mode_t FolderMode = 0777;  // narrowed by the user's umask
// A folder name taken by this many files or links in turn is not worth trying further.
constexpr unsigned MaxFolderNameAttempts = 100;
constexpr int OpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

[[noreturn]] void FailFolder(const std::filesystem::path& path, int errorCode) {
  throw EngineError(CreationFailure(messages::CannotCreateFolder, path, errorCode));
}

// A folder named by a path, links followed; failing, the error names what was to be made in it.
std::shared_ptr<const FolderHandle> OpenFolder(const std::filesystem::path& folder, std::string_view failure,
                                               const std::filesystem::path& shown) {
  const int descriptor = ::open(folder.c_str(), OpenFolderFlags);
  if (descriptor < 0) throw EngineError(CreationFailure(failure, shown, errno));
  return std::make_shared<const FolderHandle>(descriptor);
}

// The folder called part inside parent, made when missing; never through a link. A name held by
// a file or a link is passed over for "part (2)", "part (3)", ...
std::shared_ptr<const FolderHandle> MakeOrOpenFolder(const FolderHandle& parent, const std::string& part,
                                                     std::filesystem::path& shown) {
  int error = 0;
  for (unsigned number = 1; number <= MaxFolderNameAttempts; ++number) {
    const std::string name = NumberedName(part, number);
    if (::mkdirat(parent.Descriptor(), name.c_str(), FolderMode) != 0 && errno != EEXIST) {
      FailFolder(shown / name, errno);
    }
    const int descriptor = ::openat(parent.Descriptor(), name.c_str(), OpenFolderFlags | O_NOFOLLOW);
    if (descriptor >= 0) {
      shown /= name;
      return std::make_shared<const FolderHandle>(descriptor);
    }
    error = errno;
    // ELOOP: a symbolic link; ENOTDIR: a file.
    if (error != ELOOP && error != ENOTDIR) break;
  }
  FailFolder(shown / part, error);
}

}  // namespace

FolderHandle::~FolderHandle() { ::close(descriptor_); }

std::string CreationFailure(std::string_view what, const std::filesystem::path& path, int errorCode) {
  return std::string(what) + " \"" + path.string() + "\". " + SystemErrorText(errorCode);
}

RestoreTarget TargetAtPath(const std::filesystem::path& path) {
  const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
  return {OpenFolder(folder, messages::CannotCreateFile, path), path.filename().string(), path};
}

RestoreFolder::RestoreFolder(const std::filesystem::path& folder)
    : path_(folder), root_(OpenFolder(folder, messages::CannotCreateFolder, folder)) {}

RestoreFolder::OpenedFolder RestoreFolder::OpenCopyOf(std::string_view originalFolder) {
  OpenedFolder opened{root_, path_};
  std::string_view rest = originalFolder;
  // A whole chain starts at the root; the rest of a broken one is unknown.
  if (!rest.empty() && rest.front() == '/') {
    rest.remove_prefix(1);
  } else {
    opened.Handle = MakeOrOpenFolder(*opened.Handle, std::string(messages::UnknownFolderName), opened.Path);
  }
  while (!rest.empty()) {
    const size_t separator = rest.find('/');
    const std::string_view part = rest.substr(0, separator);
    rest = separator == std::string_view::npos ? std::string_view() : rest.substr(separator + 1);
    if (part.empty()) continue;
    opened.Handle = MakeOrOpenFolder(*opened.Handle, SafeFileName(part), opened.Path);
  }
  return opened;
}

RestoreTarget RestoreFolder::TargetFor(std::u16string_view fileName, std::optional<std::string_view> originalFolder) {
  OpenedFolder folder{root_, path_};
  if (originalFolder) {
    if (lastOriginal_ != *originalFolder) {
      lastOriginal_.reset();
      last_ = OpenCopyOf(*originalFolder);
      lastOriginal_ = std::string(*originalFolder);
    }
    folder = last_;
  }
  const int descriptor = folder.Handle->Descriptor();
  const auto exists = [descriptor](const std::string& candidate) {
    struct stat status;
    return ::fstatat(descriptor, candidate.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
  };
  const std::string name = names_[folder.Path.string()].Unique(SafeFileName(fileName), exists);
  return {folder.Handle, name, folder.Path / name};
}

}  // namespace salvoran
