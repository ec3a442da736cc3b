#include "ui/preview/VolumeContentReader.h"

#include "engine/EngineError.h"
#include "recovery/MemorySink.h"
#include "support/Messages.h"
#include "ui/preview/PreviewWorker.h"

namespace salvoran {
namespace {

// Gives up at the next read once the preview is no longer wanted.
class CancellableVolume : public VolumeSource {
 public:
  CancellableVolume(VolumeSource& inner, const std::atomic<bool>& cancelled) : inner_(inner), cancelled_(cancelled) {}
  ReadOutcome ReadAt(uint64_t offset, std::span<std::byte> buffer) override {
    if (cancelled_) throw PreviewCancelled();
    return inner_.ReadAt(offset, buffer);
  }
  uint64_t Size() const override { return inner_.Size(); }
  void WillRead(uint64_t offset, uint64_t length) override { inner_.WillRead(offset, length); }

 private:
  VolumeSource& inner_;
  const std::atomic<bool>& cancelled_;
};

}  // namespace

QByteArray VolumeContentReader::operator()(const PreviewFile& file, uint64_t firstKept, uint64_t end,
                                           const std::atomic<bool>& cancelled) {
  CancellableVolume volume(VolumeOf(file.Volume.DrivePath), cancelled);
  MemorySink content(firstKept);
  ReadListedFileContent(volume, file.Volume, file.Content, content, end);
  const std::vector<std::byte>& bytes = content.Bytes();
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

VolumeSource& VolumeContentReader::VolumeOf(const VolumeLocation& location) {
  if (volume_ && location == location_) return *volume_;
  volume_.reset();
  OpenResult opened = OpenVolumeAt(location);
  if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToRecoverFailed, opened));
  volume_ = std::move(opened.Volume);
  location_ = location;
  return *volume_;
}

}  // namespace salvoran
