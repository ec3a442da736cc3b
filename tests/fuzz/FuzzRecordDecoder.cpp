// Feeds arbitrary bytes through everything that decodes a file record: fixups, the attribute
// walk, the value reads and the run list.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/Attribute.h"
#include "engine/AttributeValues.h"
#include "engine/EngineError.h"
#include "engine/FileRecord.h"
#include "engine/RunList.h"

using namespace salvoran;

namespace {

constexpr uint64_t FuzzVolumeClusters = 1u << 20;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::byte> record(reinterpret_cast<const std::byte*>(data),
                                reinterpret_cast<const std::byte*>(data + size));
  try {
    ApplyFixups(record);
  } catch (const EngineError&) {
    return 0;
  }
  (void)RecordFlags(record);
  (void)ReadStandardTimes(FindAttribute(record, StandardInformationType, false));
  (void)ReadFileName(FindAttribute(record, FileNameType, true));
  (void)ReadFileName(FindAttribute(record, FileNameType, false));
  const ByteView dataAttribute = FindAttribute(record, DataType, false);
  (void)ReadDataSize(dataAttribute);
  (void)ResidentContent(dataAttribute);
  (void)ReadNonResidentHeader(dataAttribute);
  (void)AttributeName(dataAttribute);
  try {
    (void)DecodeRunList(RunListBytes(dataAttribute), FuzzVolumeClusters);
  } catch (const EngineError&) {
  }
  return 0;
}
