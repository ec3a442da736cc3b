#include "ui/ProgramSettings.h"

namespace salvoran {

QSettings ProgramSettings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("corvath-salvoran"));
}

}  // namespace salvoran
