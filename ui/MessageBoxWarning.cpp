#include "ui/MessageBoxWarning.h"

#include <QMessageBox>

#include "support/Diagnostics.h"
#include "support/StringTable.h"
#include "ui/QtText.h"

namespace salvoran {

void InstallMessageBoxWarning() {
  SetWarningHandler([](std::string_view text) {
    return static_cast<int>(QMessageBox::warning(nullptr, ToQString(strings::WarningCaption), ToQString(text)));
  });
}

}  // namespace salvoran
