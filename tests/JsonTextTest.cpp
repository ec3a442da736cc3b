#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <random>

#include "cli/JsonText.h"

namespace salvoran::cli {
namespace {

std::string Quoted(std::string_view text) {
  std::string out;
  AppendJsonString(out, text);
  return out;
}

TEST(JsonText, EscapesQuotesBackslashesAndControlCharacters) {
  EXPECT_EQ(Quoted("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(Quoted(std::string("tab\there\nnul\0x\x1f", 15)), R"("tab\there\nnul\u0000x\u001f")");
  EXPECT_EQ(Quoted("R\xC3\xA9sum\xC3\xA9.txt"), "\"R\xC3\xA9sum\xC3\xA9.txt\"");
  EXPECT_EQ(Quoted(""), "\"\"");
}

TEST(JsonText, BytesThatAreNotUtf8BecomeReplacementCharacters) {
  EXPECT_EQ(Quoted("caf\xE9.img"), "\"caf\xEF\xBF\xBD.img\"");
  EXPECT_EQ(Quoted("\xC3\xA9\xFF\xED\xA0\x80"), "\"\xC3\xA9\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\"");
  EXPECT_TRUE(nlohmann::json::parse(Quoted("\xF8\x88\x80\x80\x80\xC0\xAF")).is_string());
}

TEST(JsonText, AnyNameReadsBackUnchanged) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> ascii(0, 127);
  for (int round = 0; round < 2000; ++round) {
    std::string name(static_cast<size_t>(round % 40), ' ');
    for (char& c : name) c = static_cast<char>(ascii(random));
    EXPECT_EQ(nlohmann::json::parse(Quoted(name)).get<std::string>(), name);
  }
}

}  // namespace
}  // namespace salvoran::cli
