#include "engine/carving/CarvedFormats.h"

#include <algorithm>

#include "engine/carving/BmpCheck.h"
#include "engine/carving/ByteOrder.h"
#include "engine/carving/GifCheck.h"
#include "engine/carving/JpegCheck.h"
#include "engine/carving/Mp3Check.h"
#include "engine/carving/Mp4Check.h"
#include "engine/carving/PdfCheck.h"
#include "engine/carving/PngCheck.h"
#include "engine/carving/RiffCheck.h"
#include "engine/carving/ZipCheck.h"

namespace salvoran::carving {
namespace {

using namespace std::string_view_literals;

constexpr uint64_t MiB = 1u << 20;
constexpr uint64_t GiB = 1u << 30;

// The size bounds are generous for each kind of file: a candidate without an end within its
// bound is dropped rather than followed across the disk.
const CarvedFormat Formats[] = {
    {"jpg", {{{"\xFF\xD8\xFF"sv, 0}, {}}}, 256 * MiB, MakeJpegCheck},
    {"png", {{{"\x89PNG\r\n\x1A\n"sv, 0}, {}}}, 256 * MiB, MakePngCheck},
    {"gif", {{{"GIF8"sv, 0}, {}}}, 64 * MiB, MakeGifCheck},
    {"bmp", {{{"BM"sv, 0}, {}}}, 256 * MiB, MakeBmpCheck},
    {"pdf", {{{"%PDF-"sv, 0}, {}}}, 512 * MiB, MakePdfCheck},
    {"zip", {{{"PK\x03\x04"sv, 0}, {}}}, 4 * GiB, MakeZipCheck},
    {"mp3", {{{"ID3"sv, 0}, {}}}, 512 * MiB, MakeMp3Check},
    {"wav", {{{"RIFF"sv, 0}, {"WAVE"sv, 8}}}, 4 * GiB + 8, MakeWavCheck},
    {"avi", {{{"RIFF"sv, 0}, {"AVI "sv, 8}}}, 16 * GiB, MakeAviCheck},
    {"mp4", {{{"ftyp"sv, 4}, {}}}, 64 * GiB, MakeMp4Check},
};

bool Matches(ByteView head, const Signature& signature) {
  return signature.Bytes.empty() ||
         (signature.Offset <= head.size() && StartsWith(head.subspan(signature.Offset), signature.Bytes));
}

}  // namespace

std::span<const CarvedFormat> CarvedFormats() { return Formats; }

const CarvedFormat* FindCarvedFormat(std::string_view name) {
  const auto found = std::find_if(std::begin(Formats), std::end(Formats),
                                  [&](const CarvedFormat& format) { return format.Name == name; });
  return found == std::end(Formats) ? nullptr : &*found;
}

const CarvedFormat* MatchCarvedFormat(ByteView head) {
  for (const CarvedFormat& format : Formats) {
    if (std::all_of(format.Signatures.begin(), format.Signatures.end(),
                    [&](const Signature& signature) { return Matches(head, signature); }))
      return &format;
  }
  return nullptr;
}

}  // namespace salvoran::carving
