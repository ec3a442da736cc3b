#pragma once

#include <string>

namespace salvoran::cli {

// Text for stdout, written out in pieces of about a mebibyte: a listing of a million files never
// sits in memory whole, and is not written a line at a time either.
class OutputBuffer {
 public:
  OutputBuffer() = default;
  OutputBuffer(const OutputBuffer&) = delete;
  OutputBuffer& operator=(const OutputBuffer&) = delete;

  std::string& Text() { return text_; }
  // Writes the text out once a piece is full.
  void FlushWhenFull();
  void Flush();

 private:
  std::string text_;
};

}  // namespace salvoran::cli
