#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace salvoran {

// The code point of the well-formed UTF-8 sequence at index, moving index past it; nothing for a
// byte that starts no well-formed sequence (overlong forms and surrogates included), moving
// index past that one byte.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& index);

}  // namespace salvoran
