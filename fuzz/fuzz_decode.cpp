// Fuzz target: the stream decoders on raw bytes.
//
// Input: byte 0 chooses the /Filter of a one-stream document for
// decode_stream, byte 1 a small output capacity, the rest is the data.
// The data goes through every filter of the chain by name, through the
// inflate and LZW decoders with the small capacity and with exactly the
// size the chain's retrying stage found, and through decode_stream.
// Checks, besides crashes:
//  - a decoder never reports more bytes than its block holds;
//  - a block of exactly the decoded size gives the same bytes, a smaller
//    one reports "full" (so that retrying callers grow it);
//  - with zlib present, every stream zlib accepts inflates to zlib's bytes;
//  - decode_stream's output is NUL-terminated and within the stream limit,
//    and empty when it fails.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef HAVE_ZLIB
#include <zlib.h>
#endif

#include "filter/filter.h"
#include "inflate/inflate.h"
#include "../tests/inflate_bitserial.h"
#include "lzw/lzw.h"

using namespace pdftext;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz_decode: %s\n", what);
        abort();
    }
}

const char* const FILTER_NAMES[] = {
    "FlateDecode", "Fl", "LZWDecode", "LZW", "ASCIIHexDecode", "AHx", "ASCII85Decode",
    "A85", "RunLengthDecode", "RL", "RunLeng", "DCTDecode", "flatedecode", "",
};

// /Filter values of the stream dictionary; an empty text means no /Filter.
const char* const FILTER_VALUES[] = {
    "/FlateDecode", "/Fl", "/LZWDecode", "/LZW", "/ASCIIHexDecode", "/AHx",
    "/ASCII85Decode", "/A85", "/RunLengthDecode", "/RL", "/RunLeng", "/DCTDecode",
    "[/ASCIIHexDecode /FlateDecode]", "[/A85 /Fl]", "[/AHx /LZW]", "[/A85 /RL]",
    "[/Fl /Fl]", "[/RL /AHx /A85]", "[ /Foo /AHx ]", "[/Fl/LZW/RL]", "[/AHx /AHx /AHx]",
    "7 0 R", "null", "[]", "[", "/", "",
};
const size_t N_VALUES = sizeof FILTER_VALUES / sizeof FILTER_VALUES[0];

struct freer {
    uint8_t* p = nullptr;
    ~freer() { free(p); }
};

// A decoder with a fixed block: inflate_decompress or lzw_decompress.
using decoder = int (*)(const uint8_t*, uint64_t, uint8_t*, uint64_t, uint64_t*);

// Runs `dec` with capacity `cap`; checks the reported length and, when the
// full decoded bytes are known, that the result agrees with them.
void with_capacity(decoder dec, int full_code, const uint8_t* d, size_t n, uint64_t cap,
                   const uint8_t* want, uint64_t want_len, bool known) {
    std::vector<uint8_t> out((size_t)cap + 1);
    uint64_t len = 0;
    int r = dec(d, n, out.data(), cap, &len);
    if (r == 0) check(len <= cap, "decoder reports more bytes than its block holds");
    if (!known) return;
    if (want_len <= cap) {
        check(r == 0, "a block that holds the decoded bytes is refused");
        check(len == want_len && memcmp(out.data(), want, (size_t)len) == 0,
              "a different block size decodes different bytes");
    } else {
        check(r == full_code, "a block smaller than the decoded bytes is not reported full");
    }
}

void decode_doc(uint8_t choice, const uint8_t* d, size_t n) {
    std::string filter = FILTER_VALUES[choice % N_VALUES];
    std::string head = "1 0 obj\n<< /Length " + std::to_string(n) +
                       (filter.empty() ? "" : " /Filter " + filter) + " >>\n";
    std::string file = head + "stream\n";
    obj_entry e{};
    e.num = 1;
    e.hdr_off = 0;
    e.dict_off = (int32_t)head.find("<<");
    e.stream_kw_off = (int32_t)head.size();
    e.data_off = (int32_t)file.size();
    file.append((const char*)d, n);
    e.data_end = (int32_t)file.size();
    file += "\nendstream\nendobj\n";
    e.endobj_off = (int32_t)file.size() - 7;
    e.has_stream = 1;

    buf out{};
    int r = decode_stream((const uint8_t*)file.data(), (int)file.size(), e, &out);
    if (r == 1) {
        check(out.data != nullptr && out.data[out.len] == 0, "decoded stream not NUL-terminated");
        check(out.len <= STREAM_LIMIT, "decoded stream above the stream limit");
    } else {
        check(out.data == nullptr && out.len == 0, "failed decode leaves bytes");
    }
    buf_free(&out);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const uint8_t choice = data[0];
    const uint64_t small = data[1] % 64;
    const uint8_t* d = data + 2;
    const size_t n = size - 2;

    // Every filter by name; Flate and LZW give the reference bytes.
    freer flate, lzw;
    uint64_t flate_len = 0, lzw_len = 0;
    bool flate_ok = false, lzw_ok = false;
    for (const char* name : FILTER_NAMES) {
        uint8_t* res = nullptr;
        uint64_t res_len = 0;
        bool known = true;
        bool ok = run_filter(name, d, n, &res, &res_len, &known);
        if (!known) {
            check(!ok && res == nullptr, "unknown filter produced output");
            continue;
        }
        if (!ok) {
            check(res == nullptr, "failed filter returned a block");
            continue;
        }
        check(res != nullptr && res_len <= STREAM_LIMIT, "filter output above the stream limit");
        if (!strcmp(name, "FlateDecode") && !flate.p) {
            flate.p = res;
            flate_len = res_len;
            flate_ok = true;
        } else if (!strcmp(name, "LZWDecode") && !lzw.p) {
            lzw.p = res;
            lzw_len = res_len;
            lzw_ok = true;
        } else {
            free(res);
        }
    }

    // The decoders with small blocks and with blocks of exactly the size.
    with_capacity(inflate_decompress, INF_FULL, d, n, small, flate.p, flate_len, flate_ok);
    with_capacity(lzw_decompress, -1, d, n, small, lzw.p, lzw_len, lzw_ok);
    if (flate_ok) with_capacity(inflate_decompress, INF_FULL, d, n, flate_len, flate.p, flate_len, true);
    if (lzw_ok) with_capacity(lzw_decompress, -1, d, n, lzw_len, lzw.p, lzw_len, true);
    if (flate_ok && flate_len > 0)
        with_capacity(inflate_decompress, INF_FULL, d, n, flate_len - 1, flate.p, flate_len, true);
    if (lzw_ok && lzw_len > 0)
        with_capacity(lzw_decompress, -1, d, n, lzw_len - 1, lzw.p, lzw_len, true);

    // The table-driven inflate against the bit-serial reference: the same
    // result and the same bytes for every input and block size, damaged
    // and truncated streams included.
    for (uint64_t cap : {uint64_t(0), uint64_t(small), uint64_t(flate_len), uint64_t(flate_len + 1), uint64_t(1) << 16}) {
        std::vector<uint8_t> a((size_t)cap + 1), b((size_t)cap + 1);
        uint64_t la = 0, lb = 0;
        int ra = inflate_decompress(d, n, a.data(), cap, &la);
        int rb = bitserial::inflate_decompress(d, n, b.data(), cap, &lb);
        check(ra == rb, "inflate and the bit-serial reference give different results");
        check(la == lb && memcmp(a.data(), b.data(), (size_t)la) == 0,
              "inflate and the bit-serial reference give different bytes");
    }

#ifdef HAVE_ZLIB
    // zlib as the oracle of valid streams (it also checks the Adler-32).
    {
        std::vector<uint8_t> z(1 << 20);
        uLongf zlen = (uLongf)z.size();
        if (n > 0 && uncompress(z.data(), &zlen, d, (uLong)n) == Z_OK) {
            check(flate_ok, "inflate refuses a stream zlib accepts");
            check(flate_len == zlen && memcmp(flate.p, z.data(), zlen) == 0,
                  "inflate and zlib disagree");
        }
    }
#endif

    decode_doc(choice, d, n);
    return 0;
}
