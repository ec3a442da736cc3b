#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace salvoran {

// The extension of a name, full stop included: from the last full stop, unless a backslash or
// a colon comes after it; empty otherwise. Letter case is kept.
std::u16string_view ExtensionOf(std::u16string_view name);

// "a" to "z" turned into "A" to "Z"; no other character changes.
std::u16string UpperAscii(std::u16string_view text);

// UTF-8 for output; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::u16string_view text);

// The code point at index, U+FFFD for an unpaired surrogate; index moves past it.
char32_t NextCodePoint(std::u16string_view text, size_t& index);

using Utf8Sequence = std::array<uint8_t, 4>;
// The UTF-8 bytes of one code point; answers how many of them are used.
size_t EncodeUtf8(char32_t code, Utf8Sequence& bytes);

}  // namespace salvoran
