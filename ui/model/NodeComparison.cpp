#include "ui/model/NodeComparison.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/FileNameText.h"

namespace salvoran {
namespace {

constexpr char16_t FirstNonAscii = 0x80;
constexpr int SignBit = 63;
constexpr int BitsPerByte = 8;

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

// Flipping the sign bit puts negative sizes first when the bytes are compared unsigned.
void AppendSize(int64_t size, std::string& out) {
  const uint64_t ordered = static_cast<uint64_t>(size) ^ (uint64_t{1} << SignBit);
  for (int shift = SignBit + 1 - BitsPerByte; shift >= 0; shift -= BitsPerByte) {
    out.push_back(static_cast<char>(static_cast<uint8_t>(ordered >> shift)));
  }
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
    case rcCreateTime:
    case rcModifyTime:
      return false;
    default:
      return true;  // every node compares equal
  }
}

}  // namespace salvoran
