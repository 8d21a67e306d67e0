// The bit-serial inflate decoder, kept as the reference for the
// table-driven one in src/inflate/: it reads every Huffman code one bit at a
// time from the canonical code counts.  The tests compare the two on every
// kind of input, damaged and truncated ones included.  Same interface and
// result codes as pdftext::inflate_decompress.

#include "inflate_bitserial.h"

#include "inflate/inflate.h"

#include <cstring>

namespace pdftext {
namespace bitserial {
namespace {

constexpr int max_bits = 15;     // longest code
constexpr int max_lcodes = 286;  // literal/length codes in a dynamic block
constexpr int max_dcodes = 30;   // distance codes in a dynamic block
constexpr int fix_lcodes = 288;  // literal/length codes of the fixed code
constexpr uint64_t max_cap = uint64_t(1) << 30;

// Results of the steps below.  Symbols are >= 0, so `decode` shares these.
enum {
    ST_OK = 0,      // block done
    ST_FULL = 1,    // output block full
    ST_SHORT = -1,  // input ran out (the flag `eof` is set as well)
    ST_BAD = -10,   // invalid code, symbol, length or block
    ST_FAR = -11,   // distance reaching before the start of the output
};

struct inflate_state {
    uint8_t* out;
    uint64_t out_cap;
    uint64_t out_count;
    const uint8_t* in;  // the data after the two header bytes
    uint64_t in_len;
    uint64_t in_count;
    uint64_t bit_buf;  // fetched, unused bits; lowest bit next
    unsigned bit_count;
    bool eof;  // a read wanted more bits than the input holds
};

// A canonical Huffman code: count[len] codes of each length (count[0] is
// the number of symbols without a code), and the symbols ordered by code.
struct huff_table {
    const short* count;
    const short* symbol;
};

// Tops the bit buffer up to at least 57 bits, or to the end of the input.
inline void refill(inflate_state* s) {
    while (s->bit_count <= 56 && s->in_count < s->in_len) {
        s->bit_buf |= uint64_t(s->in[s->in_count++]) << s->bit_count;
        s->bit_count += 8;
    }
}

// The next `need` (0 to 16) bits of the input, least significant first.
// When the input holds fewer, sets `eof` and returns 0.
inline unsigned bits(inflate_state* s, unsigned need) {
    if (s->bit_count < need) {
        refill(s);
        if (s->bit_count < need) {
            s->eof = true;
            return 0;
        }
    }
    unsigned val = unsigned(s->bit_buf & ((uint64_t(1) << need) - 1));
    s->bit_buf >>= need;
    s->bit_count -= need;
    return val;
}

// One symbol of code `h`.  Huffman codes are sent most significant bit
// first, so the code is built up one bit at a time and compared, length by
// length, with the range of codes of that length.  ST_BAD when no code of up
// to 15 bits matches, ST_SHORT when the input ends first.
inline int decode(inflate_state* s, const huff_table* h) {
    if (s->bit_count < max_bits) refill(s);
    uint64_t buf = s->bit_buf;
    unsigned avail = s->bit_count;
    int code = 0;   // the bits read so far
    int first = 0;  // first code of the current length
    int index = 0;  // index of that code's symbol in h->symbol
    for (unsigned len = 1; len <= unsigned(max_bits); len++) {
        if (len > avail) {
            s->eof = true;
            return ST_SHORT;
        }
        code |= int(buf & 1);
        buf >>= 1;
        int count = h->count[len];
        if (code - count < first) {
            s->bit_buf = buf;
            s->bit_count = avail - len;
            return h->symbol[index + (code - first)];
        }
        index += count;
        first = (first + count) << 1;
        code <<= 1;
    }
    return ST_BAD;
}

// Builds the code of `n` symbols with the given lengths into count[0..15]
// and symbol[0..n).  0 for a complete code (or one without any symbols), a
// positive number for an incomplete one, negative when over-subscribed.
int construct(short* count, short* symbol, const short* length, int n) {
    for (int len = 0; len <= max_bits; len++) count[len] = 0;
    for (int s = 0; s < n; s++) count[length[s]]++;
    if (count[0] == n) return 0;

    int left = 1;  // codes of the current length still unused
    for (int len = 1; len <= max_bits; len++) {
        left <<= 1;
        left -= count[len];
        if (left < 0) return left;
    }

    short offs[max_bits + 1];  // first index of each length in symbol[]
    offs[1] = 0;
    for (int len = 1; len < max_bits; len++) offs[len + 1] = short(offs[len] + count[len]);
    for (int s = 0; s < n; s++)
        if (length[s] != 0) symbol[offs[length[s]]++] = short(s);
    return left;
}

// Base values and extra bits of length symbols 257..285 and distance
// symbols 0..29.
const short lens[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                        31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const short lext[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                        2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const short dists[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                         33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                         1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const short dext[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                        6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// The literal/length/distance symbols of one block, up to and including
// end-of-block (256).  A literal (0..255) is stored; a length symbol
// (257..285) plus extra bits, then a distance symbol plus extra bits, copy
// earlier output.  ST_OK at end-of-block, ST_FULL when the output block
// cannot take the next literal or copy, else ST_BAD, ST_FAR or ST_SHORT.
int codes(inflate_state* s, const huff_table* lencode, const huff_table* distcode) {
    for (;;) {
        int sym = decode(s, lencode);
        if (sym < 256) {
            if (sym < 0) return sym;
            if (s->out_count == s->out_cap) return ST_FULL;
            s->out[s->out_count++] = uint8_t(sym);
            continue;
        }
        if (sym == 256) return ST_OK;

        sym -= 257;
        if (sym >= 29) return ST_BAD;  // 286 and 287 are never sent
        unsigned len = unsigned(lens[sym]) + bits(s, unsigned(lext[sym]));
        int dsym = decode(s, distcode);
        if (dsym < 0) return dsym;
        if (dsym >= 30) return ST_BAD;
        uint64_t dist = uint64_t(dists[dsym]) + bits(s, unsigned(dext[dsym]));
        if (s->eof) return ST_SHORT;
        if (dist > s->out_count) return ST_FAR;
        if (len > s->out_cap - s->out_count) return ST_FULL;

        uint8_t* to = s->out + s->out_count;
        const uint8_t* from = to - dist;
        s->out_count += len;
        if (dist >= len) {
            std::memcpy(to, from, len);
        } else {
            // Overlapping: byte by byte, so that the copy repeats the pattern.
            while (len--) *to++ = *from++;
        }
    }
}

// Stored block: after the three header bits, skip to the next byte
// boundary; LEN and NLEN (16 bits each, little-endian, NLEN the one's
// complement of LEN) follow, then LEN bytes of data.  Input that ends in
// the block delivers the bytes present.
int stored(inflate_state* s) {
    // Drop the partial byte, then return the whole bytes still buffered
    // to the input so that the data can be copied straight from it.
    s->bit_buf = 0;
    s->in_count -= s->bit_count >> 3;
    s->bit_count = 0;

    if (s->in_len - s->in_count < 4) {
        s->eof = true;
        return ST_SHORT;
    }
    const uint8_t* p = s->in + s->in_count;
    unsigned len = unsigned(p[0]) | unsigned(p[1]) << 8;
    unsigned nlen = unsigned(p[2]) | unsigned(p[3]) << 8;
    if (len != (~nlen & 0xffffu)) return ST_BAD;
    s->in_count += 4;

    uint64_t have = s->in_len - s->in_count;
    uint64_t take = len < have ? len : have;
    if (take > s->out_cap - s->out_count) return ST_FULL;
    if (take) std::memcpy(s->out + s->out_count, s->in + s->in_count, take);
    s->out_count += take;
    s->in_count += take;
    if (take < len) {
        s->eof = true;
        return ST_SHORT;
    }
    return ST_OK;
}

// The fixed code of block type 1, built once (thread-safe static
// initialisation): literal/length lengths 8 for 0..143, 9 for 144..255, 7
// for 256..279, 8 for 280..287; length 5 for the 30 distance symbols (so
// distance codes 30 and 31 stay unassigned and decode as invalid).
struct fixed_code {
    short lencnt[max_bits + 1];
    short lensym[fix_lcodes];
    short distcnt[max_bits + 1];
    short distsym[max_dcodes];

    fixed_code() {
        short lengths[fix_lcodes];
        int sym = 0;
        for (; sym < 144; sym++) lengths[sym] = 8;
        for (; sym < 256; sym++) lengths[sym] = 9;
        for (; sym < 280; sym++) lengths[sym] = 7;
        for (; sym < fix_lcodes; sym++) lengths[sym] = 8;
        construct(lencnt, lensym, lengths, fix_lcodes);
        for (sym = 0; sym < max_dcodes; sym++) lengths[sym] = 5;
        construct(distcnt, distsym, lengths, max_dcodes);
    }
};

// Fixed-code block: the symbols follow the header bits directly.
int fixed(inflate_state* s) {
    static const fixed_code f;
    const huff_table lencode = {f.lencnt, f.lensym};
    const huff_table distcode = {f.distcnt, f.distsym};
    return codes(s, &lencode, &distcode);
}

// Dynamic-code block: HLIT - 257 (5 bits), HDIST - 1 (5 bits), HCLEN - 4
// (4 bits); HCLEN 3-bit lengths of the code-length code in the order
// below; then the HLIT + HDIST code lengths, sent with that code (0..15 a
// length, 16 repeats the previous length 3..6 times, 17 and 18 repeat zero
// 3..10 and 11..138 times); then the block's symbols.
int dynamic(inflate_state* s) {
    static const short order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    short lengths[max_lcodes + max_dcodes];
    short lencnt[max_bits + 1], lensym[max_lcodes];
    short distcnt[max_bits + 1], distsym[max_dcodes];
    const huff_table lencode = {lencnt, lensym};
    const huff_table distcode = {distcnt, distsym};

    int nlen = int(bits(s, 5)) + 257;
    int ndist = int(bits(s, 5)) + 1;
    int ncode = int(bits(s, 4)) + 4;
    if (s->eof) return ST_SHORT;
    if (nlen > max_lcodes || ndist > max_dcodes) return ST_BAD;

    int index = 0;
    for (; index < ncode; index++) lengths[order[index]] = short(bits(s, 3));
    for (; index < 19; index++) lengths[order[index]] = 0;
    if (s->eof) return ST_SHORT;
    // The code-length code must be complete (or empty: then the first
    // length fails to decode).  The code-length table reuses lencnt/lensym.
    if (construct(lencnt, lensym, lengths, 19) != 0) return ST_BAD;

    index = 0;
    while (index < nlen + ndist) {
        int sym = decode(s, &lencode);
        if (sym < 0) return sym;
        if (sym < 16) {
            lengths[index++] = short(sym);
            continue;
        }
        short len = 0;  // the length to repeat
        unsigned rep;
        if (sym == 16) {
            if (index == 0) return ST_BAD;  // no previous length
            len = lengths[index - 1];
            rep = 3 + bits(s, 2);
        } else if (sym == 17) {
            rep = 3 + bits(s, 3);
        } else {
            rep = 11 + bits(s, 7);
        }
        if (s->eof) return ST_SHORT;
        if (rep > unsigned(nlen + ndist - index)) return ST_BAD;
        while (rep--) lengths[index++] = len;
    }
    if (lengths[256] == 0) return ST_BAD;  // no end-of-block code

    // Incomplete codes are accepted only when they consist of a single code
    // of length 1 (all lengths 0 or 1); an empty distance code is accepted
    // and fails on the first distance.
    int err = construct(lencnt, lensym, lengths, nlen);
    if (err < 0 || (err > 0 && nlen != lencnt[0] + lencnt[1])) return ST_BAD;
    err = construct(distcnt, distsym, lengths + nlen, ndist);
    if (err < 0 || (err > 0 && ndist != distcnt[0] + distcnt[1])) return ST_BAD;

    return codes(s, &lencode, &distcode);
}

}  // namespace

// zlib stream: a two-byte header (compression method 8 in the low four
// bits of the first byte, no preset dictionary: bit 0x20 of the second
// clear), then DEFLATE blocks, each a final-block bit and a 2-bit type.
// The window size, the header check and the Adler-32 trailer are not
// examined; bytes after the final block are ignored.
//
// Results:
//   INF_OK    *out_len bytes decoded: the final block was reached, or the
//             input ended, or the data was damaged (its intact prefix);
//   INF_FULL  the output block filled up before the data ended;
//   INF_BAD   source under 2 bytes, capacity above 1 GiB, or the header
//             was refused.
// *out_len is 0 unless the result is INF_OK.
int inflate_decompress(const uint8_t* src, uint64_t src_len, uint8_t* out, uint64_t out_cap,
                       uint64_t* out_len) {
    *out_len = 0;
    if (src_len < 2 || out_cap > max_cap) return INF_BAD;
    if ((src[0] & 0x0f) != 8 || (src[1] & 0x20) != 0) return INF_BAD;

    inflate_state s;
    s.out = out;
    s.out_cap = out_cap;
    s.out_count = 0;
    s.in = src + 2;
    s.in_len = src_len - 2;
    s.in_count = 0;
    s.bit_buf = 0;
    s.bit_count = 0;
    s.eof = false;

    int last;
    int err;
    do {
        last = int(bits(&s, 1));
        int type = int(bits(&s, 2));
        if (s.eof) break;
        if (type == 0)
            err = stored(&s);
        else if (type == 1)
            err = fixed(&s);
        else if (type == 2)
            err = dynamic(&s);
        else
            err = ST_BAD;
        if (err == ST_FULL) return INF_FULL;
    } while (err == ST_OK && !last);

    *out_len = s.out_count;
    return INF_OK;
}

}  // namespace bitserial
}  // namespace pdftext
