#pragma once

#include <memory>

#include "engine/carving/FormatCheck.h"

namespace salvoran::carving {

// PDF: from "%PDF-" to the last "%%EOF" that follows a cross-reference (a startxref pointing at
// an xref table seen earlier, or an xref stream). Incremental updates after an "%%EOF" are
// followed while the next bytes read as PDF.
std::unique_ptr<FormatCheck> MakePdfCheck();

}  // namespace salvoran::carving
