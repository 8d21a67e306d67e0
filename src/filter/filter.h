// Stream filter chain: the decoded bytes of one stream object.
#pragma once

#include "doc/doc.h"
#include "syntax/syntax.h"

namespace pdftext {

// Most bytes one stream's raw data or any one filter stage may hold.
constexpr uint64_t STREAM_LIMIT = 256u << 20;

// The work one export call may spend on a document: bytes written by the
// stream decoders (retries and failed attempts included) for page content,
// forms and font CMaps, bytes of resource dictionaries scanned, and bytes
// of page text made.  Pages that share a decompression bomb, a huge
// dictionary or a text bomb would otherwise cost their count times its
// size.  Once spent, no more streams are
// decoded and no more resources read, so later pages of the call come out
// empty; real documents spend a small fraction of it.
struct work_budget {
    uint64_t spent = 0;
    uint64_t limit;
    // 4 GiB (twice what one page's content may cost) plus 16 bytes per
    // byte of the file.
    explicit work_budget(const doc& d) : limit((4ull << 30) + 16ull * (uint64_t)(d.size > 0 ? d.size : 0)) {}
    explicit work_budget(uint64_t l) : limit(l) {}
    bool left() const { return spent < limit; }
};

// Decodes the stream of entry `e` through its /Filter list into `out`.
// 1 on success (out holds the bytes, NUL-terminated; caller frees it with
// buf_free), 0 on failure (out empty).  When the entry has no stream or its
// raw length is outside 1..256 MiB, returns 0 and leaves `out` untouched.
// With `work`, adds the bytes the decoders wrote, failed and retried
// attempts included, so that callers can bound the decoding one call does.
// `limit` lowers the bound of every stage's output, and of the stream's
// bytes when it has no filter, below STREAM_LIMIT.  The copy of a stream
// that no filter decoded counts as work too.
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
