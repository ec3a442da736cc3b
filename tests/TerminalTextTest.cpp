#include <gtest/gtest.h>

#include "cli/TerminalText.h"

namespace salvoran::cli {
namespace {

TEST(TerminalText, WritesOutWhatWouldActOnTheTerminal) {
  EXPECT_EQ(TerminalText("line\nnext\r\ttab"), "line\\nnext\\r\\ttab");
  EXPECT_EQ(TerminalText("\x1b[2J\x07\x7f"), "\\x1b[2J\\x07\\x7f");
  EXPECT_EQ(TerminalText(std::string("nul\0", 4)), "nul\\x00");
  EXPECT_EQ(TerminalText("csi\xC2\x9B" "31m"), "csi\\u009b31m");                    // C1 control
  EXPECT_EQ(TerminalText("gpj.\xE2\x80\xAE" "exe"), "gpj.\\u202eexe");              // right-to-left override
  EXPECT_EQ(TerminalText("bad\xFF\xC3(\xED\xA0\x80"), "bad\\xff\\xc3(\\xed\\xa0\\x80");  // not UTF-8, a surrogate
  EXPECT_EQ(TerminalText("a\\nb"), "a\\\\nb");
}

TEST(TerminalText, LeavesPrintableTextAlone) {
  for (const char* text : {"Report.docx", "Lebenslauf \xE2\x80\x93 J\xC3\xBCrgen.pdf",
                           "\xE6\x97\x85\xE8\xA1\x8C.jpg", "\xF0\x9F\x93\xB7 photo.jpg", ""}) {
    EXPECT_EQ(TerminalText(text), text);
  }
}

}  // namespace
}  // namespace salvoran::cli
