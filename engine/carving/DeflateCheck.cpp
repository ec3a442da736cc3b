#include "engine/carving/DeflateCheck.h"

#include <zlib.h>

#include <array>
#include <limits>

namespace salvoran::carving {
namespace {

constexpr int RawDeflateWindowBits = -15;
constexpr size_t OutputChunk = 32u << 10;

}  // namespace

struct DeflateCheck::Stream {
  z_stream Z{};
  bool Open = false;
  std::array<Bytef, OutputChunk> Output{};
};

DeflateCheck::DeflateCheck() : stream_(std::make_unique<Stream>()) {
  stream_->Open = inflateInit2(&stream_->Z, RawDeflateWindowBits) == Z_OK;
  if (!stream_->Open) state_ = State::Broken;
}

DeflateCheck::~DeflateCheck() {
  if (stream_->Open) inflateEnd(&stream_->Z);
}

DeflateCheck::State DeflateCheck::Take(ByteView bytes, size_t& used) {
  used = 0;
  z_stream& z = stream_->Z;
  while (state_ == State::Going && used < bytes.size()) {
    const size_t part = std::min<size_t>(bytes.size() - used, std::numeric_limits<uInt>::max());
    z.next_in = const_cast<Bytef*>(reinterpret_cast<const Bytef*>(bytes.data() + used));
    z.avail_in = static_cast<uInt>(part);
    z.next_out = stream_->Output.data();
    z.avail_out = static_cast<uInt>(stream_->Output.size());
    const int result = inflate(&z, Z_NO_FLUSH);
    used += part - z.avail_in;
    const size_t produced = stream_->Output.size() - z.avail_out;
    crc_ = static_cast<uint32_t>(crc32(crc_, stream_->Output.data(), static_cast<uInt>(produced)));
    output_ += produced;
    if (result == Z_STREAM_END) {
      state_ = State::Ended;
    } else if (result != Z_OK && !(result == Z_BUF_ERROR && produced == 0 && z.avail_in == 0)) {
      state_ = State::Broken;
    }
  }
  return state_;
}

}  // namespace salvoran::carving
