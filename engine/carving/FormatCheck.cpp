#include "engine/carving/FormatCheck.h"

#include <algorithm>

namespace salvoran::carving {
namespace {

// A unit that keeps asking for nothing would never end; none needs this many in a row.
constexpr int MaxStepsWithoutBytes = 4096;

}  // namespace

void FormatCheck::Apply(Step next) {
  step_ = next;
  if (step_.What == Step::Kind::Pass) passLeft_ = step_.Count;
  if (step_.What == Step::Kind::Read && step_.Count > MaxReadBytes) step_ = Broken();
  if (step_.What == Step::Kind::End) {
    // An end past what the unit was handed would be a fault of the unit, not of the file.
    if (step_.Count > position_ || step_.Count == 0) {
      step_ = Broken();
    } else {
      fileLength_ = step_.Count;
      outcome_ = CheckOutcome::Complete;
    }
  }
  if (step_.What == Step::Kind::Broken) outcome_ = CheckOutcome::Broken;
}

void FormatCheck::Settle() {
  if (!started_) {
    started_ = true;
    Apply(Start());
  }
  for (int steps = 0; outcome_ == CheckOutcome::Open; ++steps) {
    if (steps == MaxStepsWithoutBytes) {
      Apply(Broken());
    } else if (step_.What == Step::Kind::Read && step_.Count == 0) {
      Apply(OnRead({}));
    } else if (step_.What == Step::Kind::Pass && passLeft_ == 0) {
      Apply(AfterPass());
    } else {
      return;
    }
  }
}

size_t FormatCheck::Feed(ByteView bytes) {
  size_t taken = 0;
  Settle();
  while (outcome_ == CheckOutcome::Open && taken < bytes.size()) {
    const ByteView rest = bytes.subspan(taken);
    switch (step_.What) {
      case Step::Kind::Read: {
        const size_t count = static_cast<size_t>(step_.Count);
        if (gathered_.empty() && rest.size() >= count) {
          taken += count;
          const Step next = OnRead(rest.first(count));
          position_ += count;
          Apply(next);
        } else {
          const size_t part = std::min(count - gathered_.size(), rest.size());
          gathered_.insert(gathered_.end(), rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(part));
          taken += part;
          if (gathered_.size() == count) {
            const Step next = OnRead(gathered_);
            position_ += count;
            gathered_.clear();
            Apply(next);
          }
        }
        break;
      }
      case Step::Kind::Pass: {
        const size_t part = static_cast<size_t>(std::min<uint64_t>(passLeft_, rest.size()));
        OnPass(rest.first(part));
        position_ += part;
        passLeft_ -= part;
        taken += part;
        break;
      }
      case Step::Kind::Scan: {
        size_t used = 0;
        const Step next = OnScan(rest, used);
        used = std::min(used, rest.size());
        position_ += used;
        taken += used;
        // A scan that neither uses bytes nor moves on would never end.
        Apply(used == 0 && next.What == Step::Kind::Scan ? Broken() : next);
        break;
      }
      case Step::Kind::End:
      case Step::Kind::Broken:
        break;
    }
    Settle();
  }
  return taken;
}

void FormatCheck::EndOfData() {
  Settle();
  if (outcome_ != CheckOutcome::Open) return;
  gathered_.clear();
  Apply(AtEndOfData());
  // Whatever the unit asks for now cannot come.
  if (outcome_ == CheckOutcome::Open) Apply(Broken());
}

}  // namespace salvoran::carving
