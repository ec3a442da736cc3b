#pragma once

#include <QSettings>

namespace salvoran {

// The few things the desktop program remembers between runs (the last restore folder, the
// preview pane's state), all in one file: ~/.config/corvath-salvoran.conf.
QSettings ProgramSettings();

}  // namespace salvoran
