// LZW decoder: code sequences for the format's corner cases, and round trips
// through an encoder written here (PDF flavour: codes of 9 to 12 bits, most
// significant bit first, early change).

#include "lzw/lzw.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace pdftext {
namespace {

using bytes = std::vector<uint8_t>;

struct decoded {
    int rc;
    bytes out;
};

// Decodes into a block of exactly `cap` bytes; input and output are heap
// blocks of exactly their size, so that the sanitizer build catches any
// access past either.
decoded lzw_into(const bytes& src, uint64_t cap) {
    std::unique_ptr<uint8_t[]> in(new uint8_t[src.size()]);
    if (!src.empty()) std::memcpy(in.get(), src.data(), src.size());
    std::unique_ptr<uint8_t[]> out(new uint8_t[cap]);
    uint64_t len = 0xdead;
    int rc = lzw_decompress(in.get(), src.size(), out.get(), cap, &len);
    if (rc != 0) return {rc, {}};
    EXPECT_LE(len, cap);
    if (len > cap) len = 0;
    return {rc, bytes(out.get(), out.get() + len)};
}

// Packs codes most significant bit first.
struct code_writer {
    bytes data;
    uint64_t acc = 0;
    unsigned n = 0;
    uint64_t total = 0;  // bits written
    void put(unsigned code, unsigned width) {
        acc = (acc << width) | code;
        n += width;
        total += width;
        while (n >= 8) {
            n -= 8;
            data.push_back(uint8_t(acc >> n));
        }
    }
    bytes finish() {
        if (n) data.push_back(uint8_t(acc << (8 - n)));
        n = 0;
        return data;
    }
};

struct coded {
    unsigned code, width;
};

bytes pack(const std::vector<coded>& codes) {
    code_writer w;
    for (const coded& c : codes) w.put(c.code, c.width);
    return w.finish();
}

// Literal codes 'a'..'z' repeated, `count` of each width in turn; each one
// after the first adds a table entry.
struct literal_run {
    std::vector<coded> codes;
    std::string text;
};
literal_run literals(std::initializer_list<std::pair<unsigned, unsigned>> counts_widths) {
    literal_run r;
    for (auto& cw : counts_widths)
        for (unsigned i = 0; i < cw.first; i++) {
            char c = char('a' + r.text.size() % 26);
            r.codes.push_back({unsigned(uint8_t(c)), cw.second});
            r.text += c;
        }
    return r;
}

// With early change the decoder reads the first 254 codes after a clear
// with 9 bits, the next 512 with 10, the next 1024 with 11, the rest with
// 12; after 3839 codes all 4096 entries are in use.
const std::initializer_list<std::pair<unsigned, unsigned>> to_full = {{254, 9}, {512, 10}, {1024, 11}, {2049, 12}};

TEST(Lzw, CodeSequences) {
    struct row {
        const char* why;
        std::vector<coded> codes;
        size_t cut;  // keep only this many bytes of the packed codes (0: all)
        uint64_t cap;
        int rc;
        std::string out;
    };
    auto with = [](literal_run r, std::vector<coded> tail, std::string more) {
        r.codes.insert(r.codes.end(), tail.begin(), tail.end());
        r.text += more;
        return std::make_pair(r.codes, r.text);
    };
    auto w10 = with(literals({{254, 9}}), {{'Z', 10}, {257, 10}}, "Z");
    auto w11 = with(literals({{254, 9}, {512, 10}}), {{'Z', 11}, {257, 11}}, "Z");
    auto w12 = with(literals({{254, 9}, {512, 10}, {1024, 11}}), {{'Z', 12}, {257, 12}}, "Z");
    auto reset = with(literals({{254, 9}}), {{256, 10}, {'B', 9}, {257, 9}}, "B");
    auto full = with(literals(to_full), {{'Z', 12}, {257, 12}}, "");
    auto full_clear = with(literals(to_full), {{256, 12}, {'Q', 9}, {'Q', 9}, {257, 9}}, "QQ");
    auto full_end = with(literals(to_full), {{257, 12}}, "");

    const std::vector<row> rows = {
        {"empty input", {}, 0, 16, 0, ""},
        {"clear, A, B, the new entry AB, end", {{256, 9}, {65, 9}, {66, 9}, {258, 9}, {257, 9}}, 0, 16, 0, "ABAB"},
        {"code equal to the next free entry right after the first code", {{65, 9}, {258, 9}, {257, 9}}, 0, 16, 0,
         "AAA"},
        {"no end-of-data code: the input's end ends the data", {{65, 9}, {66, 9}, {258, 9}}, 0, 16, 0, "ABAB"},
        {"a last code cut short is dropped", {{65, 9}, {66, 9}, {67, 9}}, 3, 16, 0, "AB"},
        {"bytes after end-of-data are ignored", {{65, 9}, {257, 9}, {66, 9}}, 0, 16, 0, "A"},
        {"output of exactly the block's size", {{65, 9}, {66, 9}, {258, 9}, {257, 9}}, 0, 4, 0, "ABAB"},
        {"output one byte larger than the block", {{65, 9}, {66, 9}, {258, 9}, {257, 9}}, 0, 3, -1, ""},
        {"a single byte into an empty block", {{65, 9}}, 0, 0, -1, ""},
        {"two clear codes in a row", {{256, 9}, {256, 9}, {65, 9}, {257, 9}}, 0, 16, 0, "A"},
        {"after 253 entries (next free 511) codes have 10 bits", w10.first, 0, 1024, 0, w10.second},
        {"after 765 entries (next free 1023) codes have 11 bits", w11.first, 0, 1024, 0, w11.second},
        {"after 1789 entries (next free 2047) codes have 12 bits", w12.first, 0, 4096, 0, w12.second},
        {"a clear code in the middle resets the width to 9", reset.first, 0, 1024, 0, reset.second},
        // Codes the encoder could not have sent: decoding stops with the
        // bytes before them.
        {"code above the next free entry", {{65, 9}, {66, 9}, {300, 9}, {65, 9}}, 0, 16, 0, "AB"},
        {"first code above 255", {{258, 9}, {65, 9}}, 0, 16, 0, ""},
        {"first code after a clear above 255", {{65, 9}, {256, 9}, {259, 9}, {65, 9}}, 0, 16, 0, "A"},
        {"all 4096 entries in use and no clear code", full.first, 0, 8192, 0, full.second},
        {"all 4096 entries in use, then a clear code", full_clear.first, 0, 8192, 0, full_clear.second},
        {"all 4096 entries in use, then end-of-data", full_end.first, 0, 8192, 0, full_end.second},
    };
    for (const row& r : rows) {
        bytes src = pack(r.codes);
        if (r.cut) src.resize(r.cut);
        decoded d = lzw_into(src, r.cap);
        EXPECT_EQ(d.rc, r.rc) << r.why;
        EXPECT_EQ(std::string(d.out.begin(), d.out.end()), r.out) << r.why;
    }
}

TEST(Lzw, OutputLengthMayBeNull) {
    bytes src = pack({{65, 9}, {257, 9}});
    uint8_t out[4];
    EXPECT_EQ(lzw_decompress(src.data(), src.size(), out, sizeof out, nullptr), 0);
    EXPECT_EQ(out[0], 'A');
}

struct lzw_options {
    bool clear_first = true;  // start with a clear code, as most producers do
    unsigned clear_at = 4096; // clear when the next free entry reaches this (0: never)
    unsigned clear_every = 0; // also clear after this many codes (0: never)
    bool end_code = true;
};

struct lzw_encoded {
    bytes data;
    std::vector<size_t> ends;       // input bytes covered after each data code
    std::vector<uint64_t> bit_ends; // bits written after each data code
};

// The encoder's next free entry runs one ahead of the decoder's (the
// decoder adds the entry for a code only when it reads the next one), so
// with early change the encoder widens its codes when its own next free
// entry reaches 512, 1024 and 2048.
lzw_encoded lzw_encode(const bytes& in, const lzw_options& o) {
    lzw_encoded e;
    code_writer w;
    std::unordered_map<uint32_t, unsigned> dict;  // prefix code << 8 | byte -> code
    unsigned next = 258;
    unsigned since_clear = 0;
    auto width = [&] { return next >= 2048 ? 12u : next >= 1024 ? 11u : next >= 512 ? 10u : 9u; };
    auto clear = [&] {
        w.put(256, width());
        dict.clear();
        next = 258;
        since_clear = 0;
    };
    if (o.clear_first) clear();
    if (!in.empty()) {
        unsigned cur = in[0];
        for (size_t i = 1;; i++) {
            if (i < in.size()) {
                auto it = dict.find(cur << 8 | in[i]);
                if (it != dict.end()) {
                    cur = it->second;
                    continue;
                }
            }
            w.put(cur, width());
            e.ends.push_back(i);
            e.bit_ends.push_back(w.total);
            since_clear++;
            if (i == in.size()) {
                if (next < 4096) next++;  // the entry the decoder adds for this code
                break;
            }
            if (next < 4096) dict[cur << 8 | in[i]] = next++;
            cur = in[i];
            if ((o.clear_at && next >= o.clear_at) || (o.clear_every && since_clear == o.clear_every)) clear();
        }
    }
    if (o.end_code) w.put(257, width());
    e.data = w.finish();
    return e;
}

// splitmix64, for inputs that are the same everywhere.
struct prng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
};

bytes text(size_t n, uint64_t seed) {
    static const char* const vocab[] = {"the ", "page ", "font ", "text ", "BT ", "ET\n", "(Hello) ",
                                        "12 ",  "Tf ",   "0 0 1 rg\n", "[(W) 80 (orld)] TJ\n"};
    prng r{seed};
    bytes out;
    while (out.size() < n) {
        const char* w = vocab[r.next() % (sizeof vocab / sizeof vocab[0])];
        out.insert(out.end(), w, w + std::strlen(w));
    }
    out.resize(n);
    return out;
}

bytes noise(size_t n, uint64_t seed) {
    prng r{seed};
    bytes out(n);
    for (auto& b : out) b = uint8_t(r.next());
    return out;
}

TEST(Lzw, RoundTrips) {
    lzw_options dflt, no_start, tiff, every300, every1500, no_end, never;
    no_start.clear_first = false;
    tiff.clear_at = 4094;
    every300.clear_every = 300;
    every1500.clear_every = 1500;
    no_end.end_code = false;
    never.clear_at = 0;
    bytes mixed = text(30000, 5);
    bytes tail = noise(20000, 6);
    mixed.insert(mixed.end(), tail.begin(), tail.end());

    struct row {
        const char* why;
        bytes data;
        lzw_options opts;
    };
    const std::vector<row> rows = {
        {"empty input", {}, dflt},
        {"one byte", {'x'}, dflt},
        {"text, the table filling several times", text(200000, 1), dflt},
        {"random bytes, no clear code at the start", noise(60000, 2), no_start},
        {"text, clearing two entries early", text(100000, 3), tiff},
        {"mixed, clear codes every 300 codes (width 10 never reached)", mixed, every300},
        {"mixed, clear codes every 1500 codes (from width 11)", mixed, every1500},
        {"text without end-of-data code", text(50000, 4), no_end},
        {"text without any clear code, the table not filling", text(8000, 7), never},
        {"one byte repeated: strings up to the longest possible (3839 bytes)", bytes(7400000, 'a'), dflt},
    };
    for (const row& r : rows) {
        lzw_encoded e = lzw_encode(r.data, r.opts);
        decoded exact = lzw_into(e.data, r.data.size());
        EXPECT_EQ(exact.rc, 0) << r.why;
        EXPECT_TRUE(exact.out == r.data) << r.why << ": " << exact.out.size() << " of " << r.data.size();
        if (!r.data.empty()) {
            EXPECT_EQ(lzw_into(e.data, r.data.size() - 1).rc, -1) << r.why;
        }
    }
}

// Without clear codes the table fills after 3839 codes; the next code that
// is not clear or end-of-data ends decoding with the bytes before it.
TEST(Lzw, FullTableWithoutClearStops) {
    lzw_options never;
    never.clear_at = 0;
    for (const bytes& data : {text(100000, 8), noise(30000, 9)}) {
        lzw_encoded e = lzw_encode(data, never);
        ASSERT_GT(e.ends.size(), 3839u);
        size_t kept = e.ends[3838];
        decoded d = lzw_into(e.data, data.size());
        EXPECT_EQ(d.rc, 0);
        EXPECT_EQ(d.out.size(), kept);
        EXPECT_TRUE(std::equal(d.out.begin(), d.out.end(), data.begin()));
    }
}

// Arbitrary bytes decode without reading or writing outside the buffers
// (sanitizer build) and give either the bytes decoded or -1.
TEST(Lzw, ArbitraryInput) {
    prng r{10};
    for (int i = 0; i < 3000; i++) {
        bytes src = noise(size_t(r.next() % 3000), r.next());
        uint64_t cap = r.next() % 20000;
        decoded d = lzw_into(src, cap);
        EXPECT_TRUE(d.rc == 0 || d.rc == -1);
    }
    // Damaged encoder output: the codes before the damaged one still give
    // their bytes.
    bytes data = text(40000, 11);
    lzw_encoded e = lzw_encode(data, lzw_options{});
    for (int i = 0; i < 300; i++) {
        bytes t = e.data;
        uint64_t bit = r.next() % (t.size() * 8);
        t[bit / 8] ^= uint8_t(0x80u >> (bit % 8));
        size_t intact = 0;
        for (size_t k = 0; k < e.bit_ends.size() && e.bit_ends[k] <= bit; k++) intact = e.ends[k];
        decoded d = lzw_into(t, 2 * data.size());
        ASSERT_TRUE(d.rc == 0 || d.rc == -1) << "bit " << bit;
        if (d.rc == 0) {
            EXPECT_GE(d.out.size(), intact) << "bit " << bit;
            EXPECT_TRUE(std::equal(data.begin(), data.begin() + long(std::min(intact, d.out.size())),
                                   d.out.begin()))
                << "bit " << bit;
        }
    }
}

}  // namespace
}  // namespace pdftext
