#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace salvoran {

// The one kind of error raised inside the scan and recovery. what() is the text the user sees;
// the detail says where it happened, for diagnostics only.
class EngineError : public std::runtime_error {
 public:
  explicit EngineError(std::string_view message, std::string detail = {})
      : std::runtime_error(std::string(message)), detail_(std::move(detail)) {}

  const std::string& Detail() const { return detail_; }

 private:
  std::string detail_;
};

}  // namespace salvoran
