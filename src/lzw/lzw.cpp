// LZW as used by the PDF LZWDecode filter: codes of 9 to 12 bits, most
// significant bit first; 0..255 stand for single bytes, 256 clears the
// table, 257 ends the data, and every further code names a table entry,
// made of an earlier entry (its prefix) plus one byte.  Early change: the
// code width grows one code before the table would need it, that is once
// the next free entry plus one reaches 512, 1024 and 2048.

#include "lzw/lzw.h"

namespace pdftext {
namespace {

constexpr unsigned clear_code = 256;
constexpr unsigned end_code = 257;
constexpr unsigned first_free = 258;
constexpr unsigned table_size = 4096;

// Width of the next code when `next` is the next free entry.
inline unsigned code_width(unsigned next) {
    unsigned n = next + 1;
    return n >= 2048 ? 12 : n >= 1024 ? 11 : n >= 512 ? 10 : 9;
}

}  // namespace

// Results: 0 with *out_len (if given) the bytes written, when the data
// ended (end-of-data code, end of input, a last code cut short) or when a
// code could not be decoded; -1 when the output block was too small.
//
// Codes the encoder could not have sent end decoding with the bytes decoded
// so far: a first code (at the start or after a clear) above 255, a code
// above the next free entry, and any code but clear or end-of-data once all
// 4096 entries are in use (the code would need a new entry; decoding stops
// before writing its string).
int lzw_decompress(const uint8_t* src, uint64_t n, uint8_t* out, uint64_t cap, uint64_t* out_len) {
    uint16_t prefix[table_size];  // entries from first_free on
    uint8_t suffix[table_size];
    uint8_t stack[table_size];  // one string, last byte first

    uint64_t pos = 0;     // next input byte
    uint32_t acc = 0;     // input bits not yet used, in the low `have` bits
    unsigned have = 0;
    uint64_t count = 0;   // bytes written
    unsigned next = first_free;
    unsigned width = 9;
    unsigned prev = table_size;  // none

    for (;;) {
        while (have < width) {
            if (pos == n) goto done;  // end of input, maybe inside a code
            acc = (acc << 8) | src[pos++];
            have += 8;
        }
        have -= width;
        unsigned code = (acc >> have) & ((1u << width) - 1);

        if (code == clear_code) {
            next = first_free;
            width = 9;
            prev = table_size;
            continue;
        }
        if (code == end_code) break;

        if (prev == table_size) {
            if (code > 255) break;
            if (count == cap) return -1;
            out[count++] = uint8_t(code);
            prev = code;
            continue;
        }
        if (next == table_size || code > next) break;

        // Walk the prefix chain (codes only decrease along it) into the
        // stack.  A code equal to the next free entry is the previous
        // string plus its own first byte.
        unsigned len = 0;
        unsigned c = code;
        if (code == next) {
            c = prev;
            len = 1;  // stack[0], the repeated first byte, is set below
        }
        while (c >= first_free && len < table_size - 1) {
            stack[len++] = suffix[c];
            c = prefix[c];
        }
        stack[len++] = uint8_t(c);
        uint8_t head = uint8_t(c);
        if (code == next) stack[0] = head;

        if (cap - count < len) return -1;
        while (len > 0) out[count++] = stack[--len];

        prefix[next] = uint16_t(prev);
        suffix[next] = head;
        next++;
        width = code_width(next);
        prev = code;
    }
done:
    if (out_len) *out_len = count;
    return 0;
}

}  // namespace pdftext
