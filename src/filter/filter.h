// Stream filter chain: the decoded bytes of one stream object.
#pragma once

#include "doc/doc.h"
#include "syntax/syntax.h"

namespace pdftext {

// Most bytes one stream's raw data or any one filter stage may hold.
constexpr uint64_t STREAM_LIMIT = 256u << 20;

// Decodes the stream of entry `e` through its /Filter list into `out`.
// 1 on success (out holds the bytes, NUL-terminated; caller frees it with
// buf_free), 0 on failure (out empty).  When the entry has no stream or its
// raw length is outside 1..256 MiB, returns 0 and leaves `out` untouched.
// With `work`, adds the bytes the decoders wrote, failed and retried
// attempts included, so that callers can bound the decoding one call does.
// `limit` lowers the bound of every stage's output below STREAM_LIMIT.
int decode_stream(const uint8_t* data, int size, const obj_entry& e, buf* out, uint64_t* work = nullptr,
                  uint64_t limit = STREAM_LIMIT);

// Runs one named filter over in[0..n).  On success returns a malloc'ed
// block in *res (owned by the caller) with its length; false on failure.
// An unknown name copies nothing and returns false with *known = false.
// Exposed for tests and fuzzing.
bool run_filter(const char* name, const uint8_t* in, uint64_t n, uint8_t** res,
                uint64_t* res_len, bool* known);

// Inflates into a fresh block, retrying with doubled capacity while the
// block is full, up to STREAM_LIMIT.  On success *res is malloc'ed.
bool flate_all(const uint8_t* in, uint64_t n, uint64_t first_cap, uint8_t** res,
               uint64_t* res_len);

}  // namespace pdftext
