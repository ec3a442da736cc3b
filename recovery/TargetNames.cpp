#include "recovery/TargetNames.h"

#include "engine/FileNameText.h"

namespace salvoran {
namespace {

constexpr size_t MaxNameBytes = 255;
constexpr char Substitute = '_';
constexpr char Delete = 0x7F;  // a control character too
constexpr char UnnamedFile[] = "unnamed";

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

std::pair<std::string, std::string> SplitExtension(const std::string& name) {
  const size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) return {name, ""};
  return {name.substr(0, dot), name.substr(dot)};
}

// Keeps the extension when a long name must be shortened to fit with a suffix.
std::string FitName(const std::string& stem, const std::string& extension, const std::string& suffix) {
  const std::string tail = CutUtf8(extension, MaxNameBytes / 2) ;
  return CutUtf8(stem, MaxNameBytes - tail.size() - suffix.size()) + suffix + tail;
}

}  // namespace

std::string CutUtf8(std::string text, size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  size_t end = maxBytes;
  while (end > 0 && IsUtf8Continuation(text[end])) --end;
  text.resize(end);
  return text;
}

std::string SafeFileName(std::u16string_view name) { return SafeFileName(std::string_view(ToUtf8(name))); }

std::string SafeFileName(std::string_view name) {
  std::string safe(name);
  for (char& c : safe) {
    if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == Delete) c = Substitute;
  }
  if (safe.empty() || safe == "." || safe == "..") return UnnamedFile;
  const auto [stem, extension] = SplitExtension(safe);
  return FitName(stem, extension, "");
}

std::string NumberedName(const std::string& name, unsigned number) {
  const auto [stem, extension] = SplitExtension(name);
  return FitName(stem, extension, number == 1 ? "" : " (" + std::to_string(number) + ")");
}

std::string FolderNames::Unique(const std::string& name,
                                const std::function<bool(const std::string& candidate)>& exists) {
  unsigned& number = reached_.try_emplace(name, 1).first->second;
  for (;; ++number) {
    std::string candidate = NumberedName(name, number);
    if (given_.count(candidate) == 0 && !exists(candidate)) {
      given_.insert(candidate);
      return candidate;
    }
  }
}

}  // namespace salvoran
