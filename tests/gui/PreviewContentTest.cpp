// What the preview makes of content: every picture format Qt reads, text, binary, and content
// nobody vouches for (pictures claiming 60,000 × 60,000 pixels, truncated pictures, text without
// line breaks), as the pane gets it from its reading thread.
#include <QBuffer>
#include <QImageWriter>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <map>
#include <mutex>
#include <set>
#include <sys/resource.h>

#include "ui/preview/PictureDecoding.h"
#include "ui/preview/PreviewContent.h"
#include "ui/preview/PreviewPane.h"
#include "ui/preview/PreviewText.h"

namespace salvoran {
namespace {

constexpr QSize ViewSize(400, 300);
constexpr uint16_t Claimed = 60000;
constexpr qsizetype TextBytes = static_cast<qsizetype>(PreviewTextBytes);

// Serves one file from memory, noting the furthest byte asked for.
struct MemoryContent {
  QByteArray Bytes;
  uint64_t FurthestAsked = 0;

  PreviewRead Reader() {
    return [this](uint64_t firstKept, uint64_t end) {
      FurthestAsked = std::max(FurthestAsked, end);
      if (firstKept >= static_cast<uint64_t>(Bytes.size())) return QByteArray();
      return Bytes.mid(static_cast<qsizetype>(firstKept), static_cast<qsizetype>(end - firstKept));
    };
  }
};

QByteArray Written(const QImage& image, const char* format) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter(&buffer, format).write(image);
  return bytes;
}

QImage Drawing(QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::darkBlue);
  QPainter painter(&image);
  painter.setBrush(Qt::yellow);
  painter.drawEllipse(QRect(QPoint(), size).adjusted(size.width() / 4, size.height() / 4, 0, 0));
  return image;
}

void PutBigEndian32(QByteArray& bytes, qsizetype at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (24 - 8 * i));
}

uint32_t Crc32(const QByteArray& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (const char byte : bytes) {
    crc ^= static_cast<uint8_t>(byte);
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

// A real PNG whose header claims another size, its checksum made good again.
QByteArray PngClaiming(uint32_t width, uint32_t height) {
  QByteArray png = Written(Drawing({64, 64}), "png");
  constexpr qsizetype HeaderType = 12, HeaderData = 16, HeaderCrc = 29;
  PutBigEndian32(png, HeaderData, width);
  PutBigEndian32(png, HeaderData + 4, height);
  PutBigEndian32(png, HeaderCrc, Crc32(png.mid(HeaderType, 4 + 13)));
  return png;
}

// A real JPEG whose frame header claims another size.
QByteArray JpegClaiming(uint16_t width, uint16_t height) {
  QByteArray jpeg = Written(Drawing({64, 64}), "jpeg");
  const qsizetype frame = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
  jpeg[frame + 5] = static_cast<char>(height >> 8), jpeg[frame + 6] = static_cast<char>(height);
  jpeg[frame + 7] = static_cast<char>(width >> 8), jpeg[frame + 8] = static_cast<char>(width);
  return jpeg;
}

// A one-pixel GIF whose screen and image claim another size.
QByteArray GifClaiming(uint16_t width, uint16_t height) {
  QByteArray gif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00"
                 "\x02\x02\x44\x01\x00;",
                 35);
  for (const qsizetype at : {qsizetype{6}, qsizetype{24}}) {
    gif[at] = static_cast<char>(width), gif[at + 1] = static_cast<char>(width >> 8);
    gif[at + 2] = static_cast<char>(height), gif[at + 3] = static_cast<char>(height >> 8);
  }
  return gif;
}

QByteArray BmpClaiming(int32_t width, int32_t height) {
  QByteArray bmp = Written(Drawing({8, 8}), "bmp");
  for (int i = 0; i < 4; ++i) {
    bmp[18 + i] = static_cast<char>(width >> (8 * i));
    bmp[22 + i] = static_cast<char>(height >> (8 * i));
  }
  return bmp;
}

long PeakMemoryKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

class PreviewContentTest : public QObject {
  Q_OBJECT

 private slots:
  // By their signature, whatever their name says; TIFF and WebP where Qt's plugins are there.
  void showsEveryPictureFormatQtReads() {
    const QImage drawing = Drawing({300, 200});
    std::map<QByteArray, QByteArray> pictures = {{"gif", GifClaiming(1, 1)}};
    for (const char* format : {"png", "jpeg", "bmp", "tiff", "webp"}) {
      if (QImageWriter::supportedImageFormats().contains(format)) pictures[format] = Written(drawing, format);
    }
    QVERIFY(pictures.size() >= 4);
    for (const auto& [format, bytes] : pictures) {
      MemoryContent file{bytes};
      const PreviewContent content = PreparePreview(file.Reader(), u"picture.dat", ViewSize);
      QCOMPARE(content.Shown, PreviewContent::Kind::Picture);
      QCOMPARE(content.PictureFormat, QString::fromLatin1(format).toUpper());
      QCOMPARE(content.PixelSize, format == "gif" ? QSize(1, 1) : drawing.size());
      QVERIFY(content.FittedPicture.width() <= ViewSize.width() && content.FittedPicture.height() <= ViewSize.height());
    }
  }

  // Each is refused before decoding, or decoded within bounds; none crashes or takes gigabytes.
  void hostilePicturesAreRefusedOrDrawnWithinBounds() {
    const long peakBefore = PeakMemoryKiB();
    const QByteArray photo = Written(Drawing({1200, 900}), "jpeg");
    const QString tooLarge = QStringLiteral("The picture is too large to show.");
    const QString notRead = QStringLiteral("The picture cannot be shown: Unable to read image data");
    struct Hostile {
      const char16_t* Name;
      QByteArray Bytes;
      QSize Claimed;
      QString Note;  // empty when the picture is drawn
    };
    const std::vector<Hostile> pictures = {
        {u"huge.png", PngClaiming(Claimed, Claimed), {Claimed, Claimed}, tooLarge},
        {u"huge.gif", GifClaiming(Claimed, Claimed), {Claimed, Claimed}, tooLarge},
        {u"huge.jpg", JpegClaiming(Claimed, Claimed), {Claimed, Claimed}, tooLarge},
        // Qt's reader refuses the header itself.
        {u"huge.bmp", BmpClaiming(Claimed, Claimed), {}, notRead},
        // Decoded at a quarter of its size; what the data lacks comes out grey.
        {u"large.jpg", JpegClaiming(12000, 12000), {12000, 12000}, {}},
        {u"truncated.jpg", photo.left(photo.size() / 2), {1200, 900}, {}},
    };
    for (const Hostile& picture : pictures) {
      MemoryContent file{picture.Bytes};
      const PreviewContent content = PreparePreview(file.Reader(), picture.Name, ViewSize);
      const QString name = QString::fromStdU16String(picture.Name);
      QVERIFY2(content.PixelSize == picture.Claimed, qPrintable(name));
      QVERIFY2(content.Note == picture.Note, qPrintable(name + QLatin1String(": ") + content.Note));
      QCOMPARE(content.Shown, picture.Note.isEmpty() ? PreviewContent::Kind::Picture : PreviewContent::Kind::Bytes);
      QVERIFY(content.Picture.width() <= KeptPictureSide && content.Picture.height() <= KeptPictureSide);
    }
    QVERIFY2(PeakMemoryKiB() - peakBefore < 256 * 1024, "no decoder took more than a quarter of a gibibyte");
  }

  // A "picture" larger than any picture file is not read whole.
  void aHugePictureFileIsNotReadWhole() {
    MemoryContent file{BmpClaiming(100, 100) + QByteArray(static_cast<qsizetype>(MaxPictureFileBytes) + 4096, 'x')};
    const PreviewContent content = PreparePreview(file.Reader(), u"scan.bmp", ViewSize);
    QCOMPARE(content.Note, QStringLiteral("The picture file is too large to show."));
    QCOMPARE(content.PixelSize, QSize(100, 100));
    QCOMPARE(file.FurthestAsked, MaxPictureFileBytes + 1);
  }

  void readsOnlyWhatTextAndBinaryNeed() {
    MemoryContent binary{QByteArray(5 << 20, '\x01')};
    const PreviewContent bytes = PreparePreview(binary.Reader(), u"disk.vhd", ViewSize);
    QCOMPARE(bytes.Shown, PreviewContent::Kind::Bytes);
    QCOMPARE(bytes.Bytes.size(), qsizetype{PreviewPageBytes});
    QCOMPARE(binary.FurthestAsked, PreviewPageBytes);

    MemoryContent text{QByteArray(5 << 20, 'a')};
    const PreviewContent shown = PreparePreview(text.Reader(), u"notes", ViewSize);
    QCOMPARE(shown.Shown, PreviewContent::Kind::Text);
    QCOMPARE(text.FurthestAsked, PreviewTextBytes);
  }

  // One endless line is broken for display; a flood of empty lines is cut.
  void textIsLaidOutInBoundedLines() {
    MemoryContent endless{QByteArray(TextBytes, 'a')};
    const PreviewContent line = PreparePreview(endless.Reader(), u"line.txt", ViewSize);
    const QStringList lines = line.Text.split(u'\n');
    QCOMPARE(lines.size(), (TextBytes + MaxPreviewLineLength - 1) / MaxPreviewLineLength);
    QVERIFY(std::all_of(lines.begin(), lines.end(), [](const QString& l) { return l.size() <= MaxPreviewLineLength; }));
    QCOMPARE(lines.join(QString()).size(), TextBytes);

    MemoryContent flood{QByteArray(TextBytes, '\n')};
    const PreviewContent cut = PreparePreview(flood.Reader(), u"empty-lines.log", ViewSize);
    QVERIFY(cut.TextCut);
    QCOMPARE(cut.Text.count(u'\n'), MaxPreviewLines - 1);

    MemoryContent utf16{QByteArray("\xFF\xFEh\0i\0\r\0\n\0\x01\0", 12)};
    const PreviewContent wide = PreparePreview(utf16.Reader(), u"wide.dat", ViewSize);
    QCOMPARE(wide.Encoding, TextEncoding::Utf16LittleEndian);
    QCOMPARE(wide.Text, QStringLiteral("hi\n\uFFFD"));
  }

  // The pane takes hostile content from its reading thread one file after another, and the
  // window's thread never reads.
  void thePaneReadsOffTheWindowsThread() {
    std::vector<QByteArray> files = {PngClaiming(Claimed, Claimed), JpegClaiming(Claimed, Claimed),
                                     QByteArray(TextBytes, 'a'), QByteArray(TextBytes, '\n')};
    std::mutex threadsMutex;
    std::set<QThread*> readingThreads;
    PreviewPane pane(nullptr, [&](const PreviewFile& file, uint64_t firstKept, uint64_t end, const std::atomic<bool>&) {
      {
        const std::lock_guard lock(threadsMutex);
        readingThreads.insert(QThread::currentThread());
      }
      return files[static_cast<size_t>(file.Content.RecordOffset)].mid(static_cast<qsizetype>(firstKept),
                                                                        static_cast<qsizetype>(end - firstKept));
    });
    pane.resize(600, 400);
    pane.show();
    QSignalSpy shown(&pane, &PreviewPane::ContentShown);
    const std::vector<const char16_t*> names = {u"huge.png", u"huge.jpg", u"line.txt", u"lines.txt"};
    for (size_t i = 0; i < files.size(); ++i) {
      PreviewFile file;
      file.Name = names[i];
      file.Size = files[i].size();
      file.Content.RecordOffset = static_cast<int64_t>(i);
      pane.ShowFile(file);
      QTRY_COMPARE(shown.size(), static_cast<qsizetype>(i + 1));
    }
    const auto* text = pane.findChild<QPlainTextEdit*>("PreviewText");
    QCOMPARE(text->document()->blockCount(), MaxPreviewLines);
    QCOMPARE(pane.findChild<QLabel*>("PreviewContentInfo")->text(), QStringLiteral("Text, UTF-8: the first 10,000 lines"));
    QCOMPARE(readingThreads.size(), size_t{1});
    QVERIFY(!readingThreads.contains(QThread::currentThread()));
  }
};

}  // namespace salvoran

QTEST_MAIN(salvoran::PreviewContentTest)
#include "PreviewContentTest.moc"
