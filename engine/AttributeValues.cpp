#include "engine/AttributeValues.h"

#include <algorithm>

namespace salvoran {
namespace {

constexpr size_t NonResidentFlagField = 0x08;
constexpr size_t FlagsField = 0x0C;
constexpr size_t ResidentLengthField = 0x10;
constexpr size_t ResidentOffsetField = 0x14;
constexpr size_t FirstVcnField = 0x10;
constexpr size_t LastVcnField = 0x18;
constexpr size_t RunListOffsetField = 0x20;
constexpr size_t RealSizeField = 0x30;

// Offsets into the content of resident attributes written without an attribute name.
constexpr size_t CreationTimeField = 0x18;
constexpr size_t ModificationTimeField = 0x20;
constexpr size_t NameLengthField = 0x58;
constexpr size_t NameField = 0x5A;

}  // namespace

StandardTimes ReadStandardTimes(ByteView standardInformation) {
  return {ReadLE<uint64_t>(standardInformation, CreationTimeField),
          ReadLE<uint64_t>(standardInformation, ModificationTimeField)};
}

std::u16string ReadFileName(ByteView fileName) {
  const size_t length = ReadLE<uint8_t>(fileName, NameLengthField);
  std::u16string name;
  name.reserve(length);
  for (size_t i = 0; i < length; ++i) {
    const size_t offset = NameField + 2 * i;
    if (!RangeFits(fileName.size(), offset, 2)) break;
    name.push_back(static_cast<char16_t>(ReadLE<uint16_t>(fileName, offset)));
  }
  return name;
}

bool IsNonResident(ByteView attribute) { return ReadLE<uint8_t>(attribute, NonResidentFlagField) == 1; }

uint64_t ReadDataSize(ByteView data) {
  // Any flag other than 1 is taken as resident, as recovery takes it, and a resident length
  // is cut at the attribute's end as recovery cuts it, so the listed size and the restored
  // size never disagree.
  return IsNonResident(data) ? ReadLE<uint64_t>(data, RealSizeField) : ResidentContent(data).size();
}

ByteView ResidentContent(ByteView attribute) {
  const uint32_t length = ReadLE<uint32_t>(attribute, ResidentLengthField);
  const uint16_t offset = ReadLE<uint16_t>(attribute, ResidentOffsetField);
  if (offset >= attribute.size()) return {};
  return attribute.subspan(offset, std::min<size_t>(length, attribute.size() - offset));
}

ByteView RunListBytes(ByteView attribute) {
  const uint16_t offset = ReadLE<uint16_t>(attribute, RunListOffsetField);
  if (offset >= attribute.size()) return {};
  return attribute.subspan(offset);
}

NonResidentExtent ReadNonResidentExtent(ByteView attribute) {
  return {ReadLE<uint16_t>(attribute, FlagsField), ReadLE<uint64_t>(attribute, FirstVcnField),
          ReadLE<uint64_t>(attribute, LastVcnField)};
}

}  // namespace salvoran
