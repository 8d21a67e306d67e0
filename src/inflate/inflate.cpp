// Inflate: decodes zlib-wrapped DEFLATE data (RFC 1950 header, RFC 1951
// blocks) into one caller-supplied block, without allocating.
//
// Huffman symbols are decoded through lookup tables: a root table indexed
// by the next `root` input bits, whose entries give a symbol and its code
// length, or point to a second-level table for the longer codes.  `codes`
// has a fast loop that runs while at least 8 input bytes and 266 bytes of
// output room are left, so that one 64-bit refill covers a whole
// length/distance pair and no copy can overflow; near either end it falls
// back to single steps that check every read.  The result is the same as
// reading the codes bit by bit: a table entry depends only on the bits of
// its own code.
//
// Input that runs out is not a failure: the reading functions set a flag,
// the steps return, and the caller gets the bytes decoded so far.  Damaged
// data likewise ends decoding with its intact prefix.  Only a full output
// block is reported as such, so that the caller can retry with a larger one.

#include "inflate/inflate.h"

#include <cstring>

namespace pdftext {
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
    RUNNING = 2,    // (within `codes`: no result yet)
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

// Decoding tables.  An entry is 0 for bits that start no code, else
//   symbol << 16 | code length             (length 1..15), or
//   offset << 16 | SUBTABLE | index bits   for a second-level table at
//                                          `offset`, indexed by the bits
//                                          after the first `root`.
// Codes are sent most significant bit first, so a table is indexed by the
// bit-reversed code; an entry of a code shorter than the index is repeated
// for every value of the bits that follow it.
constexpr uint32_t SUBTABLE = 0x100;
constexpr unsigned lit_root = 9;
constexpr unsigned dist_root = 8;
constexpr unsigned cl_root = 7;  // code-length codes are at most 7 bits
// Table sizes.  In a complete code a second-level table of 2^k entries
// holds at least k + 1 codes, and 2^k / (k + 1) grows with k, so the most
// room is taken by tables as deep as possible: for 286 literal/length codes
// (k up to 6) 40 tables of 64 entries and one of 32 with the 6 codes left;
// for 30 distance codes (k up to 7) 3 of 128 and one of 32.  Incomplete
// codes are accepted only with lengths of 1 (no second-level tables).
// `build` checks the bound all the same.
constexpr unsigned lit_size = (1u << lit_root) + 40 * 64 + 32;
constexpr unsigned dist_size = (1u << dist_root) + 3 * 128 + 32;

struct huff_table {
    const uint32_t* t;
    unsigned root;
};

// Counts the codes of each length into count[0..15] (count[0]: symbols
// without a code).  0 for a complete code (or one without any symbols), a
// positive number for an incomplete one, negative when over-subscribed.
int check_code(short* count, const short* length, int n) {
    for (int len = 0; len <= max_bits; len++) count[len] = 0;
    for (int s = 0; s < n; s++) count[length[s]]++;
    if (count[0] == n) return 0;

    int left = 1;  // codes of the current length still unused
    for (int len = 1; len <= max_bits; len++) {
        left <<= 1;
        left -= count[len];
        if (left < 0) return left;
    }
    return left;
}

// Bytes with their bits in reverse order.
struct rev8_table {
    uint8_t v[256];
    constexpr rev8_table() : v() {
        for (unsigned i = 0; i < 256; i++) {
            unsigned r = 0;
            for (unsigned b = 0; b < 8; b++) r |= ((i >> b) & 1u) << (7 - b);
            v[i] = uint8_t(r);
        }
    }
};
constexpr rev8_table rev8{};

// The low `len` bits of `code` (len 1..15) in reverse order.
inline unsigned reverse_bits(unsigned code, unsigned len) {
    unsigned r16 = unsigned(rev8.v[code & 0xffu]) << 8 | rev8.v[(code >> 8) & 0xffu];
    return r16 >> (16 - len);
}

// Builds the table of the canonical code with the given lengths (already
// checked not to be over-subscribed; `count` from check_code) into
// t[0..size).  False when it would not fit.
bool build(uint32_t* t, unsigned size, unsigned root, const short* length, const short* count, int n) {
    const unsigned root_size = 1u << root;
    if (root_size > size) return false;
    unsigned next[max_bits + 1];  // next canonical code of each length
    next[0] = next[1] = 0;
    for (int len = 2; len <= max_bits; len++) next[len] = (next[len - 1] + unsigned(count[len - 1])) << 1;
    // Index bits of the second-level table under each root entry.
    uint8_t sub_bits[1u << lit_root];
    for (unsigned i = 0; i < root_size; i++) {
        t[i] = 0;
        sub_bits[i] = 0;
    }
    unsigned code[max_bits + 1];
    std::memcpy(code, next, sizeof code);
    for (int s = 0; s < n; s++) {
        unsigned len = unsigned(length[s]);
        if (len <= root) continue;
        unsigned low = reverse_bits(code[len]++, len) & (root_size - 1);
        if (len - root > sub_bits[low]) sub_bits[low] = uint8_t(len - root);
    }
    unsigned used = root_size;
    for (unsigned i = 0; i < root_size; i++) {
        if (!sub_bits[i]) continue;
        unsigned k = sub_bits[i];
        if ((1u << k) > size - used) return false;
        t[i] = used << 16 | SUBTABLE | k;
        for (unsigned j = 0; j < (1u << k); j++) t[used + j] = 0;
        used += 1u << k;
    }
    for (int s = 0; s < n; s++) {
        unsigned len = unsigned(length[s]);
        if (len == 0) continue;
        unsigned rev = reverse_bits(next[len]++, len);
        uint32_t entry = uint32_t(s) << 16 | len;
        if (len <= root) {
            for (unsigned i = rev; i < root_size; i += 1u << len) t[i] = entry;
        } else {
            uint32_t link = t[rev & (root_size - 1)];
            unsigned base = link >> 16;
            unsigned k = link & 0xffu;
            for (unsigned i = rev >> root; i < (1u << k); i += 1u << (len - root)) t[base + i] = entry;
        }
    }
    return true;
}

// The table entry of the code at the start of `buf`.
inline uint32_t lookup(const huff_table* h, uint64_t buf) {
    uint32_t e = h->t[buf & ((uint64_t(1) << h->root) - 1)];
    if (e & SUBTABLE) e = h->t[(e >> 16) + ((buf >> h->root) & ((uint64_t(1) << (e & 0xffu)) - 1))];
    return e;
}

// One symbol of code `h`, for any amount of input left.  The bits past the
// end of the buffered input only select among codes longer than what is
// there, so a code is taken only when all of its bits are present.
// ST_BAD when the bits start no code, ST_SHORT when the input ends first.
inline int decode(inflate_state* s, const huff_table* h) {
    if (s->bit_count < max_bits) refill(s);
    uint32_t e = lookup(h, s->bit_buf);
    unsigned len = e & 0xffu;
    if (len == 0) return ST_BAD;
    if (len > s->bit_count) {
        s->eof = true;
        return ST_SHORT;
    }
    s->bit_buf >>= len;
    s->bit_count -= len;
    return int(e >> 16);
}

// Little-endian 64-bit load.
inline uint64_t load64(const uint8_t* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
#else
    uint64_t v = 0;
    for (int i = 7; i >= 0; i--) v = (v << 8) | p[i];
    return v;
#endif
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
        // Fast loop: with 8 input bytes left a refill tops the buffer up
        // to at least 56 bits, enough for the 48 of the longest
        // length/distance pair; with 266 bytes of room a literal or a copy
        // of up to 258 bytes (written 8 bytes at a time) always fits.
        if (s->in_len - s->in_count >= 8 && s->out_cap - s->out_count >= 266) {
            // Locals, so that the output stores cannot be taken to change
            // them.
            uint64_t buf = s->bit_buf;
            unsigned cnt = s->bit_count;
            uint8_t* const out = s->out;
            const uint64_t cap = s->out_cap;
            uint64_t pos = s->out_count;
            const uint8_t* const in = s->in;
            const uint64_t in_len = s->in_len;
            uint64_t at = s->in_count;
            int ret = RUNNING;
            do {
                // The bits above `cnt` are the following input bits
                // themselves, so OR-ing the same bytes in again is harmless.
                buf |= load64(in + at) << cnt;
                at += (63 - cnt) >> 3;
                cnt |= 56;

                uint32_t e = lookup(lencode, buf);
                unsigned n = e & 0xffu;
                if (n == 0) {
                    ret = ST_BAD;
                    break;
                }
                buf >>= n;
                cnt -= n;
                unsigned sym = e >> 16;
                if (sym < 256) {
                    out[pos++] = uint8_t(sym);
                    continue;
                }
                if (sym == 256) {
                    ret = ST_OK;
                    break;
                }
                sym -= 257;
                if (sym >= 29) {
                    ret = ST_BAD;
                    break;
                }
                n = unsigned(lext[sym]);
                unsigned len = unsigned(lens[sym]) + unsigned(buf & ((uint64_t(1) << n) - 1));
                buf >>= n;
                cnt -= n;

                e = lookup(distcode, buf);
                n = e & 0xffu;
                if (n == 0) {
                    ret = ST_BAD;
                    break;
                }
                buf >>= n;
                cnt -= n;
                unsigned dsym = e >> 16;
                if (dsym >= 30) {
                    ret = ST_BAD;
                    break;
                }
                n = unsigned(dext[dsym]);
                uint64_t dist = uint64_t(dists[dsym]) + (buf & ((uint64_t(1) << n) - 1));
                buf >>= n;
                cnt -= n;
                if (dist > pos) {
                    ret = ST_FAR;
                    break;
                }

                uint8_t* to = out + pos;
                const uint8_t* from = to - dist;
                pos += len;
                if (dist >= 8) {
                    // Each 8-byte chunk reads only bytes already written.
                    for (unsigned i = 0; i < len; i += 8) std::memcpy(to + i, from + i, 8);
                } else if (dist == 1) {
                    std::memset(to, *from, len);
                } else {
                    while (len--) *to++ = *from++;
                }
            } while (in_len - at >= 8 && cap - pos >= 266);
            s->in_count = at;
            s->bit_buf = buf;
            s->bit_count = cnt;
            s->out_count = pos;
            if (ret != RUNNING) return ret;
            continue;
        }

        // One checked step.
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
    uint32_t lit[1u << lit_root];
    uint32_t dist[1u << dist_root];

    fixed_code() {
        short lengths[fix_lcodes];
        short count[max_bits + 1];
        int sym = 0;
        for (; sym < 144; sym++) lengths[sym] = 8;
        for (; sym < 256; sym++) lengths[sym] = 9;
        for (; sym < 280; sym++) lengths[sym] = 7;
        for (; sym < fix_lcodes; sym++) lengths[sym] = 8;
        check_code(count, lengths, fix_lcodes);
        build(lit, 1u << lit_root, lit_root, lengths, count, fix_lcodes);
        for (sym = 0; sym < max_dcodes; sym++) lengths[sym] = 5;
        check_code(count, lengths, max_dcodes);
        build(dist, 1u << dist_root, dist_root, lengths, count, max_dcodes);
    }
};

// Fixed-code block: the symbols follow the header bits directly.
int fixed(inflate_state* s) {
    static const fixed_code f;
    const huff_table lencode = {f.lit, lit_root};
    const huff_table distcode = {f.dist, dist_root};
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
    short count[max_bits + 1];
    uint32_t lit[lit_size];
    uint32_t dist[dist_size];

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
    // length fails to decode).  Its table goes where the literal/length
    // table will be.
    if (check_code(count, lengths, 19) != 0) return ST_BAD;
    if (!build(lit, lit_size, cl_root, lengths, count, 19)) return ST_BAD;
    const huff_table clcode = {lit, cl_root};

    index = 0;
    while (index < nlen + ndist) {
        int sym = decode(s, &clcode);
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
    int err = check_code(count, lengths, nlen);
    if (err < 0 || (err > 0 && nlen != count[0] + count[1])) return ST_BAD;
    if (!build(lit, lit_size, lit_root, lengths, count, nlen)) return ST_BAD;
    err = check_code(count, lengths + nlen, ndist);
    if (err < 0 || (err > 0 && ndist != count[0] + count[1])) return ST_BAD;
    if (!build(dist, dist_size, dist_root, lengths + nlen, count, ndist)) return ST_BAD;

    const huff_table lencode = {lit, lit_root};
    const huff_table distcode = {dist, dist_root};
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

}  // namespace pdftext
