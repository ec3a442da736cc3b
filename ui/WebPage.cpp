#include "ui/WebPage.h"

#include <QDesktopServices>
#include <QUrl>

namespace salvoran {

void OpenWebPage(const QString& address) {
  const QString trimmed = address.trimmed();
  if (trimmed.isEmpty() || !trimmed.contains(QStringLiteral("http://"), Qt::CaseInsensitive)) return;
  QDesktopServices::openUrl(QUrl(trimmed));
}

}  // namespace salvoran
