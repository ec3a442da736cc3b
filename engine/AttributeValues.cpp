#include "engine/AttributeValues.h"

#include <algorithm>

namespace salvoran {
namespace {

// Offsets into the content of resident attributes written without an attribute name.
constexpr size_t ParentReferenceField = 0x18;
constexpr size_t CreationTimeField = 0x18;
constexpr size_t ModificationTimeField = 0x20;
constexpr size_t MftModificationTimeField = 0x28;
constexpr size_t AccessTimeField = 0x30;
constexpr size_t NameLengthField = 0x58;
constexpr size_t NameField = 0x5A;
// Offset into the content of $STANDARD_INFORMATION.
constexpr size_t FileAttributeBitsField = 0x20;

}  // namespace

StandardTimes ReadStandardTimes(ByteView standardInformation) {
  return {ReadLE<uint64_t>(standardInformation, CreationTimeField),
          ReadLE<uint64_t>(standardInformation, ModificationTimeField),
          ReadLE<uint64_t>(standardInformation, MftModificationTimeField),
          ReadLE<uint64_t>(standardInformation, AccessTimeField)};
}

uint64_t ReadParentReference(ByteView fileName) { return ReadLE<uint64_t>(fileName, ParentReferenceField); }

std::u16string ReadFileName(ByteView fileName) {
  // The name stops where the attribute does.
  const size_t room = fileName.size() > NameField ? (fileName.size() - NameField) / 2 : 0;
  std::u16string name(std::min<size_t>(ReadLE<uint8_t>(fileName, NameLengthField), room), u'\0');
  for (size_t i = 0; i < name.size(); ++i) {
    name[i] = static_cast<char16_t>(ReadLE<uint16_t>(fileName, NameField + 2 * i));
  }
  return name;
}

uint64_t ReadDataSize(ByteView data) {
  // Any flag other than 1 is taken as resident, as recovery takes it, and a resident length
  // is cut at the attribute's end as recovery cuts it, so the listed size and the restored
  // size never disagree.
  return IsNonResident(data) ? ReadNonResidentHeader(data).DataSize : ResidentContent(data).size();
}

uint32_t ReadFileAttributeBits(ByteView standardInformation) {
  return ReadLE<uint32_t>(ResidentContent(standardInformation), FileAttributeBitsField);
}

}  // namespace salvoran
