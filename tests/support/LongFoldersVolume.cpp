#include "tests/support/LongFoldersVolume.h"

#include <algorithm>

#include "engine/DeletedFileScan.h"
#include "engine/FileNameText.h"
#include "engine/FileRecord.h"
#include "engine/OriginalFolders.h"

namespace salvoran::test {
namespace {

constexpr size_t NameCharacters = 255;
constexpr char16_t FirstFolderCharacter = u'\u4E00';
constexpr char16_t FileCharacter = u'\u6587';
constexpr size_t ParentReference = 0x18;  // in $FILE_NAME's content

// The record with its name's parent reference set.
Bytes InFolder(uint64_t parent, RecordSpec spec) {
  PutLE(spec.Attributes[1], ParentReference, parent, 8);
  return BuildRecord(spec);
}

RecordSpec FolderSpec(std::u16string_view name) {
  RecordSpec folder;
  folder.Flags = RecordInUse | RecordIsDirectory;
  folder.Attributes = {StandardInformationAttribute(SampleCreated, SampleModified),
                       FileNameAttribute(name, Win32Namespace)};
  return folder;
}

}  // namespace

LongFoldersVolume FilesInLongFolders(int32_t files, int32_t depth) {
  std::vector<std::u16string> folders;
  for (int32_t level = 0; level < depth; ++level) {
    folders.emplace_back(NameCharacters, static_cast<char16_t>(FirstFolderCharacter + level));
  }
  return FilesInFolders(files, folders);
}

LongFoldersVolume FilesInFolders(int32_t files, const std::vector<std::u16string>& folders) {
  const int32_t depth = static_cast<int32_t>(folders.size());
  const int32_t firstFile = FirstUserRecord + depth;
  VolumeSpec spec;
  const uint64_t mftClusters =
      (static_cast<uint64_t>(firstFile + files) * spec.RecordSize + spec.BytesPerCluster - 1) / spec.BytesPerCluster;
  const uint64_t mftStart = spec.MftRuns.front().StartCluster;
  spec.MftRuns = {{mftClusters, mftStart, false}};
  spec.TotalClusters = mftStart + mftClusters + 16;

  LongFoldersVolume volume;
  spec.Records[RootFolderRecord] = InFolder(RootFolderRecord, FolderSpec(u"."));
  for (int32_t level = 0; level < depth; ++level) {
    const int32_t parent = level == 0 ? static_cast<int32_t>(RootFolderRecord) : FirstUserRecord + level - 1;
    spec.Records[FirstUserRecord + level] = InFolder(static_cast<uint64_t>(parent), FolderSpec(folders[level]));
    volume.Folder += "/" + ToUtf8(folders[level]);
  }
  const std::u16string fileName = std::u16string(NameCharacters - 4, FileCharacter) + u".txt";
  volume.FileName = ToUtf8(fileName);
  volume.Image = BuildVolume(spec);
  // The file records are copied in place rather than laid out one by one: a benchmark asks for
  // half a million of them.
  const Bytes file = InFolder(firstFile - 1, DeletedFileSpec(fileName, ResidentDataAttribute(ToBytes("x"))));
  for (int32_t record = firstFile; record < firstFile + files; ++record) {
    std::copy(file.begin(), file.end(),
              volume.Image.begin() +
                  static_cast<ptrdiff_t>(mftStart * spec.BytesPerCluster + uint64_t{spec.RecordSize} * record));
  }
  return volume;
}

}  // namespace salvoran::test
