#pragma once

#include <QLocale>
#include <QString>

#include "ui/model/ResultTree.h"

namespace salvoran {

// A result-tree date-time (days since 30 December 1899) as the list shows it: the locale's short
// date, then its long time unless the time is midnight to the second. Empty for a value that is
// no calendar date.
QString DateTimeText(double value, const QLocale& locale = QLocale());

// The text of one cell of the result list. A file shows its name, times, size, folder and state;
// a category root its caption with the number of its files the list shows, "Music Files(12)".
QString RestoreTreeGetText(const ResultTree& tree, const ResultNode& node, int column,
                           const QLocale& locale = QLocale());

// The numbers behind a file's state: how many of its clusters are in use by other files.
QString StateToolTip(const ClusterUse& use, const QLocale& locale = QLocale());

}  // namespace salvoran
