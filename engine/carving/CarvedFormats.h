#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "engine/ByteView.h"
#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// Bytes a file of a format starts with, at an offset from its start.
struct Signature {
  std::string_view Bytes;
  size_t Offset = 0;
};

// One carved format: how its files start, the most bytes one may have, and its unit.
struct CarvedFormat {
  std::string_view Name;                // the type as counted before the content says more ("zip", "mp4")
  std::array<Signature, 2> Signatures;  // all must match; an empty one matches anything
  uint64_t MaxBytes = 0;
  std::unique_ptr<FormatCheck> (*MakeCheck)() = nullptr;
};

// Every signature lies within this many bytes of a file's start.
inline constexpr size_t SignatureSpan = 16;

std::span<const CarvedFormat> CarvedFormats();
const CarvedFormat* FindCarvedFormat(std::string_view name);
// The format whose signatures the bytes at a possible start match (`head` holds SignatureSpan
// bytes, or fewer where the source ends).
const CarvedFormat* MatchCarvedFormat(ByteView head);

}  // namespace salvoran::carving
