#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/ByteView.h"
#include "engine/DateTime.h"

namespace salvoran::carving {

enum class CheckOutcome { Open, Complete, Broken };

// A format unit: fed a candidate file's bytes in order, in blocks of any size, from its start
// signature, it says where the file ends (from the file's own structure) and whether that
// structure holds. Memory stays bounded whatever the file's size: a unit asks for small
// headers, lets the rest go by counted, or looks at bytes as they pass.
//
// A unit is written as a sequence of steps. Each hook gets the bytes its last step asked for and
// returns the next step; Position() is the offset in the file of the first byte handed over.
class FormatCheck {
 public:
  virtual ~FormatCheck() = default;

  // Hands over the next bytes; returns how many were taken (all of them while still open).
  size_t Feed(ByteView bytes);
  // No more bytes come (the source ended, a cluster in use follows, the size bound is reached).
  // A unit that had already found a possible end may take it now.
  void EndOfData();

  CheckOutcome Outcome() const { return outcome_; }
  uint64_t FileLength() const { return fileLength_; }  // when complete
  uint64_t BytesTaken() const { return position_ + gathered_.size(); }

  // The type as the content says it ("docx" for a ZIP holding a document); may change while open.
  virtual std::string_view Extension() const = 0;
  // A time the content carries (a photo's date), local time as written.
  virtual std::optional<CivilDateTime> ContentTime() const { return std::nullopt; }

  // The most bytes a Read step may ask for: a unit's memory stays within this.
  static constexpr size_t MaxReadBytes = 1u << 17;

 protected:
  struct Step {
    enum class Kind { Read, Pass, Scan, End, Broken };
    Kind What = Kind::Broken;
    uint64_t Count = 0;
  };
  // The next `count` bytes, whole, to OnRead (at most MaxReadBytes).
  static Step Read(size_t count) { return {Step::Kind::Read, count}; }
  // The next `count` bytes go by in pieces through OnPass, then AfterPass says what next.
  static Step Pass(uint64_t count) { return {Step::Kind::Pass, count}; }
  // Bytes as they come to OnScan, which says how many it used and what next.
  static Step Scan() { return {Step::Kind::Scan, 0}; }
  // The file is whole and `length` bytes long (possibly fewer than were handed over).
  static Step End(uint64_t length) { return {Step::Kind::End, length}; }
  static Step Broken() { return {Step::Kind::Broken, 0}; }

  virtual Step Start() = 0;
  virtual Step OnRead(ByteView bytes) = 0;
  virtual void OnPass(ByteView /*bytes*/) {}
  virtual Step AfterPass() { return Broken(); }
  virtual Step OnScan(ByteView /*bytes*/, size_t& /*used*/) { return Broken(); }
  // The data ended before the unit's last step was satisfied.
  virtual Step AtEndOfData() { return Broken(); }

  uint64_t Position() const { return position_; }

 private:
  // Takes steps that need no bytes, and End or Broken.
  void Settle();
  void Apply(Step next);

  Step step_;
  bool started_ = false;
  CheckOutcome outcome_ = CheckOutcome::Open;
  uint64_t position_ = 0;  // bytes the unit has been handed through its hooks
  uint64_t passLeft_ = 0;
  uint64_t fileLength_ = 0;
  std::vector<std::byte> gathered_;  // a Read step's bytes that came in pieces
};

}  // namespace salvoran::carving
