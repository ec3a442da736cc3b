#pragma once

#include <string>

namespace salvoran {

// The platform's text for an error code, without trailing blanks, line breaks and full stops.
std::string SystemErrorText(int errorCode);

}  // namespace salvoran
