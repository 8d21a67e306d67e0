// The bit-serial reference inflate decoder (tests/inflate_bitserial.cpp).
#pragma once

#include <cstdint>

namespace pdftext {
namespace bitserial {

// Same contract and results as pdftext::inflate_decompress.
int inflate_decompress(const uint8_t* src, uint64_t src_len, uint8_t* out,
                       uint64_t out_cap, uint64_t* out_len);

}  // namespace bitserial
}  // namespace pdftext
