// Inflate: zlib-wrapped DEFLATE (RFC 1950 header, RFC 1951 blocks).
#pragma once

#include <cstdint>

namespace pdftext {

// Result codes of inflate_decompress.
enum {
    INF_OK = 0,      // final block decoded, or input ended / damaged data:
                     // *out_len bytes (the intact prefix) were delivered
    INF_FULL = -1,   // the output block was too small: retry larger
    INF_BAD = -2,    // refused: source under 2 bytes, capacity above 1 GiB,
                     // compression method not 8, or a preset dictionary
};

// Decodes src[0..src_len) into out[0..out_cap).  Allocates nothing.
// *out_len is 0 unless the result is INF_OK.
int inflate_decompress(const uint8_t* src, uint64_t src_len, uint8_t* out,
                       uint64_t out_cap, uint64_t* out_len);

}  // namespace pdftext
