#pragma once

#include <cstddef>
#include <span>

namespace salvoran {

enum class TextEncoding { Binary, Utf8, Utf16LittleEndian, Utf16BigEndian, SingleByte };

// How the start of a file reads as text: UTF-16 after its byte-order mark, well-formed UTF-8 with
// hardly a control character, or mostly printable bytes of a single-byte code page; Binary when
// none of these. cutShort says the bytes stop before the file does, so that a character cut in
// two at their end is no fault.
TextEncoding DetectTextEncoding(std::span<const std::byte> bytes, bool cutShort);

}  // namespace salvoran
