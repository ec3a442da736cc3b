#pragma once
// The real files of every carved format that make_carving_samples.py writes at build time, and a
// way to run a format's unit over bytes in blocks of a given size.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/ByteView.h"
#include "engine/carving/CarvedFormats.h"

#ifndef SALVORAN_CARVING_SAMPLES
#error "SALVORAN_CARVING_SAMPLES is not defined: link the salvoran_test_images CMake target"
#endif

namespace salvoran::test {

using SampleBytes = std::vector<std::byte>;

inline std::filesystem::path CarvingSamplePath(const std::string& name) {
  return std::filesystem::path(SALVORAN_CARVING_SAMPLES) / name;
}

inline SampleBytes ReadCarvingSample(const std::string& name) {
  std::ifstream in(CarvingSamplePath(name), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  SampleBytes bytes(text.size());
  std::transform(text.begin(), text.end(), bytes.begin(), [](char c) { return static_cast<std::byte>(c); });
  return bytes;
}

// Sample names, sorted: "animation.gif", "archive.zip", ...
inline std::vector<std::string> CarvingSampleNames() {
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(SALVORAN_CARVING_SAMPLES))
    if (item.is_regular_file() && item.path().has_extension()) names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

inline std::string ExtensionOf(const std::string& name) { return name.substr(name.rfind('.') + 1); }

inline SampleBytes RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 generator(seed);
  SampleBytes bytes(size);
  for (std::byte& b : bytes) b = static_cast<std::byte>(generator() & 0xFF);
  return bytes;
}

struct CheckResult {
  carving::CheckOutcome Outcome = carving::CheckOutcome::Open;
  uint64_t Length = 0;
  std::string Extension;
  std::unique_ptr<carving::FormatCheck> Check;
};

// Runs the unit of the format whose signature the bytes match over them, `blockSize` bytes at a
// time, and ends the data after them.
inline CheckResult RunFormatCheck(ByteView bytes, size_t blockSize) {
  const carving::CarvedFormat* format =
      carving::MatchCarvedFormat(bytes.first(std::min(bytes.size(), carving::SignatureSpan)));
  CheckResult result;
  if (!format) return result;
  result.Check = format->MakeCheck();
  for (size_t at = 0; at < bytes.size() && result.Check->Outcome() == carving::CheckOutcome::Open; at += blockSize)
    result.Check->Feed(bytes.subspan(at, std::min(blockSize, bytes.size() - at)));
  result.Check->EndOfData();
  result.Outcome = result.Check->Outcome();
  result.Length = result.Check->FileLength();
  result.Extension = std::string(result.Check->Extension());
  return result;
}

}  // namespace salvoran::test
