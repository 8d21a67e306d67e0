// Inflate decoder: hand-built streams for the format's corner cases and for
// damaged data, and (with zlib) a differential test against zlib's inflate.

#include "inflate/inflate.h"
#include "inflate_bitserial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#ifdef HAVE_ZLIB
#include <zlib.h>
#endif

namespace pdftext {
namespace {

using bytes = std::vector<uint8_t>;

std::string as_text(const bytes& b) { return std::string(b.begin(), b.end()); }

struct decoded {
    int rc;
    bytes out;
};

// Decodes `src` into a block of exactly `cap` bytes.  Input and output are
// heap blocks of exactly their size, so that the sanitizer build catches any
// access past either.
decoded inflate_into(const bytes& src, uint64_t cap) {
    std::unique_ptr<uint8_t[]> in(new uint8_t[src.size()]);
    if (!src.empty()) std::memcpy(in.get(), src.data(), src.size());
    std::unique_ptr<uint8_t[]> out(new uint8_t[cap]);
    uint64_t len = 0xdead;
    int rc = inflate_decompress(in.get(), src.size(), out.get(), cap, &len);
    if (rc != INF_OK) {
        EXPECT_EQ(len, 0u) << "only a successful decode reports output";
        len = 0;
    }
    EXPECT_LE(len, cap);
    if (len > cap) len = 0;
    return {rc, bytes(out.get(), out.get() + len)};
}

// Builds a zlib stream bit by bit: header fields least significant bit
// first, Huffman codes most significant bit first (RFC 1951, 3.1.1).
struct bit_writer {
    bytes data;
    uint32_t acc = 0;
    unsigned n = 0;

    explicit bit_writer(uint8_t cmf = 0x78, uint8_t flg = 0x9c) : data{cmf, flg} {}

    void put(unsigned v, unsigned count) {
        for (unsigned i = 0; i < count; i++) {
            acc |= ((v >> i) & 1u) << n;
            if (++n == 8) align();
        }
    }
    void code(unsigned c, unsigned len) {
        for (unsigned i = len; i-- > 0;) put((c >> i) & 1u, 1);
    }
    void align() {
        if (n == 0) return;
        data.push_back(uint8_t(acc));
        acc = 0;
        n = 0;
    }
    void raw(const std::string& s) {
        align();
        data.insert(data.end(), s.begin(), s.end());
    }
    bytes finish() {
        align();
        return data;
    }

    void header(bool last, unsigned type) {
        put(last ? 1 : 0, 1);
        put(type, 2);
    }
    void stored_raw(bool last, unsigned len, unsigned nlen, const std::string& s) {
        header(last, 0);
        align();
        put(len, 16);
        put(nlen, 16);
        raw(s);
    }
    void stored(bool last, const std::string& s) {
        stored_raw(last, unsigned(s.size()), ~unsigned(s.size()) & 0xffffu, s);
    }
    // A literal/length symbol (0..287) of the fixed code.
    void fixed_sym(unsigned s) {
        if (s < 144)
            code(0x30 + s, 8);
        else if (s < 256)
            code(0x190 + s - 144, 9);
        else if (s < 280)
            code(s - 256, 7);
        else
            code(0xc0 + s - 280, 8);
    }
    void fixed_dist(unsigned d) { code(d, 5); }
    void fixed_text(const std::string& s) {
        for (unsigned char c : s) fixed_sym(c);
    }
};

// Canonical codes for the given lengths (RFC 1951, 3.2.2).
std::vector<unsigned> canonical(const std::vector<int>& lengths) {
    int bl_count[16] = {0};
    for (int l : lengths)
        if (l) bl_count[l]++;
    unsigned next_code[16] = {0};
    unsigned c = 0;
    for (int bits = 1; bits < 16; bits++) {
        c = (c + unsigned(bl_count[bits - 1])) << 1;
        next_code[bits] = c;
    }
    std::vector<unsigned> codes(lengths.size(), 0);
    for (size_t i = 0; i < lengths.size(); i++)
        if (lengths[i]) codes[i] = next_code[lengths[i]]++;
    return codes;
}

// One symbol of the code-length alphabet with its repeat bits.
struct cl_step {
    unsigned sym;
    unsigned extra;
};

// Complete code-length code in which every symbol 0..18 has a code.
const std::vector<int> all_cl = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 5, 5, 5, 5, 5, 5};

// Dynamic block header with the given counts, code-length code and
// code-length symbols.
void dyn_header(bit_writer& w, bool last, unsigned hlit, unsigned hdist, const std::vector<int>& cl,
                const std::vector<cl_step>& steps) {
    static const int order[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};
    w.header(last, 2);
    w.put(hlit - 257, 5);
    w.put(hdist - 1, 5);
    w.put(19 - 4, 4);
    for (int i = 0; i < 19; i++) w.put(unsigned(cl[order[i]]), 3);
    std::vector<unsigned> codes = canonical(cl);
    for (const cl_step& s : steps) {
        w.code(codes[s.sym], unsigned(cl[s.sym]));
        if (s.sym == 16) w.put(s.extra, 2);
        if (s.sym == 17) w.put(s.extra, 3);
        if (s.sym == 18) w.put(s.extra, 7);
    }
}

// The codes of a hand-built dynamic block, for writing its symbols.
struct dyn_code {
    std::vector<int> lit_len, dist_len;
    std::vector<unsigned> lit, dist;
    void sym(bit_writer& w, unsigned s) const { w.code(lit[s], unsigned(lit_len[s])); }
    void dsym(bit_writer& w, unsigned d) const { w.code(dist[d], unsigned(dist_len[d])); }
};

// Dynamic block header sending every length as itself.  `lit` maps
// literal/length symbols to lengths (HLIT = lit.size()).
dyn_code dynamic(bit_writer& w, bool last, std::vector<int> lit, std::vector<int> dist) {
    std::vector<cl_step> steps;
    for (int l : lit) steps.push_back({unsigned(l), 0});
    for (int l : dist) steps.push_back({unsigned(l), 0});
    dyn_header(w, last, unsigned(lit.size()), unsigned(dist.size()), all_cl, steps);
    dyn_code c;
    c.lit_len = lit;
    c.dist_len = dist;
    c.lit = canonical(lit);
    c.dist = canonical(dist);
    return c;
}

// Literal/length lengths with the given ones set: symbols 0..256, or up
// to the highest symbol set.
std::vector<int> lit_lengths(std::initializer_list<std::pair<int, int>> set) {
    size_t n = 257;
    for (auto& p : set) n = std::max(n, size_t(p.first) + 1);
    std::vector<int> l(n, 0);
    for (auto& p : set) l[size_t(p.first)] = p.second;
    return l;
}

TEST(Inflate, RefusesWhatItCannotDecode) {
    uint8_t out[16];
    const uint8_t src[] = {0x78, 0x9c, 0x03, 0x00};  // empty final fixed block
    struct row {
        const char* why;
        uint64_t src_len;
        uint64_t cap;
        int rc;
    } rows[] = {
        {"no source bytes", 0, 16, INF_BAD},
        {"a single source byte", 1, 16, INF_BAD},
        {"capacity above 1 GiB", 4, (uint64_t(1) << 30) + 1, INF_BAD},
        {"capacity of exactly 1 GiB", 4, uint64_t(1) << 30, INF_OK},
    };
    for (const row& r : rows) {
        uint64_t len = 99;
        EXPECT_EQ(inflate_decompress(src, r.src_len, out, r.cap, &len), r.rc) << r.why;
        EXPECT_EQ(len, 0u) << r.why;
    }
}

TEST(Inflate, HeaderChecks) {
    struct row {
        uint8_t cmf, flg;
        int rc;
        const char* why;
    } rows[] = {
        {0x78, 0x9c, INF_OK, "default compression"},
        {0x78, 0x01, INF_OK, "fastest"},
        {0x78, 0xda, INF_OK, "best"},
        {0x08, 0x1d, INF_OK, "256-byte window"},
        {0x78, 0x00, INF_OK, "the check value is not examined"},
        {0x78, 0xbb, INF_BAD, "preset dictionary"},
        {0x79, 0x9c, INF_BAD, "compression method 9"},
        {0x7f, 0x9c, INF_BAD, "compression method 15"},
    };
    for (const row& r : rows) {
        bit_writer w(r.cmf, r.flg);
        w.stored(true, "hello");
        decoded d = inflate_into(w.finish(), 64);
        EXPECT_EQ(d.rc, r.rc) << r.why;
        EXPECT_EQ(as_text(d.out), r.rc == INF_OK ? "hello" : "") << r.why;
    }
}

struct stream_case {
    const char* why;
    std::function<bytes()> make;
    uint64_t cap;
    int rc;
    std::string out;
};

// Valid streams, streams that end early, and output blocks that are too
// small.  Input that ends early delivers the bytes decoded before the end.
TEST(Inflate, Streams) {
    const std::string x259(259, 'x');
    const std::vector<stream_case> cases = {
        {"stored block",
         [] {
             bit_writer w;
             w.stored(true, "hello");
             return w.finish();
         },
         64, INF_OK, "hello"},
        {"stored block of LEN 0 adds nothing",
         [] {
             bit_writer w;
             w.stored(false, "");
             w.stored(true, "ab");
             return w.finish();
         },
         64, INF_OK, "ab"},
        {"trailer missing or wrong, bytes after the final block: ignored",
         [] {
             bit_writer w;
             w.stored(true, "ab");
             w.raw("\xff\xff\xff\xff garbage");
             return w.finish();
         },
         64, INF_OK, "ab"},
        {"stored block into a block one byte too small",
         [] {
             bit_writer w;
             w.stored(true, "hello");
             return w.finish();
         },
         4, INF_FULL, ""},
        {"stored block into a block of exactly its size",
         [] {
             bit_writer w;
             w.stored(true, "hello");
             return w.finish();
         },
         5, INF_OK, "hello"},
        {"fixed block of literals",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("abc");
             w.fixed_sym(256);
             return w.finish();
         },
         64, INF_OK, "abc"},
        {"literal into a full block",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("abc");
             w.fixed_sym(256);
             return w.finish();
         },
         2, INF_FULL, ""},
        {"distance 1, length 258 after one literal repeats it",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(285);
             w.fixed_dist(0);
             w.fixed_sym(256);
             return w.finish();
         },
         259, INF_OK, x259},
        {"a copy that does not fit the block",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(285);
             w.fixed_dist(0);
             w.fixed_sym(256);
             return w.finish();
         },
         258, INF_FULL, ""},
        {"copies across blocks: the distance counts from the whole output",
         [] {
             bit_writer w;
             w.stored(false, "abc");
             w.header(true, 1);
             w.fixed_sym(257);  // length 3
             w.fixed_dist(2);   // distance 3
             w.fixed_sym(256);
             return w.finish();
         },
         64, INF_OK, "abcabc"},
        {"sync flush without a final block",
         [] {
             bit_writer w;
             w.header(false, 1);
             w.fixed_text("abc");
             w.fixed_sym(256);
             w.stored(false, "");
             return w.finish();
         },
         3, INF_OK, "abc"},
        {"input ends inside stored data: the bytes present",
         [] {
             bit_writer w;
             w.stored(true, "hello world");
             bytes b = w.finish();
             b.resize(2 + 1 + 4 + 5);
             return b;
         },
         64, INF_OK, "hello"},
        {"input ends inside LEN/NLEN",
         [] {
             bit_writer w;
             w.stored(false, "ab");
             w.stored(true, "cd");
             bytes b = w.finish();
             b.resize(b.size() - 3);
             return b;
         },
         64, INF_OK, "ab"},
        {"input ends inside a literal code",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("abcdef");
             w.fixed_sym(256);
             bytes b = w.finish();
             b.resize(2 + 3);  // 24 bits: header and two literals, 5 bits of the third
             return b;
         },
         64, INF_OK, "ab"},
        {"input ends inside a distance's extra bits",
         [] {
             bit_writer w;
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(285);
             w.fixed_dist(4);  // distance 5..6: one extra bit, beyond the cut
             w.put(0, 1);
             w.fixed_sym(256);
             bytes b = w.finish();
             b.resize(2 + 3);  // 3 + 8 + 8 + 5 = 24 bits
             return b;
         },
         300, INF_OK, "x"},
        {"dynamic block with a single distance code of length 1",
         [] {
             bit_writer w;
             dyn_code c = dynamic(w, true, lit_lengths({{'a', 1}, {256, 2}, {257, 2}}), {1});
             c.sym(w, 'a');
             c.sym(w, 257);  // length 3
             c.dsym(w, 0);   // distance 1
             c.sym(w, 256);
             return w.finish();
         },
         64, INF_OK, "aaaa"},
        {"dynamic block without distance codes",
         [] {
             bit_writer w;
             dyn_code c = dynamic(w, false, lit_lengths({{'a', 1}, {'b', 2}, {256, 2}}), {0});
             c.sym(w, 'a');
             c.sym(w, 'b');
             c.sym(w, 256);
             w.stored(true, "!");
             return w.finish();
         },
         64, INF_OK, "ab!"},
        {"dynamic block whose only code is end-of-block",
         [] {
             bit_writer w;
             dyn_code c = dynamic(w, false, lit_lengths({{256, 1}}), {0});
             c.sym(w, 256);
             w.stored(true, "ok");
             return w.finish();
         },
         64, INF_OK, "ok"},
        {"dynamic block whose lengths use the repeat codes 16, 17 and 18",
         [] {
             // 'a'..'d' length 3 and end-of-block length 1: a complete code.
             bit_writer w;
             dyn_header(w, true, 257, 1, all_cl,
                        {{18, 97 - 11},           // 0..96: 97 zeros
                         {3, 0},                  // 'a'
                         {16, 0},                 // 'b'..'d': the previous length 3 times
                         {18, 138 - 11},          // 101..238: 138 zeros
                         {17, 10 - 3},            // 239..248: 10 zeros
                         {17, 7 - 3},             // 249..255: 7 zeros
                         {1, 0},                  // end-of-block
                         {0, 0}});                // no distance code
             dyn_code c;
             c.lit_len = lit_lengths({{'a', 3}, {'b', 3}, {'c', 3}, {'d', 3}, {256, 1}});
             c.lit = canonical(c.lit_len);
             for (char ch : std::string("adcb")) c.sym(w, unsigned(ch));
             c.sym(w, 256);
             return w.finish();
         },
         64, INF_OK, "adcb"},
    };
    for (const stream_case& c : cases) {
        decoded d = inflate_into(c.make(), c.cap);
        EXPECT_EQ(d.rc, c.rc) << c.why;
        EXPECT_EQ(as_text(d.out), c.out) << c.why;
    }
}

// Damaged data ends decoding with the bytes decoded before it.  Each stream
// starts with a stored block "abc", then the damaged block, then more data
// that must not be reached.  Where a lenient decoder could read on, the
// damaged header is followed by what it would decode as "x".
TEST(Inflate, DamagedDataGivesTheIntactPrefix) {
    // 'x' and end-of-block of a code in which both have length 1.
    auto x_then_end = [](bit_writer& w) {
        w.code(0, 1);
        w.code(1, 1);
    };
    struct row {
        const char* why;
        std::function<void(bit_writer&)> damage;
        std::string out;
    };
    const std::vector<int> dist1 = {1};
    const std::vector<row> rows = {
        {"block type 3", [](bit_writer& w) { w.header(true, 3); }, "abc"},
        {"NLEN not the complement of LEN", [](bit_writer& w) { w.stored_raw(true, 2, 0x1234, "zz"); },
         "abc"},
        {"distance reaching before the start of the output",
         [](bit_writer& w) {
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(257);
             w.fixed_dist(5);  // 7..8
             w.put(0, 1);      // distance 7, output holds 4 bytes
         },
         "abcx"},
        {"fixed literal/length symbol 286",
         [](bit_writer& w) {
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(286);
         },
         "abcx"},
        {"fixed distance code 30",
         [](bit_writer& w) {
             w.header(true, 1);
             w.fixed_text("x");
             w.fixed_sym(257);
             w.fixed_dist(30);
         },
         "abcx"},
        {"HLIT 287", [](bit_writer& w) { dyn_header(w, true, 287, 1, all_cl, {}); }, "abc"},
        {"HDIST 31", [](bit_writer& w) { dyn_header(w, true, 257, 31, all_cl, {}); }, "abc"},
        {"incomplete code-length code",
         [&](bit_writer& w) {
             std::vector<int> cl(19, 0);  // "0" and "10" only
             cl[0] = 1;
             cl[1] = 2;
             std::vector<cl_step> steps(258, {0, 0});
             steps['x'] = steps[256] = {1, 0};
             dyn_header(w, true, 257, 1, cl, steps);
             x_then_end(w);
         },
         "abc"},
        {"over-subscribed code-length code",
         [](bit_writer& w) {
             std::vector<int> cl(19, 0);
             cl[0] = cl[1] = cl[2] = 1;
             dyn_header(w, true, 257, 1, cl, {});
         },
         "abc"},
        {"repeat code 16 without a previous length",
         [&](bit_writer& w) {
             dyn_header(w, true, 257, 1, all_cl,
                        {{16, 0}, {18, 'x' - 3 - 11}, {1, 0}, {18, 255 - 'x' - 11}, {1, 0}, {0, 0}});
             x_then_end(w);
         },
         "abc"},
        {"repeat running past the last length",
         [&](bit_writer& w) {
             dyn_header(w, true, 257, 1, all_cl,
                        {{18, 'x' - 11}, {1, 0}, {18, 255 - 'x' - 11}, {1, 0}, {17, 0}});
             x_then_end(w);
         },
         "abc"},
        {"no code for end-of-block",
         [&](bit_writer& w) {
             dyn_code c = dynamic(w, true, lit_lengths({{'a', 1}, {'b', 1}}), dist1);
             c.sym(w, 'a');
         },
         "abc"},
        {"over-subscribed literal/length code",
         [&](bit_writer& w) {
             dyn_code c = dynamic(w, true, lit_lengths({{'a', 1}, {'b', 1}, {256, 1}}), dist1);
             c.sym(w, 'a');
         },
         "abc"},
        {"incomplete literal/length code of two codes",
         [&](bit_writer& w) {
             dyn_code c = dynamic(w, true, lit_lengths({{'a', 2}, {256, 2}}), dist1);
             c.sym(w, 'a');
         },
         "abc"},
        {"incomplete distance code of two codes",
         [&](bit_writer& w) {
             dyn_code c = dynamic(w, true, lit_lengths({{'a', 1}, {256, 1}}), {2, 2});
             c.sym(w, 'a');
         },
         "abc"},
    };
    for (const row& r : rows) {
        bit_writer w;
        w.stored(false, "abc");
        r.damage(w);
        w.stored(true, "must not be reached; padding so that no read runs out first");
        decoded d = inflate_into(w.finish(), 256);
        EXPECT_EQ(d.rc, INF_OK) << r.why;
        EXPECT_EQ(as_text(d.out), r.out) << r.why;
    }
}

// The fixed code is built on first use; threads that meet their first
// fixed block at the same time all decode correctly.
TEST(Inflate, FixedBlocksFromSeveralThreads) {
    bit_writer w;
    w.header(true, 1);
    w.fixed_text("fixed");
    w.fixed_sym(258);  // length 4
    w.fixed_dist(4);   // distance 5..6
    w.put(0, 1);
    w.fixed_sym(256);
    const bytes src = w.finish();
    std::vector<std::thread> threads;
    std::vector<int> good(8, 0);
    for (int t = 0; t < 8; t++)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; i++) {
                uint8_t out[32];
                uint64_t len = 0;
                if (inflate_decompress(src.data(), src.size(), out, sizeof out, &len) == INF_OK &&
                    std::string(out, out + len) == "fixedfixe")
                    good[size_t(t)]++;
            }
        });
    for (auto& th : threads) th.join();
    for (int g : good) EXPECT_EQ(g, 200);
}

#ifdef HAVE_ZLIB

// splitmix64: a fixed-seed generator whose sequence is the same everywhere.
struct prng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    uint64_t below(uint64_t n) { return n ? next() % n : 0; }
};

enum data_kind { TEXT, RANDOM, RUNS, SKEWED, MIXED, KINDS };
const char* const kind_name[] = {"text", "random", "runs", "skewed", "mixed"};

void append(bytes& out, prng& r, int kind, size_t n) {
    static const char* const vocab[] = {
        "the ",  "of ",     "and ", "stream ", "page ", "font ",  "text ", "object ", "0 ",  "1 ",
        "obj\n", "endobj\n", "BT ", "ET\n",    "Tj ",   "TJ\n",   "/F1 ",  "12 ",     "Tf ", "(Hello) ",
        "[",     "] ",       "<< ", ">>\n",    "q ",    "Q\n",    "cm ",   "re ",     "f\n", "Widths "};
    size_t end = out.size() + n;
    while (out.size() < end) {
        switch (kind) {
        case TEXT: {
            const char* w = vocab[r.below(sizeof vocab / sizeof vocab[0])];
            out.insert(out.end(), w, w + std::strlen(w));
            break;
        }
        case RANDOM:
            out.push_back(uint8_t(r.next()));
            break;
        case RUNS:
            out.insert(out.end(), size_t(1 + r.below(r.below(8) == 0 ? 600 : 12)), uint8_t(r.below(4)));
            break;
        case SKEWED: {
            // Symbol k with probability about 2^-(k+1): Huffman codes of
            // every length up to the 15-bit limit.
            uint64_t v = r.next();
            int k = 0;
            while (k < 63 && (v & (uint64_t(1) << k)) == 0) k++;
            out.push_back(uint8_t('A' + k));
            break;
        }
        default:
            append(out, r, int(r.below(MIXED)), size_t(1 + r.below(2000)));
            break;
        }
    }
    out.resize(end);
}

bytes generate(prng& r, int kind, size_t n) {
    bytes out;
    out.reserve(n);
    append(out, r, kind, n);
    return out;
}

struct zparams {
    int level = 6;
    int strategy = Z_DEFAULT_STRATEGY;
    int wbits = 15;
    int mem = 8;
    int level2 = -2;  // when not -2: deflateParams to these halfway
    int strategy2 = Z_DEFAULT_STRATEGY;
    int flush = Z_FINISH;    // the last flush; anything else leaves no final block
    size_t flush_every = 0;  // also flush (with `flush`) after this many bytes
};

const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FIXED, Z_HUFFMAN_ONLY, Z_RLE, Z_FILTERED};
const char* const strategy_name[] = {"default", "fixed", "huffman", "rle", "filtered"};

std::string describe(const zparams& p) {
    auto sname = [](int s) {
        for (size_t i = 0; i < 5; i++)
            if (strategies[i] == s) return strategy_name[i];
        return "?";
    };
    std::string d = "level " + std::to_string(p.level) + " " + sname(p.strategy) + " wbits " +
                    std::to_string(p.wbits) + " mem " + std::to_string(p.mem);
    if (p.level2 != -2) d += " then level " + std::to_string(p.level2) + " " + sname(p.strategy2);
    return d;
}

zparams random_params(prng& r) {
    zparams p;
    p.level = int(r.below(10));
    p.strategy = strategies[r.below(5)];
    p.wbits = 9 + int(r.below(7));
    p.mem = 1 + int(r.below(9));
    if (r.below(5) == 0) {
        p.level2 = int(r.below(10));
        p.strategy2 = strategies[r.below(5)];
    }
    return p;
}

// Compresses `in` with zlib.
bytes zdeflate(const bytes& in, const zparams& p) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, p.level, Z_DEFLATED, p.wbits, p.mem, p.strategy), Z_OK);
    bytes out;
    auto pump = [&](size_t from, size_t to, int flush) {
        z.next_in = const_cast<Bytef*>(in.data() + from);
        z.avail_in = uInt(to - from);
        for (;;) {
            size_t old = out.size();
            out.resize(old + 65536);
            z.next_out = out.data() + old;
            z.avail_out = 65536;
            int rc = deflate(&z, flush);
            out.resize(old + 65536 - z.avail_out);
            if (flush == Z_FINISH ? rc == Z_STREAM_END : z.avail_out != 0) break;
            EXPECT_TRUE(rc == Z_OK || rc == Z_BUF_ERROR) << rc;
        }
    };
    size_t half = in.size() / 2;
    size_t step = p.flush_every ? p.flush_every : in.size() + 1;
    size_t pos = 0;
    while (pos < in.size()) {
        size_t to = std::min(in.size(), pos + step);
        if (p.level2 != -2 && pos <= half && half < to) {
            pump(pos, half, Z_NO_FLUSH);
            size_t old = out.size();
            size_t room = deflateBound(&z, uLong(half)) + 1024;
            out.resize(old + room);
            z.next_out = out.data() + old;
            z.avail_out = uInt(room);
            EXPECT_EQ(deflateParams(&z, p.level2, p.strategy2), Z_OK);
            out.resize(old + room - z.avail_out);
            pos = half;
        }
        pump(pos, to, to == in.size() ? p.flush : (p.flush_every ? p.flush : Z_NO_FLUSH));
        pos = to;
    }
    if (in.empty()) pump(0, 0, p.flush);
    deflateEnd(&z);
    return out;
}

struct zresult {
    int rc;
    bytes out;
};

// What zlib's inflate makes of `src` with an output block of `cap` bytes.
zresult zinflate(const bytes& src, size_t cap) {
    z_stream z{};
    EXPECT_EQ(inflateInit(&z), Z_OK);
    std::unique_ptr<uint8_t[]> out(new uint8_t[cap]);
    z.next_in = const_cast<Bytef*>(src.data());
    z.avail_in = uInt(src.size());
    z.next_out = out.get();
    z.avail_out = uInt(cap);
    int rc;
    do {
        rc = inflate(&z, Z_NO_FLUSH);
    } while (rc == Z_OK && z.avail_in > 0 && z.avail_out > 0);
    zresult res{rc, bytes(out.get(), out.get() + (cap - z.avail_out))};
    inflateEnd(&z);
    return res;
}

bool is_prefix(const bytes& p, const bytes& of) {
    return p.size() <= of.size() && std::equal(p.begin(), p.end(), of.begin());
}

// A stream decodes into a block of exactly its size, fails with INF_FULL
// in a block one byte smaller, and decodes into a larger block.
void check_sizes(const bytes& data, const bytes& z, prng& r, const std::string& what) {
    decoded exact = inflate_into(z, data.size());
    EXPECT_EQ(exact.rc, INF_OK) << what;
    EXPECT_TRUE(exact.out == data) << what;
    if (!data.empty()) {
        EXPECT_EQ(inflate_into(z, data.size() - 1).rc, INF_FULL) << what;
    }
    decoded roomy = inflate_into(z, data.size() + 1 + r.below(data.size() + 64));
    EXPECT_EQ(roomy.rc, INF_OK) << what;
    EXPECT_TRUE(roomy.out == data) << what;
}

// A stream cut at `cut` bytes gives INF_OK with exactly the bytes zlib
// decodes from the same bytes, which are a prefix of the data.
void check_cut(const bytes& data, const bytes& z, size_t cut, const std::string& what) {
    bytes t(z.begin(), z.begin() + long(cut));
    decoded d = inflate_into(t, data.size() + 64);
    if (cut < 2) {
        EXPECT_EQ(d.rc, INF_BAD) << what << " cut " << cut;
        return;
    }
    EXPECT_EQ(d.rc, INF_OK) << what << " cut " << cut;
    zresult zr = zinflate(t, data.size() + 64);
    EXPECT_TRUE(d.out == zr.out) << what << " cut " << cut << ": " << d.out.size() << " bytes, zlib "
                                 << zr.out.size();
    EXPECT_TRUE(is_prefix(d.out, data)) << what << " cut " << cut;
}

size_t random_size(prng& r) {
    uint64_t b = r.below(100);
    if (b < 45) return size_t(r.below(300));
    if (b < 80) return size_t(300 + r.below(8000));
    if (b < 99) return size_t(8000 + r.below(57000));
    return size_t(65536 + r.below(250000));
}

TEST(InflateZlib, RoundTrips) {
    prng r{1};
    const int inputs = 10000;
    for (int i = 0; i < inputs && !::testing::Test::HasFailure(); i++) {
        int kind = int(r.below(KINDS));
        bytes data = generate(r, kind, random_size(r));
        zparams p = random_params(r);
        bytes z = zdeflate(data, p);
        check_sizes(data, z, r,
                    "input " + std::to_string(i) + ": " + std::to_string(data.size()) + " bytes of " +
                        kind_name[kind] + ", " + describe(p));
    }
}

TEST(InflateZlib, LargeInputs) {
    struct row {
        int kind;
        size_t size;
        int level, strategy;
    } rows[] = {
        {TEXT, 4 << 20, 6, Z_DEFAULT_STRATEGY}, {TEXT, 3 << 20, 9, Z_FILTERED},
        {RANDOM, 2 << 20, 1, Z_DEFAULT_STRATEGY}, {RUNS, 3 << 20, 6, Z_RLE},
        {SKEWED, 1 << 20, 6, Z_HUFFMAN_ONLY},    {MIXED, 2 << 20, 0, Z_DEFAULT_STRATEGY},
        {MIXED, 2 << 20, 4, Z_FIXED},
    };
    prng r{4};
    for (const row& w : rows) {
        bytes data = generate(r, w.kind, w.size);
        zparams p;
        p.level = w.level;
        p.strategy = w.strategy;
        bytes z = zdeflate(data, p);
        std::string what = std::string(kind_name[w.kind]) + " " + std::to_string(w.size) + ", " + describe(p);
        check_sizes(data, z, r, what);
        for (int k = 0; k < 3; k++) check_cut(data, z, size_t(2 + r.below(z.size() - 2)), what);
    }
}

TEST(InflateZlib, TruncatedInputs) {
    prng r{2};
    for (int i = 0; i < 3000 && !::testing::Test::HasFailure(); i++) {
        int kind = int(r.below(KINDS));
        bytes data = generate(r, kind, size_t(r.below(r.below(4) ? 600 : 6000)));
        zparams p = random_params(r);
        bytes z = zdeflate(data, p);
        std::string what = "input " + std::to_string(i) + ": " + std::to_string(data.size()) + " bytes of " +
                           kind_name[kind] + ", " + describe(p);
        if (z.size() <= 48) {
            for (size_t cut = 0; cut < z.size(); cut++) check_cut(data, z, cut, what);
        } else {
            check_cut(data, z, z.size() - 4, what);  // no trailer
            check_cut(data, z, z.size() - 5, what);
            for (int k = 0; k < 6; k++) check_cut(data, z, size_t(r.below(z.size())), what);
        }
    }
}

// Damaged input: the result is INF_OK with exactly zlib's output up to the
// point where zlib finds the damage (or the input ends), or INF_FULL when
// zlib too fills the whole block.  Header damage is only required not to
// misbehave.
void check_damaged(const bytes& t, size_t cap, const bytes& orig_header, const std::string& what) {
    decoded d = inflate_into(t, cap);
    bool header_intact = t.size() >= 2 && t[0] == orig_header[0] && t[1] == orig_header[1];
    if (!header_intact) {
        EXPECT_TRUE(d.rc == INF_OK || d.rc == INF_FULL || d.rc == INF_BAD) << what;
        return;
    }
    zresult zr = zinflate(t, cap);
    if (d.rc == INF_OK) {
        EXPECT_TRUE(d.out == zr.out) << what << ": " << d.out.size() << " bytes, zlib " << zr.out.size()
                                     << " (" << zr.rc << ")";
    } else {
        EXPECT_EQ(d.rc, INF_FULL) << what;
        EXPECT_EQ(zr.out.size(), cap) << what << ": zlib rc " << zr.rc;
    }
}

TEST(InflateZlib, DamagedInputs) {
    prng r{3};
    for (int i = 0; i < 4000 && !::testing::Test::HasFailure(); i++) {
        int kind = int(r.below(KINDS));
        bytes data = generate(r, kind, size_t(r.below(r.below(4) ? 600 : 6000)));
        zparams p = random_params(r);
        bytes z = zdeflate(data, p);
        for (int k = 0; k < 4; k++) {
            bytes t = z;
            int flips = 1 + int(r.below(3));
            std::string what = "input " + std::to_string(i) + ", " + describe(p) + ", flipped bits";
            for (int f = 0; f < flips; f++) {
                size_t bit = size_t(r.below(t.size() * 8));
                t[bit / 8] ^= uint8_t(1u << (bit % 8));
                what += " " + std::to_string(bit);
            }
            check_damaged(t, 2 * data.size() + 256, z, what);
        }
    }
    // Random bytes behind a valid header.
    const bytes header = {0x78, 0x9c};
    for (int i = 0; i < 3000 && !::testing::Test::HasFailure(); i++) {
        bytes t = header;
        size_t n = size_t(r.below(i < 2000 ? 40 : 400));
        for (size_t k = 0; k < n; k++) t.push_back(uint8_t(r.next()));
        check_damaged(t, 4096, header, "random stream " + std::to_string(i));
    }
}

// Producers that flush without ever finishing leave no final block; the
// whole data decodes anyway.
TEST(InflateZlib, FlushedStreamsWithoutFinalBlock) {
    struct row {
        int flush;
        const char* name;
    } rows[] = {{Z_SYNC_FLUSH, "sync"}, {Z_FULL_FLUSH, "full"}, {Z_PARTIAL_FLUSH, "partial"}};
    prng r{5};
    for (const row& w : rows) {
        for (int i = 0; i < 40; i++) {
            int kind = int(r.below(KINDS));
            bytes data = generate(r, kind, size_t(r.below(20000)));
            zparams p = random_params(r);
            p.level2 = -2;
            p.flush = w.flush;
            p.flush_every = i % 2 ? size_t(1 + r.below(3000)) : 0;
            bytes z = zdeflate(data, p);
            std::string what = std::string(w.name) + " flush, input " + std::to_string(i) + ", " + describe(p);
            decoded d = inflate_into(z, data.size());
            EXPECT_EQ(d.rc, INF_OK) << what;
            EXPECT_TRUE(d.out == data) << what;
        }
    }
}

// The table-driven decoder against the bit-serial reference: the same
// result code and the same bytes for every input and output block size.
void check_same(const bytes& src, uint64_t cap, const std::string& what) {
    decoded fast = inflate_into(src, cap);
    std::unique_ptr<uint8_t[]> in(new uint8_t[src.size() + 1]);
    if (!src.empty()) std::memcpy(in.get(), src.data(), src.size());
    std::unique_ptr<uint8_t[]> out(new uint8_t[cap + 1]);
    uint64_t len = 0;
    int rc = bitserial::inflate_decompress(in.get(), src.size(), out.get(), cap, &len);
    EXPECT_EQ(fast.rc, rc) << what << ", block " << cap;
    EXPECT_TRUE(fast.out == bytes(out.get(), out.get() + len))
        << what << ", block " << cap << ": " << fast.out.size() << " bytes, reference " << len;
}

TEST(InflateTable, SameAsBitSerial) {
    // Each family makes streams and the output blocks to try them with.
    struct family {
        const char* name;
        int count;
        std::function<void(prng&, bytes& z, std::vector<uint64_t>& caps)> make;
    };
    auto zstream = [](prng& r, size_t n, bytes& data) {
        data = generate(r, int(r.below(KINDS)), n);
        return zdeflate(data, random_params(r));
    };
    const family families[] = {
        // Whole streams: the exact size, one short (full just at the end),
        // and blocks around the 266 bytes of room the fast loop needs.
        {"intact", 800,
         [&](prng& r, bytes& z, std::vector<uint64_t>& caps) {
             bytes data;
             z = zstream(r, random_size(r), data);
             uint64_t n = data.size();
             caps = {n, n ? n - 1 : 0, n + 1, n + 265, n + 266, n + 300, r.below(n + 1), r.below(600)};
         }},
        // Cut anywhere: the fast loop must stop where the reads begin to
        // need checking.
        {"truncated", 1000,
         [&](prng& r, bytes& z, std::vector<uint64_t>& caps) {
             bytes data;
             z = zstream(r, size_t(r.below(r.below(3) ? 3000 : 40000)), data);
             z.resize(size_t(2 + r.below(z.size() > 2 ? z.size() - 1 : 1)));
             caps = {data.size() + 300, data.size(), r.below(data.size() + 1)};
         }},
        // Flipped bits: invalid codes, distances too far, bad block types,
        // in the fast loop as well as near the end.
        {"damaged", 1500,
         [&](prng& r, bytes& z, std::vector<uint64_t>& caps) {
             bytes data;
             z = zstream(r, size_t(r.below(r.below(3) ? 3000 : 30000)), data);
             for (int f = 1 + int(r.below(4)); f > 0; f--) {
                 size_t bit = size_t(16 + r.below((z.size() - 2) * 8));
                 z[bit / 8] ^= uint8_t(1u << (bit % 8));
             }
             caps = {2 * data.size() + 300, data.size(), r.below(data.size() + 1)};
         }},
        // Random bytes behind a valid header: mostly garbage dynamic and
        // fixed blocks, some decoding for a while.
        {"random", 3000,
         [&](prng& r, bytes& z, std::vector<uint64_t>& caps) {
             z = {0x78, 0x9c};
             for (size_t n = size_t(r.below(r.below(4) ? 64 : 2000)); n > 0; n--) z.push_back(uint8_t(r.next()));
             caps = {1u << 16, r.below(400)};
         }},
    };
    prng r{6};
    for (const family& f : families) {
        for (int i = 0; i < f.count && !::testing::Test::HasFailure(); i++) {
            bytes z;
            std::vector<uint64_t> caps;
            f.make(r, z, caps);
            for (uint64_t cap : caps) check_same(z, cap, std::string(f.name) + " " + std::to_string(i));
        }
    }
}

// Every output block size from 0 to past the end, so that a full block is
// met in every state of the decoder (literal, copy, stored data, a block
// boundary, inside and outside the fast loop).
TEST(InflateTable, SameAsBitSerialForEveryBlockSize) {
    struct row {
        int kind;
        size_t size;
        int level, strategy;
    } rows[] = {
        {TEXT, 1500, 6, Z_DEFAULT_STRATEGY}, {RUNS, 1500, 6, Z_RLE},  {RANDOM, 700, 0, Z_DEFAULT_STRATEGY},
        {MIXED, 1500, 4, Z_FIXED},          {SKEWED, 1500, 9, Z_HUFFMAN_ONLY},
    };
    prng r{7};
    for (const row& w : rows) {
        bytes data = generate(r, w.kind, w.size);
        zparams p;
        p.level = w.level;
        p.strategy = w.strategy;
        bytes z = zdeflate(data, p);
        for (uint64_t cap = 0; cap <= data.size() + 300; cap++)
            check_same(z, cap, std::string(kind_name[w.kind]) + " " + describe(p));
    }
}

#endif  // HAVE_ZLIB

}  // namespace
}  // namespace pdftext
