// Takes a damage mask (8 bytes) and a whole volume, writes the volume as an uncompressed E01 in
// chunks of 8 KiB with libewf, flips a byte in each chunk the mask names, so that it fails its
// checksum, and opens it as the command line does. The scan and every restore of what it lists,
// failing at damage and keeping going past it, run into sinks that only count: what a restore
// that keeps going lists as damaged lies inside the file, in order, and it still gives the
// listed size.
#include <libewf.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/EwfImage.h"
#include "support/Diagnostics.h"
#include "tests/fuzz/ListingAndCounting.h"

using namespace salvoran;
using namespace salvoran::fuzz;

namespace {

constexpr size_t MaskBytes = 8;
constexpr uint32_t SectorBytes = 512;
constexpr uint32_t SectorsPerChunk = 16;
constexpr uint64_t ChunkBytes = SectorBytes * SectorsPerChunk;
constexpr size_t ChecksumBytes = 4;
constexpr size_t SectionDescriptorBytes = 76;
constexpr size_t FileHeaderBytes = 13;

// Writes media as an E01 at stem + ".E01"; false when libewf refuses.
bool WriteEwf(const std::string& stem, const std::vector<std::byte>& media) {
  libewf_handle_t* handle = nullptr;
  if (libewf_handle_initialize(&handle, nullptr) != 1) return false;
  char* names[] = {const_cast<char*>(stem.c_str())};
  bool written = libewf_handle_open(handle, names, 1, LIBEWF_OPEN_WRITE, nullptr) == 1 &&
                 libewf_handle_set_media_size(handle, media.size(), nullptr) == 1 &&
                 libewf_handle_set_format(handle, LIBEWF_FORMAT_ENCASE6, nullptr) == 1 &&
                 libewf_handle_set_sectors_per_chunk(handle, SectorsPerChunk, nullptr) == 1 &&
                 libewf_handle_set_compression_values(handle, LIBEWF_COMPRESSION_NONE, 0, nullptr) == 1 &&
                 libewf_handle_write_buffer(handle, media.data(), media.size(), nullptr) ==
                     static_cast<ssize_t>(media.size());
  written = libewf_handle_write_finalize(handle, nullptr) >= 0 && written;
  libewf_handle_close(handle, nullptr);
  libewf_handle_free(&handle, nullptr);
  return written;
}

// Where the chunks lie in the E01: after the descriptor of its "sectors" section, each followed
// by its checksum. 0 when there is none.
size_t FirstChunkOffset(const std::vector<char>& image) {
  for (size_t at = FileHeaderBytes; at + SectionDescriptorBytes <= image.size();) {
    if (std::strncmp(image.data() + at, "sectors", 16) == 0) return at + SectionDescriptorBytes;
    uint64_t next = 0;
    std::memcpy(&next, image.data() + at + 16, sizeof next);
    if (next <= at) return 0;
    at = static_cast<size_t>(next);
  }
  return 0;
}

bool Damage(const std::string& path, uint64_t mask, uint64_t mediaBytes) {
  std::vector<char> image;
  {
    std::ifstream in(path, std::ios::binary);
    image.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const size_t first = FirstChunkOffset(image);
  if (first == 0) return false;
  const uint64_t chunks = (mediaBytes + ChunkBytes - 1) / ChunkBytes;
  for (uint64_t chunk = 0; chunk < chunks && chunk < 64; ++chunk) {
    if ((mask >> chunk & 1) == 0) continue;
    const size_t at = first + chunk * (ChunkBytes + ChecksumBytes) + chunk * 37 % SectorBytes;
    if (at < image.size()) image[at] = static_cast<char>(~image[at]);
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(image.data(), static_cast<std::streamsize>(image.size()));
  return static_cast<bool>(out);
}

// The ranges lie inside the file, in order, none touching the next (they are merged).
void CheckRanges(const std::vector<ByteRange>& ranges, uint64_t size) {
  uint64_t end = 0;
  for (size_t i = 0; i < ranges.size(); ++i) {
    const ByteRange& range = ranges[i];
    if (range.Length == 0 || range.Offset < end || (i > 0 && range.Offset == end) || range.Offset > size ||
        range.Length > size - range.Offset) {
      std::abort();
    }
    end = range.Offset + range.Length;
  }
}

// The E01 each input is written to, one for the process, removed when it ends.
const std::string& ImageStem() {
  static const std::string stem =
      (std::filesystem::temp_directory_path() / ("salvoran-fuzz-ewf-" + std::to_string(::getpid()))).string();
  return stem;
}

void RemoveImage() { ::unlink((ImageStem() + ".E01").c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string stem = [] {
    SetWarningHandler([](std::string_view) { return 0; });
    // After the name is made, so that it is still there when the process ends.
    const std::string& made = ImageStem();
    std::atexit(RemoveImage);
    return made;
  }();
  if (size <= MaskBytes) return 0;
  uint64_t mask = 0;
  std::memcpy(&mask, data, sizeof mask);
  std::vector<std::byte> media(reinterpret_cast<const std::byte*>(data + MaskBytes),
                               reinterpret_cast<const std::byte*>(data + size));
  media.resize((media.size() + SectorBytes - 1) / SectorBytes * SectorBytes);
  const std::string path = stem + ".E01";
  ::unlink(path.c_str());
  if (!WriteEwf(stem, media) || !Damage(path, mask, media.size())) return 0;

  OpenResult opened = OpenEwfImage(path);
  if (!opened.Volume) return 0;
  VolumeSource& volume = *opened.Volume;
  VolumeGeometry geometry;
  ListingObserver observer;
  if (!ScanListing(volume, geometry, observer)) return 0;
  for (const FoundFile& file : observer.Files) {
    CountingSink failing;
    RestoreCounted(volume, geometry, file, failing);
    CountingSink kept;
    std::vector<ByteRange> unreadable;
    if (RestoreCounted(volume, geometry, file, kept, &unreadable)) CheckRanges(unreadable, kept.Length());
  }
  return 0;
}
