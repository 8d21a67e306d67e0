// ToUnicode CMaps: the hex and UTF-16 decoders, the bfchar/bfrange reader,
// the store's growth and limits, and the codespace rule of encoding CMaps.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "font/font.h"

using namespace pdftext;

namespace {

using cps = std::vector<int32_t>;

const uint8_t* u8(const std::string& s) { return (const uint8_t*)s.data(); }

// What the text path finds for a code: nothing, one code point or a
// sequence from the pool.
cps lookup(const font& f, uint32_t code) {
    if (!f.tu_index || code >= (uint32_t)f.tu_index_size) return {};
    int32_t v = f.tu_index[code];
    if (v == 0) return {};
    if (v > 0) return {v};
    int32_t p = (int32_t)((uint32_t)v & 0x7FFFFFFFu);
    EXPECT_LT(p, f.tu_pool_len);
    if (p >= f.tu_pool_len) return {};
    int32_t n = f.tu_pool[p];
    EXPECT_GE(n, 1);
    EXPECT_LE(n, 16);
    EXPECT_LE(p + n, f.tu_pool_len - 1);
    return cps(f.tu_pool + p + 1, f.tu_pool + p + 1 + n);
}

struct font_guard {
    font f;
    font_guard() = default;
    font_guard(const font_guard&) = delete;
    font_guard& operator=(const font_guard&) = delete;
    ~font_guard() { font_release(&f); }
};

void read(font* f, const std::string& cmap) { read_tounicode(f, u8(cmap), (int)cmap.size()); }

std::string bfchar(const std::string& body) { return "beginbfchar\n" + body + "\nendbfchar\n"; }
std::string bfrange(const std::string& body) { return "beginbfrange\n" + body + "\nendbfrange\n"; }

}  // namespace

TEST(CmHex, Decodes) {
    struct row {
        std::string in;  // starts with '<'
        int max;
        std::vector<uint8_t> bytes;
        int ret;  // -1: the end of the input
        const char* why;
    };
    const row rows[] = {
        {"<0041>", 8, {0x00, 0x41}, 6, "two bytes"},
        {"<4>", 8, {0x40}, 3, "a lone digit is a high nibble"},
        {"<abC>x", 8, {0xAB, 0xC0}, 5, "either case, left-over digit"},
        {"< 00\n4 1 zz>", 8, {0x00, 0x41}, 12, "white space and other bytes ignored"},
        {"<>", 8, {}, 2, "empty"},
        {"<0102030405>", 2, {0x01, 0x02}, 12, "bytes past max are read and dropped"},
        {"<010>", 1, {0x01}, 5, "no room for the left-over digit"},
        {"<0041", 8, {0x00, 0x41}, -1, "unterminated: the end is returned"},
        {"<004", 8, {0x00, 0x40}, -1, "unterminated with a left-over digit"},
        {"<", 8, {}, -1, "nothing after the '<'"},
    };
    for (const row& r : rows) {
        uint8_t out[64] = {};
        int count = -7;
        int ret = cm_hex(u8(r.in), (int)r.in.size(), 0, out, r.max, &count);
        EXPECT_EQ(ret, r.ret < 0 ? (int)r.in.size() : r.ret) << r.why;
        EXPECT_EQ(std::vector<uint8_t>(out, out + (count > 0 ? count : 0)), r.bytes) << r.why;
    }
}

TEST(CmUtf16, Decodes) {
    struct row {
        std::vector<uint8_t> in;
        cps out;
        const char* why;
    };
    const row rows[] = {
        {{}, {}, "no bytes"},
        {{0x41}, {0x41}, "one byte is Latin-1"},
        {{0xE9}, {0xE9}, "one byte is Latin-1"},
        {{0x00, 0x41, 0x04, 0x10}, {0x41, 0x410}, "two BMP units"},
        {{0xD8, 0x35, 0xDC, 0x00}, {0x1D400}, "surrogate pair"},
        {{0xDB, 0xFF, 0xDF, 0xFF}, {0x10FFFF}, "highest pair"},
        {{0xD8, 0x35}, {0xFFFD}, "high surrogate at the end"},
        {{0xD8, 0x35, 0x00}, {0xFFFD}, "high surrogate, odd byte after it"},
        {{0xD8, 0x35, 0x00, 0x41}, {0xFFFD, 0x41}, "unit after a lone high is decoded"},
        {{0xDC, 0x00}, {0xFFFD}, "lone low surrogate"},
        {{0x00, 0x41, 0x00}, {0x41}, "odd final byte ignored"},
    };
    for (const row& r : rows) {
        int32_t out[16];
        int n = cm_utf16(r.in.data(), (int)r.in.size(), out);
        EXPECT_EQ(cps(out, out + n), r.out) << r.why;
    }
    // 20 units: the first 16 are kept, nothing is written past them.
    uint8_t units[40];
    for (int i = 0; i < 20; i++) {
        units[2 * i] = 0;
        units[2 * i + 1] = (uint8_t)('a' + i);
    }
    int32_t out[17];
    out[16] = -5;
    ASSERT_EQ(cm_utf16(units, 40, out), 16);
    EXPECT_EQ(out[15], 'a' + 15);
    EXPECT_EQ(out[16], -5);
}

TEST(ReadToUnicode, Entries) {
    struct row {
        std::string cmap;
        std::vector<std::pair<uint32_t, cps>> want;  // {} = unmapped
        const char* why;
    };
    const cps none;
    const row rows[] = {
        {bfchar("<01> <0041>"), {{1, {0x41}}, {2, none}}, "single code point"},
        {bfchar("<0003> <00660066006C>"), {{3, {0x66, 0x66, 0x6C}}}, "sequence"},
        {bfchar("<0005> <D835DC00> <0006> <D835> <0007> <DC00>"),
         {{5, {0x1D400}}, {6, {0xFFFD}}, {7, {0xFFFD}}},
         "surrogates"},
        {bfchar("<0008> <41>"), {{8, {0x41}}}, "one-byte destination"},
        {bfchar("<0009> <0000>"), {{9, {0}}}, "code point 0 is a one-element sequence"},
        {bfchar("<012345> <0041>"), {{0x0123, none}, {0x2345, none}},
         "three-byte source above 0xFFFF is dropped"},
        {bfchar("<00000041> <0042>"), {{0x41, {0x42}}}, "four-byte source"},
        {bfchar("<0000004142> <0043>"), {{0x41, {0x43}}}, "only the first four bytes count"},
        {bfchar("<80000041> <0042> <0000FFFF> <0044> <FFFFFFFF> <0043>"),
         {{0x41, none}, {0xFFFF, {0x44}}},
         "sources above 0x7FFFFFFF never wrap into the table"},
        {bfchar("<0001> <0041> <0001> <0042>"), {{1, {0x42}}}, "a later mapping replaces"},
        {bfchar("<01>\x0b<0041>\f<02>\t<0042>"), {{1, {0x41}}, {2, {0x42}}},
         "entry parts separated by VT, FF, HT"},
        {bfchar("<01> /space <02> <0042>"), {{1, none}, {2, {0x42}}},
         "glyph-name destination maps nothing"},
        {bfchar("<01> 7 <02> <0042>"), {{1, none}, {2, {0x42}}}, "junk destination"},
        {"<01> <0041>", {{1, none}}, "outside a block"},
        {"% beginbfchar\n<01> <0041>\n", {{1, none}}, "keyword inside a comment"},
        {bfchar("<01> <0041>") + "<02> <0042>", {{1, {0x41}}, {2, none}}, "after endbfchar"},
        {"beginbfchar <01> <0041> endbfrange <02> <0042>", {{1, {0x41}}, {2, none}},
         "either end keyword closes the block"},
        {"beginbfchar <01> <0041> <02> <00", {{1, {0x41}}, {2, {0}}},
         "unterminated destination: decoded up to the end"},
        {"beginbfchar <01> <0041> <02>", {{1, {0x41}}, {2, none}}, "entry cut off"},
        {"beginbfchar <01> <0041> <02", {{1, {0x41}}, {2, none}}, "source cut off"},
        {bfrange("<0020> <0022> <0041>"),
         {{0x1F, none}, {0x20, {0x41}}, {0x21, {0x42}}, {0x22, {0x43}}, {0x23, none}},
         "range with one destination"},
        {bfrange("<0030> <0031> <00660069>"), {{0x30, {0x66, 0x69}}, {0x31, {0x66, 0x6A}}},
         "the last code point counts up"},
        {bfrange("<0010> <0012> [<0061> <0062>]"),
         {{0x10, {0x61}}, {0x11, {0x62}}, {0x12, none}},
         "array shorter than the range"},
        {bfrange("<0010> <0011> [<0061> <0062> <0063>] <0012> <0012> <0064>"),
         {{0x10, {0x61}}, {0x11, {0x62}}, {0x12, {0x64}}},
         "extra array destination read and dropped"},
        {bfrange("<0005> <0003> <0041>"), {{5, {0x41}}, {4, none}, {3, none}},
         "high below low: the low code only"},
        {bfrange("<0007> <> <0041>"), {{7, {0x41}}, {8, none}}, "empty high end"},
        {bfrange("<0000> <FFFF> <0041>"), {{0, {0x41}}, {0xFFFF, {0x41 + 0xFFFF}}},
         "a range of 65536 codes"},
        {bfrange("<0000> <00010000> <0041>"), {{0, {0x41}}, {1, none}},
         "65537 codes: the low code only"},
        {bfrange("<00000000> <FFFFFFFF> <0041>"), {{0, {0x41}}, {1, none}},
         "difference near 2^32: the low code only"},
        {bfrange("<FFFE> <00010001> <0041>"), {{0xFFFE, {0x41}}, {0xFFFF, {0x42}}},
         "codes above 0xFFFF are not stored"},
        {bfrange("<FFFFFF00> <FFFFFFFF> <0041> <80000000> <80000001> [<0041> <0042>]"),
         {{0xFF00, none}, {0xFFFF, none}, {0, none}, {1, none}},
         "ranges above 0x7FFFFFFF never wrap"},
        {bfrange("<0001> <0002> <>"), {{1, none}, {2, none}}, "empty destination"},
        {bfrange("<0001> <0002> [<0061> <0062>"), {{1, {0x61}}, {2, {0x62}}},
         "unterminated array"},
        {bfrange("<0001> <0003> /x <0004> <0004> <0044>"), {{1, none}, {4, {0x44}}},
         "junk instead of a destination"},
    };
    for (const row& r : rows) {
        font_guard g;
        read(&g.f, r.cmap);
        for (const auto& w : r.want) EXPECT_EQ(lookup(g.f, w.first), w.second) << r.why << " code " << w.first;
    }
}

TEST(ReadToUnicode, DirectAndPooledStorage) {
    font_guard g;
    read(&g.f, bfchar("<01> <0041> <03> <00660066006C> <04> <0000>"));
    EXPECT_EQ(g.f.tu_index_size, 256);
    EXPECT_EQ(g.f.tu_index[1], 0x41);    // direct
    EXPECT_LT(g.f.tu_index[3], 0);       // pooled
    EXPECT_EQ(g.f.tu_pool_len, 4 + 2);  // n + 3 points, then n + 1 point
}

TEST(TuSet, IndexGrowth) {
    struct step {
        uint32_t code;
        int32_t size;
    };
    const int32_t cp = 0x41;
    const std::vector<std::vector<step>> seqs = {
        {{0, 256}, {255, 256}, {256, 512}},
        {{300, 512}, {70, 512}, {1000, 1024}},
        {{256, 512}, {511, 512}, {512, 1024}},
        {{5, 256}, {4000, 4096}},
        {{0xFFFF, 65536}, {0x10000, 65536}, {0xFFFFFFFFu, 65536}},
        {{0x10000, 0}},
    };
    for (const auto& seq : seqs) {
        font_guard g;
        for (const step& s : seq) {
            tu_set(&g.f, s.code, &cp, 1);
            EXPECT_EQ(g.f.tu_index_size, s.size) << "code " << s.code;
        }
        // Entries never set stay 0.
        for (int32_t i = 0; i < g.f.tu_index_size; i++) {
            bool set = false;
            for (const step& s : seq) set |= s.code == (uint32_t)i;
            if (!set) {
                ASSERT_EQ(g.f.tu_index[i], 0) << i;
            }
        }
    }
    font_guard g;
    tu_set(&g.f, 5, &cp, 0);
    EXPECT_EQ(g.f.tu_index, nullptr) << "n = 0 stores nothing";
}

TEST(TuSet, PoolIsCapped) {
    // A code mapped again leaves its old sequence behind; the pool stops
    // at TU_POOL_MAX slots and later sequences are dropped.
    font_guard g;
    int32_t seq[16];
    for (int i = 0; i < 16; i++) seq[i] = 0x61 + i;
    int64_t stored = 0;
    for (int64_t i = 0; i < TU_POOL_MAX / 17 + 10; i++) {
        int32_t len = g.f.tu_pool_len;
        tu_set(&g.f, (uint32_t)(i & 0xFFFF), seq, 16);
        if (g.f.tu_pool_len == len) break;
        stored++;
    }
    EXPECT_EQ(g.f.tu_pool_len, stored * 17);
    EXPECT_GT(g.f.tu_pool_len + 17, TU_POOL_MAX) << "filled up to the cap";
    EXPECT_LE(g.f.tu_pool_len, TU_POOL_MAX);
    EXPECT_LE(g.f.tu_pool_cap, TU_POOL_MAX);
    const cps old = lookup(g.f, 7);
    seq[0] = 0x7A;
    for (int i = 0; i < 1000; i++) tu_set(&g.f, 7, seq, 16);
    EXPECT_LE(g.f.tu_pool_len, TU_POOL_MAX);
    EXPECT_EQ(lookup(g.f, 7), old) << "a dropped mapping leaves the old one";
    // Single code points live in the index and are still stored.
    int32_t one = 0x31;
    tu_set(&g.f, 7, &one, 1);
    EXPECT_EQ(lookup(g.f, 7), cps{0x31});
}

TEST(ReadToUnicode, HostileRangesStayBounded) {
    // Repeated full ranges with 16-unit destinations: the range budget
    // stops the work and the pool stays under its cap.
    std::string dst = "<";
    for (int i = 0; i < 16; i++) dst += "0061";
    dst += ">";
    std::string body;
    for (int i = 0; i < 200; i++) body += "<0000> <FFFF> " + dst + "\n";
    font_guard g;
    read(&g.f, bfrange(body));
    EXPECT_LE(g.f.tu_pool_len, TU_POOL_MAX);
    EXPECT_EQ(g.f.tu_index_size, 65536);
    cps first(16, 0x61);
    first[15] = 0x61 + 0xFFFF;
    EXPECT_EQ(lookup(g.f, 0xFFFF), first);

    // The budget covers RANGE_BUDGET codes (whole ranges here); the next
    // range stores nothing.
    std::string many;
    for (int64_t i = 0; i < RANGE_BUDGET / 65536; i++) many += "<0000> <FFFF> <0041>\n";
    many += "<0000> <FFFF> <0061>\n";
    font_guard h;
    read(&h.f, bfrange(many));
    EXPECT_EQ(lookup(h.f, 0), cps{0x41});
    // bfchar entries are not charged to the range budget.
    read(&h.f, bfrange(many) + bfchar("<0000> <0062>"));
    EXPECT_EQ(lookup(h.f, 0), cps{0x62});
}

TEST(ReadToUnicode, ManyBfcharEntries) {
    std::string body;
    char line[64];
    for (int i = 0; i < 100000; i++) {
        snprintf(line, sizeof line, "<%04X> <%04X%04X>\n", i & 0xFFFF, 0x41 + (i % 26), i >> 16);
        body += line;
    }
    font_guard g;
    read(&g.f, bfchar(body));
    EXPECT_EQ(lookup(g.f, 0), (cps{0x41 + (65536 % 26), 1}));  // remapped by entry 65536
    EXPECT_EQ(lookup(g.f, 65535), (cps{0x41 + (65535 % 26), 0}));
    EXPECT_EQ(g.f.tu_pool_len, 100000 * 3);
}

TEST(ReadCodespace, OneByteCodes) {
    struct row {
        std::string cmap;
        int one_byte;
        const char* why;
    };
    const row rows[] = {
        {"1 begincodespacerange\n<00> <FF>\nendcodespacerange", 1, "one-byte range"},
        {"1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange", 0, "two-byte range"},
        {"2 begincodespacerange <0000> <7FFF> <80> <FF> endcodespacerange", 0,
         "only the first range decides"},
        {"2 begincodespacerange <8> <FF> endcodespacerange", 1, "a lone digit is one byte"},
        {"begincodespacerange", 0, "keyword at the very end"},
        {"begincodespacerange <00", 1, "unterminated bound"},
        {"begincodespacerange 00 FF", 0, "no '<'"},
        {"begincidrange <00> <FF> 1 endcidrange", 0, "no codespace"},
    };
    for (const row& r : rows) {
        font_guard g;
        read_codespace(&g.f, u8(r.cmap), (int)r.cmap.size());
        EXPECT_EQ(g.f.one_byte_codes, r.one_byte) << r.why;
    }
}
