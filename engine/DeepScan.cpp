#include "engine/DeepScan.h"

#include <algorithm>
#include <map>
#include <memory>

#include "engine/CarvingPass.h"
#include "engine/ClaimedSourceBytes.h"
#include "engine/EngineError.h"
#include "engine/FoundFileReader.h"
#include "engine/FoundMfts.h"
#include "engine/OpeningPhase.h"
#include "engine/RecordFinder.h"
#include "engine/SourceSurvey.h"
#include "engine/VolumeWindow.h"
#include "support/Messages.h"

namespace salvoran {
namespace {

// Lists the files of the records found so far: at a checkpoint those that nothing found later
// could improve, at the end all of them.
class FoundFileLister {
 public:
  FoundFileLister(VolumeSource& source, const RecordFinder& records, const BootSectorFinder& bootSectors,
                  FoundRecordContext context, ScanObserver& observer)
      : source_(source), records_(records), bootSectors_(bootSectors), context_(std::move(context)),
        observer_(observer) {}

  void List(bool final) {
    // Nothing found since the last look: the files waiting would wait again.
    const std::pair<size_t, size_t> found{records_.Records().size(), bootSectors_.SectorsFound()};
    if (!final && found == foundAtLastLook_) return;
    foundAtLastLook_ = found;
    context_.Volumes = bootSectors_.Volumes(source_);
    listed_.resize(records_.Records().size(), false);
    for (const FoundMft& mft : RebuildFoundMfts(records_.Records(), records_.Anchors(), context_)) {
      // Nothing new in this MFT since the last look: its waiting files would wait again.
      size_t& seen = membersSeen_[{mft.VolumeOffset, mft.Geometry->FileRecordSize}];
      if (!final && seen == mft.Records) continue;
      seen = mft.Records;
      FoundFileReader reader(source_, mft.Geometry);
      for (size_t index : mft.Files) {
        if (listed_[index]) continue;
        std::optional<FoundFileReader::Described> described = reader.Read(records_.Records()[index]);
        if (!described || (!final && !described->Complete)) continue;
        listed_[index] = true;
        ++listedFiles_;
        observer_.FileFound(std::move(described->File));
      }
    }
  }

  const std::vector<FoundVolume>& Volumes() const { return context_.Volumes; }
  uint64_t ListedFiles() const { return listedFiles_; }

 private:
  VolumeSource& source_;
  const RecordFinder& records_;
  const BootSectorFinder& bootSectors_;
  FoundRecordContext context_;
  ScanObserver& observer_;
  std::vector<bool> listed_;
  std::map<std::pair<uint64_t, uint32_t>, size_t> membersSeen_;
  std::pair<size_t, size_t> foundAtLastLook_;
  uint64_t listedFiles_ = 0;
};

// Passes everything on, noting whether the scan got as far as starting.
class StartNoting : public ScanObserver {
 public:
  explicit StartNoting(ScanObserver& inner) : inner_(inner) {}
  void ScanStarted(const VolumeGeometry& geometry) override {
    started_ = true;
    inner_.ScanStarted(geometry);
  }
  void Progress(int32_t recordIndex) override { inner_.Progress(recordIndex); }
  bool StopRequested() override { return inner_.StopRequested(); }
  void FileFound(FoundFile&& file) override { inner_.FileFound(std::move(file)); }
  bool Started() const { return started_; }

 private:
  ScanObserver& inner_;
  bool started_ = false;
};

// Passes every listed file on, keeping the clusters it claims so that no carved file repeats it.
class ClaimNoting : public ScanObserver {
 public:
  ClaimNoting(ScanObserver& inner, const VolumeGeometry& scanned, uint64_t scannedOffset, ClaimedSourceBytes& claimed)
      : inner_(inner), scanned_(scanned), scannedOffset_(scannedOffset), claimed_(claimed) {}
  void ScanStarted(const VolumeGeometry& geometry) override { inner_.ScanStarted(geometry); }
  void Progress(int32_t recordIndex) override { inner_.Progress(recordIndex); }
  bool StopRequested() override { return inner_.StopRequested(); }
  void FileFound(FoundFile&& file) override {
    const ClaimPlace place = file.FoundIn ? ClaimPlace{VolumeOffsetInSource(*file.FoundIn), file.FoundIn->BytesPerCluster}
                                          : ClaimPlace{scannedOffset_, scanned_.BytesPerCluster};
    claimed_.Add(file.Runs, place);
    file.Runs = {};
    inner_.FileFound(std::move(file));
  }
  void DeepPassStarted(uint64_t sourceBytes) override { inner_.DeepPassStarted(sourceBytes); }
  void DeepPassProgress(uint64_t bytesRead, uint64_t filesFound) override {
    inner_.DeepPassProgress(bytesRead, filesFound);
  }

 private:
  ScanObserver& inner_;
  const VolumeGeometry& scanned_;
  uint64_t scannedOffset_;
  ClaimedSourceBytes& claimed_;
};

// The scan of the MFT in use, whose failure the deep scan reports and goes on from.
void ScanMftInUse(VolumeSource& volume, VolumeGeometry& geometry, ScanObserver& observer, DeepScanSummary& summary) {
  StartNoting noting(observer);
  try {
    summary.Mft = ScanOpenVolume(volume, geometry, noting);
  } catch (const EngineError& error) {
    summary.MftFailure = error.what();
    const VolumeLocation location = geometry.DrivePath;
    geometry = VolumeGeometry();
    geometry.DrivePath = location;
    if (!noting.Started()) observer.ScanStarted(geometry);
  }
}

}  // namespace

DeepScanSummary DeepScanDrive(const VolumeLocation& location, VolumeGeometry& geometry, ScanObserver& observer,
                              std::span<SourceBlockConsumer* const> moreConsumers, uint64_t checkpointBytes) {
  DeepScanSummary summary;
  OpenResult opened = OpenSource(location.Path);
  if (!opened.Volume) throw EngineError(OpenFailureText(messages::OpenToScanFailed, opened));
  SerializedVolume source(*opened.Volume);
  const uint64_t volumeOffset = location.Partition ? location.Partition->Offset : 0;
  const uint64_t volumeSize = location.Partition ? location.Partition->Size : source.Size();
  VolumeWindow volume(source, volumeOffset, volumeSize);

  geometry.DrivePath = location;
  ClaimedSourceBytes claimed;
  ClaimNoting listed(observer, geometry, volumeOffset, claimed);
  ScanMftInUse(volume, geometry, listed, summary);
  if (summary.Mft.Stopped) {
    summary.Stopped = true;
    return summary;
  }

  SourceSurvey survey;
  SurveySource(source, location, summary.MftFailure.empty() ? &geometry : nullptr, survey);
  BootSectorFinder bootSectors;
  RecordFinder records(survey.InUse);
  const bool scanned = summary.MftFailure.empty();
  CarvingPass carving(scanned ? &volume : nullptr, scanned ? &geometry : nullptr, volumeOffset);
  std::vector<SourceBlockConsumer*> consumers{&bootSectors, &records, &carving};
  consumers.insert(consumers.end(), moreConsumers.begin(), moreConsumers.end());
  FoundFileLister lister(source, records, bootSectors, survey.Context, listed);

  observer.DeepPassStarted(source.Size());
  uint64_t nextCheckpoint = checkpointBytes;
  summary.Pass = ReadWholeSource(source, consumers, [&](uint64_t bytesRead) {
    if (bytesRead >= nextCheckpoint) {
      lister.List(false);
      nextCheckpoint = bytesRead + checkpointBytes;
    }
    observer.DeepPassProgress(bytesRead, std::max(lister.ListedFiles(), records.FileCandidates()));
    return !observer.StopRequested();
  });
  lister.List(true);
  summary.Volumes = lister.Volumes();
  summary.FoundRecords = records.Records().size();
  summary.FoundFiles = lister.ListedFiles();
  summary.CarvedFiles = carving.ListFiles(claimed, observer);
  summary.CarvingDropped = carving.Dropped();
  observer.DeepPassProgress(summary.Pass.BytesRead, lister.ListedFiles() + summary.CarvedFiles);
  summary.Stopped = summary.Pass.Stopped;
  return summary;
}

}  // namespace salvoran
