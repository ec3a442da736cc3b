#include "engine/carving/PdfCheck.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <deque>

#include "engine/carving/ByteOrder.h"

namespace salvoran::carving {
namespace {

// The first 'f' or 'F' in [from, end), or end: every keyword the scan looks for ends in one, so
// the bytes between are skipped at memchr's speed.
const uint8_t* NextF(const uint8_t* from, const uint8_t* end) {
  const auto* upper = static_cast<const uint8_t*>(std::memchr(from, 'F', static_cast<size_t>(end - from)));
  const uint8_t* limit = upper ? upper : end;
  const auto* lower = static_cast<const uint8_t*>(std::memchr(from, 'f', static_cast<size_t>(limit - from)));
  return lower ? lower : limit;
}

constexpr size_t HeaderBytes = 8;  // "%PDF-1.7"
constexpr size_t TailBytes = 16;   // more than the longest keyword
// What follows an "%%EOF" is read this far to tell an update of the file from other data.
constexpr size_t ProbeBytes = 40;
constexpr size_t KeptXrefTables = 64;
constexpr size_t MaxOffsetDigits = 12;

bool IsSpace(uint8_t c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t' || c == '\f' || c == 0; }
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// "xref" or "12 0 obj" after optional white space: the start of an incremental update.
bool ReadsAsUpdate(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(static_cast<uint8_t>(text[i])) && text[i] != 0) ++i;
  const std::string_view rest = text.substr(i);
  if (rest.starts_with("xref")) return true;
  size_t j = 0;
  for (int number = 0; number < 2; ++number) {
    const size_t digits = j;
    while (j < rest.size() && IsDigit(static_cast<uint8_t>(rest[j]))) ++j;
    if (j == digits || j >= rest.size() || rest[j] != ' ') return false;
    while (j < rest.size() && rest[j] == ' ') ++j;
  }
  return rest.substr(j).starts_with("obj");
}

class PdfCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override { return "pdf"; }

 private:
  Step Start() override { return Read(HeaderBytes); }

  Step OnRead(ByteView bytes) override {
    if (!StartsWith(bytes, "%PDF-") || !IsDigit(ByteAt(bytes, 5)) || ByteAt(bytes, 6) != '.' ||
        !IsDigit(ByteAt(bytes, 7)))
      return Broken();
    Remember(bytes);
    return Scan();
  }

  Step OnScan(ByteView bytes, size_t& used) override {
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    size_t i = 0;
    if (probing_) {
      const size_t part = std::min(ProbeBytes - probe_.size(), bytes.size());
      probe_.append(reinterpret_cast<const char*>(data), part);
      if (probe_.size() == ProbeBytes) {
        if (const auto end = DecideAfterEof()) {
          used = part;
          return *end;
        }
      }
    }
    for (; i < bytes.size(); ++i) {
      if (!readingOffset_) {
        i = static_cast<size_t>(NextF(data + i, data + bytes.size()) - data);
        if (i == bytes.size()) break;
      }
      const uint8_t c = data[i];
      if (readingOffset_) {
        if (IsDigit(c) && offsetDigits_ < MaxOffsetDigits) {
          startxrefValue_ = startxrefValue_ * 10 + (c - '0');
          ++offsetDigits_;
          continue;
        }
        if (offsetDigits_ == 0 && IsSpace(c)) continue;
        readingOffset_ = false;
        haveStartxref_ = offsetDigits_ > 0;
      }
      if ((c | 0x20) != 'f') continue;
      const uint64_t at = Position() + i;  // offset of this byte
      if (c == 'F' && KeywordEndsAt(bytes, i, "%%EOF")) {
        OnEof(at + 1);
        used = i + 1;
        Remember(bytes.first(used));
        return Scan();
      }
      if (c == 'F' && KeywordEndsAt(bytes, i, "%PDF")) {
        // Another file begins: this one ended at its last "%%EOF", if it had one.
        used = i + 1;
        return lastEnd_ ? End(lastEnd_) : Broken();
      }
      if (c == 'f' && KeywordEndsAt(bytes, i, "startxref")) {
        startxrefAt_ = at + 1 - 9;
        startxrefValue_ = 0;
        offsetDigits_ = 0;
        readingOffset_ = true;
        haveStartxref_ = false;
      } else if (c == 'f' && KeywordEndsAt(bytes, i, "/XRef")) {
        sawXrefStream_ = true;
      } else if (c == 'f' && KeywordEndsAt(bytes, i, "xref") && IsSpace(ByteBefore(bytes, i, 4))) {
        if (xrefTables_.size() == KeptXrefTables) xrefTables_.pop_front();
        xrefTables_.push_back(at + 1 - 4);
      }
    }
    used = bytes.size();
    Remember(bytes);
    return Scan();
  }

  Step AtEndOfData() override {
    if (probing_) {
      if (const auto end = DecideAfterEof()) return *end;
    }
    return lastEnd_ ? End(lastEnd_) : Broken();
  }

  void OnEof(uint64_t end) {
    eofEnd_ = end;
    eofValid_ =
        haveStartxref_ && startxrefValue_ < startxrefAt_ &&
        (sawXrefStream_ || std::find(xrefTables_.begin(), xrefTables_.end(), startxrefValue_) != xrefTables_.end());
    haveStartxref_ = false;
    readingOffset_ = false;
    probing_ = true;
    probe_.clear();
  }

  // With the bytes after an "%%EOF" (up to ProbeBytes of them): the file's end so far, and
  // whether to stop here. None while the file goes on.
  std::optional<Step> DecideAfterEof() {
    probing_ = false;
    size_t eol = 0;
    if (probe_.starts_with("\r\n")) {
      eol = 2;
    } else if (probe_.starts_with("\n") || probe_.starts_with("\r")) {
      eol = 1;
    }
    if (eofValid_) lastEnd_ = eofEnd_ + eol;
    if (probe_.size() == ProbeBytes && ReadsAsUpdate(std::string_view(probe_).substr(eol))) return std::nullopt;
    return lastEnd_ ? End(lastEnd_) : Broken();
  }

  // The byte `back` places before bytes[i], from the bytes remembered when it lies before them.
  uint8_t ByteBefore(ByteView bytes, size_t i, size_t back) const {
    if (back <= i) return std::to_integer<uint8_t>(bytes[i - back]);
    const size_t fromTail = back - i;
    return fromTail <= tail_.size() ? static_cast<uint8_t>(tail_[tail_.size() - fromTail]) : 0;
  }

  bool KeywordEndsAt(ByteView bytes, size_t i, std::string_view keyword) const {
    for (size_t k = 0; k < keyword.size(); ++k) {
      if (ByteBefore(bytes, i, k) != static_cast<uint8_t>(keyword[keyword.size() - 1 - k])) return false;
    }
    return true;
  }

  void Remember(ByteView bytes) {
    const ByteView last = bytes.last(std::min(bytes.size(), TailBytes));
    tail_.append(reinterpret_cast<const char*>(last.data()), last.size());
    if (tail_.size() > TailBytes) tail_.erase(0, tail_.size() - TailBytes);
  }

  std::string tail_;
  std::deque<uint64_t> xrefTables_;
  bool sawXrefStream_ = false;
  bool readingOffset_ = false;
  bool haveStartxref_ = false;
  uint64_t startxrefAt_ = 0;
  uint64_t startxrefValue_ = 0;
  size_t offsetDigits_ = 0;
  bool probing_ = false;
  bool eofValid_ = false;
  uint64_t eofEnd_ = 0;
  std::string probe_;
  uint64_t lastEnd_ = 0;
};

}  // namespace

std::unique_ptr<FormatCheck> MakePdfCheck() { return std::make_unique<PdfCheck>(); }

}  // namespace salvoran::carving
