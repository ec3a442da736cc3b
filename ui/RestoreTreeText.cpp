#include "ui/RestoreTreeText.h"

#include <QDate>
#include <QTime>
#include <cmath>

#include "engine/DateTime.h"
#include "support/FormatFileSize.h"
#include "support/StringTable.h"
#include "ui/QtText.h"
#include "ui/model/NodeComparison.h"

namespace salvoran {
namespace {

// 1 January 0001 and 31 December 9999: the span a date-time value can name.
constexpr double FirstDateTime = -693593.0;
constexpr double LastDateTime = 2958466.0;

// The result tree holds local wall-clock times without a zone, so the zone a long time format
// asks for ("t") would be made up; it is left out with the blanks around it.
QString TimeFormatWithoutZone(const QString& format) {
  QString withoutZone;
  bool quoted = false;
  for (const QChar character : format) {
    if (character == u'\'') quoted = !quoted;
    if (!quoted && character == u't') continue;
    withoutZone.append(character);
  }
  return withoutZone.simplified();
}

QString SizeText(int64_t size, const QLocale& locale) {
  const NumberSeparators separators{locale.groupSeparator().toStdString(), locale.decimalPoint().toStdString()};
  return QString::fromStdString(FormatFileSize(size, separators));
}

QString RootText(const ResultTree& tree, const ResultNode& root) {
  return QString::fromStdU16String(root.Data().FileName) + u'(' + QString::number(tree.ShownChildCount(&root)) + u')';
}

QString StateText(const ResultNode& node) {
  const QString state = ToQString(ContentStateCaption(StateOf(node.Clusters())));
  switch (node.Data().Origin) {
    case FileOrigin::Found: return state + ToQString(strings::FoundStateSuffix);
    case FileOrigin::Carved: return state + ToQString(strings::CarvedStateSuffix);
    case FileOrigin::Mft: break;
  }
  return state;
}

}  // namespace

QString DateTimeText(double value, const QLocale& locale) {
  if (!std::isfinite(value) || value < FirstDateTime || value >= LastDateTime) return {};
  const CivilDateTime civil = DecodeDateTime(value);
  const QDate date(civil.Year, civil.Month, civil.Day);
  const QTime time(civil.Hour, civil.Minute, civil.Second);
  if (!date.isValid() || !time.isValid()) return {};
  QString text = locale.toString(date, QLocale::ShortFormat);
  if (civil.Hour != 0 || civil.Minute != 0 || civil.Second != 0) {
    text += u' ' + locale.toString(time, TimeFormatWithoutZone(locale.timeFormat(QLocale::LongFormat)));
  }
  return text;
}

QString RestoreTreeGetText(const ResultTree& tree, const ResultNode& node, int column, const QLocale& locale) {
  const TDeletedFileData& data = node.Data();
  if (data.IsFileEntry == 0) return column == rcFileName ? RootText(tree, node) : QString();
  switch (column) {
    case rcFileName:
      return QString::fromStdU16String(data.FileName);
    case rcCreateTime:
      return DateTimeText(data.CreateTime, locale);
    case rcModifyTime:
      return DateTimeText(data.ModifyTime, locale);
    case rcFileSize:
      return SizeText(data.FileSize, locale);
    case rcFolder:
      return QString::fromStdString(node.Folder().Text);
    case rcState:
      return StateText(node);
    default:
      return {};
  }
}

QString StateToolTip(const ClusterUse& use, const QLocale& locale) {
  if (use.Clusters == 0 && use.Overwritten == 0) return ToQString(strings::NoClustersToolTip);
  const QString overwritten = locale.toString(static_cast<qulonglong>(use.Overwritten));
  const QString clusters = locale.toString(static_cast<qulonglong>(use.Clusters));
  if (use.Unknown == 0) return ToQString(strings::ClustersInUseToolTip).arg(overwritten, clusters);
  return ToQString(strings::UnknownClustersToolTip)
      .arg(overwritten, clusters, locale.toString(static_cast<qulonglong>(use.Unknown)));
}

}  // namespace salvoran
