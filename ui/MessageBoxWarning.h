#pragma once

namespace salvoran {

// Makes ShowWarning show a message box titled "Warning" with an OK button.
void InstallMessageBoxWarning();

}  // namespace salvoran
