#include "ui/model/NodeComparison.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "engine/FileNameText.h"

namespace salvoran {
namespace {

constexpr char16_t FirstNonAscii = 0x80;
constexpr int SignBit = 63;
constexpr int BitsPerByte = 8;
constexpr int RankBytes = 4;
// Rounding a difference of at most this many days to the nearest whole day (halves to even) gives 0.
constexpr double HalfDay = 0.5;

size_t Utf8Length(std::u16string_view text) {
  size_t length = 0;
  Utf8Sequence bytes;
  for (size_t index = 0; index < text.size();) length += EncodeUtf8(NextCodePoint(text, index), bytes);
  return length;
}

int FoldAscii(uint32_t byte) { return static_cast<int>(byte >= 'a' && byte <= 'z' ? byte - ('a' - 'A') : byte); }

void AppendFoldedUtf8(std::u16string_view text, std::string& out) {
  for (size_t index = 0; index < text.size();) {
    if (text[index] < FirstNonAscii) {
      out.push_back(static_cast<char>(FoldAscii(text[index++])));
      continue;
    }
    Utf8Sequence bytes;
    const size_t length = EncodeUtf8(NextCodePoint(text, index), bytes);
    out.append(reinterpret_cast<const char*>(bytes.data()), length);
  }
}

void AppendFoldedUtf8(std::string_view text, std::string& out) {
  for (const char byte : text) out.push_back(static_cast<char>(FoldAscii(static_cast<unsigned char>(byte))));
}

void AppendBigEndian(uint64_t value, int bytes, std::string& out) {
  for (int shift = (bytes - 1) * BitsPerByte; shift >= 0; shift -= BitsPerByte) {
    out.push_back(static_cast<char>(static_cast<uint8_t>(value >> shift)));
  }
}

// Flipping the sign bit puts negative sizes first when the bytes are compared unsigned.
void AppendSize(int64_t size, std::string& out) {
  AppendBigEndian(static_cast<uint64_t>(size) ^ (uint64_t{1} << SignBit), sizeof size, out);
}

// Each folder's place among all of the tree's folders, equal texts (as compared) sharing one.
std::vector<uint32_t> FolderRanks(const ResultTree& tree) {
  const std::deque<TreeFolder>& folders = tree.Folders();
  std::vector<uint32_t> order(folders.size());
  std::iota(order.begin(), order.end(), 0U);
  std::sort(order.begin(), order.end(),
            [&](uint32_t a, uint32_t b) { return CompareFolderTexts(folders[a].Text, folders[b].Text) < 0; });
  std::vector<uint32_t> ranks(folders.size());
  uint32_t rank = 0;
  for (size_t place = 0; place < order.size(); ++place) {
    if (place > 0 && CompareFolderTexts(folders[order[place - 1]].Text, folders[order[place]].Text) != 0) ++rank;
    ranks[order[place]] = rank;
  }
  return ranks;
}

int ClampToInt(long long value) { return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX)); }

}  // namespace

// Works on the UTF-16 text itself, converting a character only where one is not ASCII: sorting
// a million names must not convert each name at every comparison.
int CompareFileNames(std::u16string_view a, std::u16string_view b) {
  size_t indexA = 0;
  size_t indexB = 0;
  while (indexA < a.size() && indexB < b.size()) {
    if (a[indexA] < FirstNonAscii && b[indexB] < FirstNonAscii) {
      const int difference = FoldAscii(a[indexA++]) - FoldAscii(b[indexB++]);
      if (difference != 0) return difference;
      continue;
    }
    const char32_t codeA = NextCodePoint(a, indexA);
    const char32_t codeB = NextCodePoint(b, indexB);
    if (codeA == codeB) continue;
    // UTF-8 is prefix-free, so two different characters differ in a byte both of them have; the
    // non-ASCII bytes are never folded.
    Utf8Sequence bytesA, bytesB;
    EncodeUtf8(codeA, bytesA);
    EncodeUtf8(codeB, bytesB);
    const auto differing = std::mismatch(bytesA.begin(), bytesA.end(), bytesB.begin());
    return FoldAscii(*differing.first) - FoldAscii(*differing.second);
  }
  return ClampToInt(static_cast<long long>(Utf8Length(a.substr(indexA))) -
                    static_cast<long long>(Utf8Length(b.substr(indexB))));
}

int CompareFolderTexts(std::string_view a, std::string_view b) {
  const auto differing = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [](char left, char right) {
    return FoldAscii(static_cast<unsigned char>(left)) == FoldAscii(static_cast<unsigned char>(right));
  });
  if (differing.first != a.end() && differing.second != b.end()) {
    return FoldAscii(static_cast<unsigned char>(*differing.first)) -
           FoldAscii(static_cast<unsigned char>(*differing.second));
  }
  return ClampToInt(static_cast<long long>(a.size()) - static_cast<long long>(b.size()));
}

int CompareDays(double a, double b) {
  // nearbyint rounds halves to even in the default rounding mode, which nothing here changes.
  const double days = std::nearbyint(a - b);
  if (std::isnan(days)) return 0;
  return static_cast<int>(std::clamp<double>(days, INT_MIN, INT_MAX));
}

int RestoreTreeCompareNodes(const ResultNode& a, const ResultNode& b, int column) {
  const TDeletedFileData& dataA = a.Data();
  const TDeletedFileData& dataB = b.Data();
  switch (column) {
    case rcFileName:
      return CompareFileNames(dataA.FileName, dataB.FileName);
    case rcCreateTime:
      return CompareDays(dataA.CreateTime, dataB.CreateTime);
    case rcModifyTime:
      return CompareDays(dataA.ModifyTime, dataB.ModifyTime);
    case rcFileSize:
      return (dataA.FileSize > dataB.FileSize) - (dataA.FileSize < dataB.FileSize);
    case rcFolder:
      return &a.Folder() == &b.Folder() ? 0 : CompareFolderTexts(a.Folder().Text, b.Folder().Text);
    case rcState:
      return static_cast<int>(StateOf(a.Clusters())) - static_cast<int>(StateOf(b.Clusters()));
    default:
      return 0;
  }
}

bool RestoreTreeSortKey(const ResultNode& node, int column, std::string& key) {
  switch (column) {
    case rcFileName:
      AppendFoldedUtf8(node.Data().FileName, key);
      return true;
    case rcFileSize:
      AppendSize(node.Data().FileSize, key);
      return true;
    case rcFolder:
      AppendFoldedUtf8(node.Folder().Text, key);
      return true;
    case rcState:
      key.push_back(static_cast<char>(StateOf(node.Clusters())));
      return true;
    case rcCreateTime:
    case rcModifyTime:
      return false;
    default:
      return true;  // every node compares equal
  }
}

ResultTree::NodeSortKeys RestoreTreeSortKeyFor(const ResultTree& tree, int column) {
  switch (column) {
    case rcCreateTime:
      return ResultTree::NodeSortNumber{[](const ResultNode& node) { return node.Data().CreateTime; }, HalfDay};
    case rcModifyTime:
      return ResultTree::NodeSortNumber{[](const ResultNode& node) { return node.Data().ModifyTime; }, HalfDay};
    case rcFolder:
      break;
    default:
      return RestoreTreeSortKey;
  }
  auto ranks = std::make_shared<const std::vector<uint32_t>>(FolderRanks(tree));
  return [ranks](const ResultNode& node, int, std::string& key) {
    AppendBigEndian((*ranks)[node.Folder().Id], RankBytes, key);
    return true;
  };
}

}  // namespace salvoran
