#include "ui/preview/PreviewText.h"

#include <QStringDecoder>
#include <array>

namespace salvoran {
namespace {

constexpr std::array<QStringView, 34> TextExtensions = {
    u"txt", u"log", u"csv",  u"tsv", u"md",  u"ini", u"cfg", u"conf", u"json", u"xml", u"html", u"htm",
    u"css", u"js",  u"ts",   u"c",   u"cpp", u"h",   u"hpp", u"py",   u"sh",   u"bat", u"ps1",  u"sql",
    u"yaml", u"yml", u"srt", u"rtf", u"tex", u"java", u"cs", u"php", u"rb",   u"nfo"};
constexpr char16_t Replacement = 0xFFFD;

QString Decode(const QByteArray& bytes, TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf16LittleEndian:
      return QStringDecoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless).decode(bytes);
    case TextEncoding::Utf16BigEndian:
      return QStringDecoder(QStringDecoder::Utf16BE, QStringDecoder::Flag::Stateless).decode(bytes);
    case TextEncoding::SingleByte:
      return QString::fromLatin1(bytes);
    case TextEncoding::Utf8:
    case TextEncoding::Binary:
      break;
  }
  return QString::fromUtf8(bytes);
}

}  // namespace

bool IsTextExtension(QStringView extension) {
  for (const QStringView text : TextExtensions) {
    if (extension.compare(text, Qt::CaseInsensitive) == 0) return true;
  }
  return false;
}

QString EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf16LittleEndian: return QStringLiteral("UTF-16 little-endian");
    case TextEncoding::Utf16BigEndian: return QStringLiteral("UTF-16 big-endian");
    case TextEncoding::SingleByte: return QStringLiteral("Latin-1");
    case TextEncoding::Utf8:
    case TextEncoding::Binary: break;
  }
  return QStringLiteral("UTF-8");
}

QString DisplayText(const QByteArray& bytes, TextEncoding encoding, bool& cut) {
  const QString text = Decode(bytes, encoding);
  QString shown;
  shown.reserve(text.size() + text.size() / MaxPreviewLineLength);
  qsizetype lineLength = 0;
  qsizetype lines = 1;
  cut = false;
  for (qsizetype i = 0; i < text.size(); ++i) {
    QChar character = text[i];
    if (i == 0 && character == QChar::ByteOrderMark) continue;
    if (character == u'\r') {
      if (i + 1 < text.size() && text[i + 1] == u'\n') continue;
      character = u'\n';
    }
    const bool lineEnd = character == u'\n';
    const bool lineFull = !lineEnd && lineLength >= MaxPreviewLineLength && !character.isLowSurrogate();
    if (lineEnd || lineFull) {
      if (lines == MaxPreviewLines) {
        cut = true;
        break;
      }
      ++lines;
      lineLength = 0;
      if (lineFull) shown.append(u'\n');
    }
    if (!lineEnd) {
      ++lineLength;
      if (character.unicode() < 0x20 && character != u'\t') character = QChar(Replacement);
    }
    shown.append(character);
  }
  return shown;
}

}  // namespace salvoran
