#pragma once

#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

namespace salvoran::test {

// A file system served through FUSE, made in an image file and mounted for as long as the object
// lives: the targets where a restore meets file systems without the no-replace rename.
enum class FuseFileSystem {
  Ntfs3g,     // NTFS through ntfs-3g: no no-replace rename, hard links
  ExfatFuse,  // exFAT through exfat-fuse on a loop device: neither
};

class FuseMount {
 public:
  explicit FuseMount(FuseFileSystem kind);
  ~FuseMount();
  FuseMount(const FuseMount&) = delete;
  FuseMount& operator=(const FuseMount&) = delete;

  // Empty when mounted; otherwise why this machine cannot mount it (for GTEST_SKIP).
  const std::string& SkipReason() const { return skipReason_; }
  const std::filesystem::path& MountPoint() const { return mountPoint_; }

 private:
  void Mount(FuseFileSystem kind);

  TempDir folder_;
  std::filesystem::path image_ = folder_.Path() / "target.img";
  std::filesystem::path mountPoint_ = folder_.Path() / "mnt";
  std::string loopDevice_;
  bool mounted_ = false;
  std::string skipReason_;
};

}  // namespace salvoran::test
