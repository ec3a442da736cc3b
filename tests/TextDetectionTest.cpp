#include "support/TextDetection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace salvoran {
namespace {

struct TextCase {
  std::string Name;
  std::string Bytes;
  bool CutShort;
  TextEncoding Expected;
};

std::string Repeated(const std::string& piece, size_t times) {
  std::string whole;
  for (size_t i = 0; i < times; ++i) whole += piece;
  return whole;
}

// Bytes of every value, as compressed or encrypted content has them.
std::string AllByteValues() {
  std::string bytes;
  for (int round = 0; round < 4; ++round) {
    for (int value = 0; value < 256; ++value) bytes.push_back(static_cast<char>((value * 37 + round) & 0xFF));
  }
  return bytes;
}

class TextDetectionTest : public testing::TestWithParam<TextCase> {};

TEST_P(TextDetectionTest, TellsTextFromBinary) {
  const TextCase& text = GetParam();
  const auto* data = reinterpret_cast<const std::byte*>(text.Bytes.data());
  EXPECT_EQ(DetectTextEncoding({data, text.Bytes.size()}, text.CutShort), text.Expected);
}

INSTANTIATE_TEST_SUITE_P(
    Samples, TextDetectionTest,
    testing::Values(
        TextCase{"Empty", "", false, TextEncoding::Utf8},
        TextCase{"Ascii", "Dear Ann,\r\n\tthe report is attached.\n", false, TextEncoding::Utf8},
        TextCase{"Utf8WithMark", "\xEF\xBB\xBFR\xC3\xA9sum\xC3\xA9 \xE6\x96\x87\xE6\xA1\xA3", false,
                 TextEncoding::Utf8},
        // A sample that ends inside a character is still text; a whole file that does is not UTF-8.
        TextCase{"Utf8CutBySample", "caf\xC3\xA9 cr\xC3", true, TextEncoding::Utf8},
        TextCase{"Utf8CutAtFileEnd", "caf\xC3\xA9 cr\xC3", false, TextEncoding::SingleByte},
        TextCase{"Utf16LittleEndian", std::string("\xFF\xFEh\0i\0", 6), false, TextEncoding::Utf16LittleEndian},
        TextCase{"Utf16BigEndian", std::string("\xFE\xFF\0h\0i", 6), false, TextEncoding::Utf16BigEndian},
        TextCase{"Latin1", "Ma\xEEtre na\xEFve caf\xE9 \xA9 2019\n", false, TextEncoding::SingleByte},
        TextCase{"OneEscapeInALongLog", "\x1B[1m" + Repeated("service started on port 80\n", 20), false,
                 TextEncoding::Utf8},
        TextCase{"NullByte", std::string("text\0text", 9), false, TextEncoding::Binary},
        TextCase{"ControlCharacters", Repeated("ab\x01\x02", 50), false, TextEncoding::Binary},
        TextCase{"OverlongUtf8", "\xC0\xAF\x01\x02\x03", false, TextEncoding::Binary},
        TextCase{"EveryByteValue", AllByteValues(), false, TextEncoding::Binary}),
    [](const testing::TestParamInfo<TextCase>& info) { return info.param.Name; });

}  // namespace
}  // namespace salvoran
