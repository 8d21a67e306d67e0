// LZW as used by the PDF LZWDecode filter (variable width 9-12, early change).
#pragma once

#include <cstdint>

namespace pdftext {

// Decodes src[0..n) into out[0..cap).  0 on success (end-of-data code, end
// of input, or an invalid code: the bytes decoded so far), -1 when the
// output block was too small.  *out_len (may be null) is set on success.
int lzw_decompress(const uint8_t* src, uint64_t n, uint8_t* out, uint64_t cap,
                   uint64_t* out_len);

}  // namespace pdftext
