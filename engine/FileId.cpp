#include "engine/FileId.h"

#include <charconv>

namespace salvoran {
namespace {

constexpr char RecordPrefix = 'r';
constexpr char FoundPrefix = 'f';
constexpr char CarvedPrefix = 'c';
constexpr char VolumeSeparator = '@';
constexpr char LengthSeparator = '-';
constexpr int Hexadecimal = 16;

std::string Hex(uint64_t value) {
  char text[17];
  const auto end = std::to_chars(text, text + sizeof text, value, Hexadecimal).ptr;
  return std::string(text, end);
}

// The whole text as a number of that base, or nothing.
template <typename Number>
std::optional<Number> WholeNumber(std::string_view text, int base) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string FileIdOf(const FoundFile& file) {
  if (file.Data.Origin == FileOrigin::Carved) {
    return CarvedPrefix + Hex(static_cast<uint64_t>(file.Data.RecordOffset)) + LengthSeparator +
           Hex(static_cast<uint64_t>(file.Data.FileSize));
  }
  if (file.Data.Origin == FileOrigin::Mft || !file.FoundIn) return RecordPrefix + std::to_string(file.RecordIndex);
  const uint64_t volumeOffset = VolumeOffsetInSource(*file.FoundIn);
  std::string id = FoundPrefix + Hex(volumeOffset + static_cast<uint64_t>(file.Data.RecordOffset));
  if (volumeOffset != 0) id += VolumeSeparator + Hex(volumeOffset);
  return id;
}

std::optional<FileId> ParseFileId(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const std::string_view rest = text.substr(1);
  FileId id;
  if (text.front() == RecordPrefix) {
    const std::optional<int64_t> record = WholeNumber<int64_t>(rest, 10);
    if (!record || *record < 0) return std::nullopt;
    id.Record = *record;
    return id;
  }
  if (text.front() == CarvedPrefix) {
    const size_t separator = rest.find(LengthSeparator);
    if (separator == std::string_view::npos) return std::nullopt;
    const std::optional<uint64_t> offset = WholeNumber<uint64_t>(rest.substr(0, separator), Hexadecimal);
    const std::optional<uint64_t> length = WholeNumber<uint64_t>(rest.substr(separator + 1), Hexadecimal);
    if (!offset || !length || *length == 0 || *length > UINT64_MAX - *offset) return std::nullopt;
    id.Origin = FileOrigin::Carved;
    id.RecordSourceOffset = *offset;
    id.Length = *length;
    return id;
  }
  if (text.front() != FoundPrefix) return std::nullopt;
  id.Origin = FileOrigin::Found;
  const size_t separator = rest.find(VolumeSeparator);
  const std::optional<uint64_t> record = WholeNumber<uint64_t>(rest.substr(0, separator), Hexadecimal);
  const std::optional<uint64_t> volume =
      separator == std::string_view::npos ? std::optional<uint64_t>(0) : WholeNumber<uint64_t>(rest.substr(separator + 1), Hexadecimal);
  if (!record || !volume || *volume > *record) return std::nullopt;
  id.RecordSourceOffset = *record;
  id.VolumeOffset = *volume;
  return id;
}

}  // namespace salvoran
