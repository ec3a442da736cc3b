#pragma once

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

}  // namespace salvoran
