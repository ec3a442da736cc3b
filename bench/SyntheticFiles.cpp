#include "bench/SyntheticFiles.h"

#include <QString>
#include <cstdint>

namespace salvoran::bench {
namespace {

constexpr unsigned Seed = 20240611;
constexpr double FirstDay = 36526;  // 1 January 2000
constexpr double LastDay = 45658;   // 1 January 2025
constexpr int64_t LargestFileSize = int64_t{1} << 32;
constexpr int64_t ClusterSize = 4096;
constexpr size_t FolderCount = 20'000;
constexpr int LargestSerial = 9'999'999;
// One file in eight partly overwritten, one in eight wholly.
constexpr int StateShare = 8;

const std::array<const char16_t*, CategoryCount> RootCaptions = {
    u"Graphics Files", u"Music Files", u"Video Files", u"Document Files", u"HTML Files", u"Other Files"};
const std::array<const char16_t*, CategoryCount> NameStems = {u"IMG_",    u"track", u"VID_2021",
                                                               u"Report ", u"index", u"~WRL"};
const std::array<const char16_t*, CategoryCount> Extensions = {u".JPG", u".mp3", u".mp4", u".docx", u".html", u".tmp"};
// Folders share long beginnings, as they do on a real volume; the last one's chain broke.
const std::array<const char*, 6> FolderStems = {"/Users/ann/AppData/Local/Microsoft/Windows/INetCache/IE/",
                                                "/Users/ann/Pictures/Holiday ",
                                                "/Users/ann/Documents/Reports/",
                                                "/Windows/Temp/",
                                                "/Program Files/Vendor/cache/",
                                                "holiday/"};

ClusterUse RandomClusterUse(int64_t size, std::mt19937_64& random) {
  const uint64_t clusters = static_cast<uint64_t>(size / ClusterSize) + 1;
  switch (random() % StateShare) {
    case 0:
      return {clusters, clusters};
    case 1:
      return {clusters + 1, clusters};
    default:
      return {clusters, 0};
  }
}

}  // namespace

CategoryRoots AddCategoryRoots(ResultTree& tree) {
  CategoryRoots roots{};
  for (size_t root = 0; root < roots.size(); ++root) {
    roots[root] = tree.AddChild(nullptr);
    tree.NodeData(roots[root])->FileName = RootCaptions[root];
    tree.SetCheckType(roots[root], ctTriStateCheckBox);
  }
  return roots;
}

SyntheticFiles::SyntheticFiles() : random_(Seed) {
  for (size_t folder = 0; folder < FolderCount; ++folder) {
    folders_.push_back(FolderStems[folder % FolderStems.size()] + std::to_string(folder));
  }
}

ResultNode* SyntheticFiles::Add(ResultTree& tree, const CategoryRoots& roots) {
  const size_t root = std::uniform_int_distribution<size_t>(0, roots.size() - 1)(random_);
  ResultNode* node = tree.AddChild(roots[root]);
  TDeletedFileData& data = *tree.NodeData(node);
  const int serial = std::uniform_int_distribution<int>(0, LargestSerial)(random_);
  data.FileName = std::u16string(NameStems[root]) + QString::number(serial).toStdU16String() + Extensions[root];
  data.Extension = Extensions[root];
  std::uniform_real_distribution<double> day(FirstDay, LastDay);
  data.CreateTime = day(random_);
  data.ModifyTime = day(random_);
  data.FileSize = std::uniform_int_distribution<int64_t>(0, LargestFileSize)(random_);
  data.IsFileEntry = 1;
  tree.SetFolder(node, folders_[std::uniform_int_distribution<size_t>(0, folders_.size() - 1)(random_)]);
  tree.SetClusterUse(node, RandomClusterUse(data.FileSize, random_));
  tree.SetCheckType(node, ctTriStateCheckBox);
  nameBytes_ += (data.FileName.capacity() + data.Extension.capacity()) * sizeof(char16_t);
  return node;
}

}  // namespace salvoran::bench
