#pragma once

#include <QString>

namespace salvoran {

// Hands the address to the desktop's browser. Blank addresses and ones without "http://" (any
// letter case) are left alone.
void OpenWebPage(const QString& address);

}  // namespace salvoran
