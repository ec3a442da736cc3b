#include "engine/carving/ZipCheck.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/carving/ByteOrder.h"
#include "engine/carving/Crc32.h"
#include "engine/carving/DeflateCheck.h"

namespace salvoran::carving {
namespace {

constexpr uint32_t LocalSignature = 0x04034B50, CentralSignature = 0x02014B50, EndSignature = 0x06054B50;
constexpr uint32_t Zip64EndSignature = 0x06064B50, Zip64LocatorSignature = 0x07064B50;
constexpr uint32_t DescriptorSignature = 0x08074B50;
constexpr size_t SignatureBytes = 4;
constexpr size_t LocalHeaderBytes = 26, CentralHeaderBytes = 42, EndRecordBytes = 18;
constexpr size_t Zip64EndSizeBytes = 8, Zip64LocatorBytes = 16;
constexpr uint16_t EncryptedFlag = 0x0001, DescriptorFlag = 0x0008;
constexpr uint16_t Stored = 0, Deflated = 8;
constexpr uint16_t Zip64ExtraId = 0x0001;
constexpr uint32_t Zip64Marker = 0xFFFFFFFF;
constexpr uint16_t Zip64CountMarker = 0xFFFF;
constexpr uint64_t MaxMimetypeBytes = 128;

struct TypeHints {
  bool ContentTypes = false, Word = false, Sheets = false, Slides = false, JavaManifest = false;
  std::string Mimetype;
};

class ZipCheck final : public FormatCheck {
 public:
  std::string_view Extension() const override {
    if (hints_.Mimetype == "application/vnd.oasis.opendocument.text") return "odt";
    if (hints_.Mimetype == "application/vnd.oasis.opendocument.spreadsheet") return "ods";
    if (hints_.Mimetype == "application/vnd.oasis.opendocument.presentation") return "odp";
    if (hints_.Mimetype == "application/epub+zip") return "epub";
    if (hints_.ContentTypes && hints_.Word) return "docx";
    if (hints_.ContentTypes && hints_.Sheets) return "xlsx";
    if (hints_.ContentTypes && hints_.Slides) return "pptx";
    if (hints_.JavaManifest) return "jar";
    return "zip";
  }

 private:
  enum class Expect {
    Signature,
    LocalHeader,
    LocalNames,
    Mimetype,
    Descriptor,
    DescriptorSizes,
    CentralHeader,
    Zip64EndSize,
    EndRecord
  };
  enum class Passing { Skip, StoredData, Central, Comment };

  Step Next(Expect what, size_t count) {
    expect_ = what;
    return Read(count);
  }
  Step Skip(Passing what, uint64_t count) {
    passing_ = what;
    return Pass(count);
  }

  Step Start() override { return Next(Expect::Signature, SignatureBytes); }

  Step OnRead(ByteView bytes) override {
    switch (expect_) {
      case Expect::Signature:
        return OnSignature(ReadLE<uint32_t>(bytes, 0));
      case Expect::LocalHeader:
        return OnLocalHeader(bytes);
      case Expect::LocalNames:
        return OnLocalNames(bytes);
      case Expect::Mimetype:
        hints_.Mimetype.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        crc_ = UpdateCrc32(0, bytes);
        return EntryDataEnded(bytes.size(), bytes.size());
      case Expect::Descriptor:
        // The descriptor's signature is optional: without it these bytes are the CRC.
        if (ReadLE<uint32_t>(bytes, 0) == DescriptorSignature) return Next(Expect::DescriptorSizes, 4 + SizesBytes());
        if (ReadLE<uint32_t>(bytes, 0) != crc_) return Broken();
        return Next(Expect::DescriptorSizes, SizesBytes());
      case Expect::DescriptorSizes: {
        const size_t crcBytes = bytes.size() - SizesBytes();
        if (crcBytes == 4 && ReadLE<uint32_t>(bytes, 0) != crc_) return Broken();
        const size_t width = zip64_ ? 8 : 4;
        if (ReadLittleEndian(bytes, crcBytes, width) != compressed_ ||
            ReadLittleEndian(bytes, crcBytes + width, width) != uncompressed_)
          return Broken();
        return Next(Expect::Signature, SignatureBytes);
      }
      case Expect::CentralHeader:
        ++centralEntries_;
        return Skip(Passing::Central,
                    uint64_t{ReadLE<uint16_t>(bytes, 24)} + ReadLE<uint16_t>(bytes, 26) + ReadLE<uint16_t>(bytes, 28));
      case Expect::Zip64EndSize:
        sawZip64End_ = true;
        return Skip(Passing::Skip, ReadLE<uint64_t>(bytes, 0));
      case Expect::EndRecord:
        return OnEndRecord(bytes);
    }
    return Broken();
  }

  Step OnSignature(uint32_t signature) {
    const bool inCentral = centralStart_ != 0;
    switch (signature) {
      case LocalSignature:
        if (inCentral) return Broken();
        ++localEntries_;
        return Next(Expect::LocalHeader, LocalHeaderBytes);
      case CentralSignature:
        if (localEntries_ == 0 || centralEnd_ != 0) return Broken();
        if (!inCentral) centralStart_ = Position();
        return Next(Expect::CentralHeader, CentralHeaderBytes);
      case Zip64EndSignature:
        if (!inCentral || centralEnd_ != 0) return Broken();
        centralEnd_ = Position();
        return Next(Expect::Zip64EndSize, Zip64EndSizeBytes);
      case Zip64LocatorSignature:
        if (!sawZip64End_) return Broken();
        return Skip(Passing::Skip, Zip64LocatorBytes);
      case EndSignature:
        if (!inCentral) return Broken();
        if (centralEnd_ == 0) centralEnd_ = Position();
        return Next(Expect::EndRecord, EndRecordBytes);
      default:
        return Broken();
    }
  }

  Step OnLocalHeader(ByteView bytes) {
    flags_ = ReadLE<uint16_t>(bytes, 2);
    method_ = ReadLE<uint16_t>(bytes, 4);
    headerCrc_ = ReadLE<uint32_t>(bytes, 10);
    headerCompressed_ = ReadLE<uint32_t>(bytes, 14);
    headerUncompressed_ = ReadLE<uint32_t>(bytes, 18);
    nameBytes_ = ReadLE<uint16_t>(bytes, 22);
    return Next(Expect::LocalNames, nameBytes_ + size_t{ReadLE<uint16_t>(bytes, 24)});
  }

  Step OnLocalNames(ByteView bytes) {
    const std::string_view name(reinterpret_cast<const char*>(bytes.data()), nameBytes_);
    NoteName(name);
    zip64_ = false;
    ReadZip64Sizes(bytes.subspan(nameBytes_));
    crc_ = 0;
    const bool descriptor = (flags_ & DescriptorFlag) != 0;
    if ((flags_ & EncryptedFlag) || (method_ != Stored && method_ != Deflated)) {
      // Data that cannot be checked here is passed by its size, which must then be known.
      if (descriptor) return Broken();
      checkData_ = false;
      return Skip(Passing::StoredData, headerCompressed_);
    }
    checkData_ = true;
    if (method_ == Deflated) {
      deflate_ = std::make_unique<DeflateCheck>();
      deflated_ = 0;
      return Scan();
    }
    if (descriptor) return Broken();  // stored data of unknown size: its end cannot be told
    if (localEntries_ == 1 && name == "mimetype" && headerCompressed_ <= MaxMimetypeBytes)
      return Next(Expect::Mimetype, static_cast<size_t>(headerCompressed_));
    return Skip(Passing::StoredData, headerCompressed_);
  }

  void NoteName(std::string_view name) {
    hints_.ContentTypes = hints_.ContentTypes || name == "[Content_Types].xml";
    hints_.Word = hints_.Word || name.starts_with("word/");
    hints_.Sheets = hints_.Sheets || name.starts_with("xl/");
    hints_.Slides = hints_.Slides || name.starts_with("ppt/");
    hints_.JavaManifest = hints_.JavaManifest || name == "META-INF/MANIFEST.MF";
  }

  // Sizes of 0xFFFFFFFF are in the zip64 extra field.
  void ReadZip64Sizes(ByteView extra) {
    for (size_t at = 0; at + 4 <= extra.size();) {
      const uint16_t id = ReadLE<uint16_t>(extra, at);
      const uint16_t size = ReadLE<uint16_t>(extra, at + 2);
      if (id == Zip64ExtraId) {
        const ByteView field = extra.subspan(at + 4, std::min<size_t>(size, extra.size() - at - 4));
        size_t next = 0;
        zip64_ = true;
        if (headerUncompressed_ == Zip64Marker)
          headerUncompressed_ = ReadLittleEndian(field, std::exchange(next, 8), 8);
        if (headerCompressed_ == Zip64Marker) headerCompressed_ = ReadLittleEndian(field, next, 8);
        return;
      }
      at += 4 + size;
    }
  }

  size_t SizesBytes() const { return zip64_ ? 16 : 8; }

  void OnPass(ByteView bytes) override {
    if (passing_ == Passing::StoredData && checkData_) crc_ = UpdateCrc32(crc_, bytes);
  }

  Step AfterPass() override {
    switch (passing_) {
      case Passing::StoredData:
        return EntryDataEnded(headerCompressed_, headerCompressed_);
      case Passing::Comment:
        return End(Position());
      case Passing::Skip:
      case Passing::Central:
        return Next(Expect::Signature, SignatureBytes);
    }
    return Broken();
  }

  Step OnScan(ByteView bytes, size_t& used) override {
    const bool descriptor = (flags_ & DescriptorFlag) != 0;
    // With the size known, the stream must end exactly there.
    if (!descriptor)
      bytes = bytes.first(static_cast<size_t>(std::min<uint64_t>(bytes.size(), headerCompressed_ - deflated_)));
    const DeflateCheck::State state = deflate_->Take(bytes, used);
    deflated_ += used;
    if (state == DeflateCheck::State::Broken) return Broken();
    if (!descriptor && deflate_->OutputBytes() > headerUncompressed_) return Broken();
    if (state == DeflateCheck::State::Going) {
      if (!descriptor && deflated_ == headerCompressed_) return Broken();
      return Scan();
    }
    crc_ = deflate_->Crc();
    const uint64_t output = deflate_->OutputBytes();
    deflate_.reset();
    return EntryDataEnded(deflated_, output);
  }

  Step EntryDataEnded(uint64_t compressed, uint64_t uncompressed) {
    compressed_ = compressed;
    uncompressed_ = uncompressed;
    if (flags_ & DescriptorFlag) return Next(Expect::Descriptor, 4);
    if (checkData_ && (crc_ != headerCrc_ || compressed != headerCompressed_ || uncompressed != headerUncompressed_))
      return Broken();
    return Next(Expect::Signature, SignatureBytes);
  }

  Step OnEndRecord(ByteView bytes) {
    const uint16_t disk = ReadLE<uint16_t>(bytes, 0), centralDisk = ReadLE<uint16_t>(bytes, 2);
    const uint16_t entriesHere = ReadLE<uint16_t>(bytes, 4), entries = ReadLE<uint16_t>(bytes, 6);
    const uint32_t centralSize = ReadLE<uint32_t>(bytes, 8), centralOffset = ReadLE<uint32_t>(bytes, 12);
    if (centralEntries_ != localEntries_) return Broken();
    if (!sawZip64End_) {
      if (disk != 0 || centralDisk != 0 || entriesHere != entries || entries != (centralEntries_ & 0xFFFF) ||
          centralOffset != centralStart_ || centralSize != centralEnd_ - centralStart_)
        return Broken();
    } else if ((entries != Zip64CountMarker && entries != centralEntries_) ||
               (centralOffset != Zip64Marker && centralOffset != centralStart_)) {
      return Broken();
    }
    return Skip(Passing::Comment, ReadLE<uint16_t>(bytes, 16));
  }

  Expect expect_ = Expect::Signature;
  Passing passing_ = Passing::Skip;
  TypeHints hints_;
  uint16_t flags_ = 0, method_ = 0;
  size_t nameBytes_ = 0;
  uint32_t headerCrc_ = 0;
  uint64_t headerCompressed_ = 0, headerUncompressed_ = 0;
  bool zip64_ = false;
  bool checkData_ = false;
  uint32_t crc_ = 0;
  uint64_t compressed_ = 0, uncompressed_ = 0;
  std::unique_ptr<DeflateCheck> deflate_;
  uint64_t deflated_ = 0;
  uint64_t localEntries_ = 0, centralEntries_ = 0;
  uint64_t centralStart_ = 0, centralEnd_ = 0;
  bool sawZip64End_ = false;
};

}  // namespace

std::unique_ptr<FormatCheck> MakeZipCheck() { return std::make_unique<ZipCheck>(); }

}  // namespace salvoran::carving
