// Page text extraction.
#pragma once

#include "doc/doc.h"

namespace pdftext {

// Text of page `index` (0-based) as a malloc'ed NUL-terminated string the
// caller frees; null only when memory runs out.
char* extract_page(const doc* d, int index);

}  // namespace pdftext
