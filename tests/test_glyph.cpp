// Glyph placement and UTF-8 output, on hand-made fonts and states.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "text/text.h"

using namespace pdftext;

namespace {

std::string text_of(const interp_state& st) {
    return st.out.data ? std::string((const char*)st.out.data, (size_t)st.out.len) : "";
}

std::string utf8(uint32_t cp) {
    buf b{};
    utf8_emit(&b, cp);
    std::string s = b.data ? std::string((const char*)b.data, (size_t)b.len) : "";
    buf_free(&b);
    return s;
}

// A simple font whose every code is `w` thousandths wide, with `a` = 500
// and the space 250 (Helvetica-like round figures).
struct simple_font {
    int16_t widths[256];
    font f;
    explicit simple_font(int16_t w = 600) {
        for (auto& x : widths) x = w;
        widths['a'] = 500;
        widths['b'] = 500;
        widths[' '] = 250;
        f.kind = 0;
        f.widths = widths;
    }
};

}  // namespace

TEST(Utf8Emit, Encodings) {
    struct row {
        uint32_t cp;
        std::string bytes;
        const char* why;
    } rows[] = {
        {0, "", "code point 0 gives nothing"},
        {0x41, "A", "ASCII is one byte"},
        {0xE9, "\xC3\xA9", "two-byte form"},
        {0x20AC, "\xE2\x82\xAC", "three-byte form"},
        {0x1F600, "\xF0\x9F\x98\x80", "four-byte form"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF", "highest code point"},
        {0xD800, "\xEF\xBF\xBD", "high surrogate is not UTF-8: U+FFFD"},
        {0x110000, "\xEF\xBF\xBD", "beyond U+10FFFF: U+FFFD"},
        {0xFFFFFFFFu, "\xEF\xBF\xBD", "a negative pool value seen unsigned: U+FFFD"},
        {0x0C, "", "a form feed would split the page: dropped"},
        {0x0A, "\n", "other controls pass (only code-value fallbacks drop them)"},
    };
    for (const row& r : rows) EXPECT_EQ(utf8(r.cp), r.bytes) << r.why;
}

// Two glyphs: the first placed at (0, 0) with advance a0, the second at
// (x, y).  What goes between them depends on the line test (dy against
// min(0.5, t)) and the space test (gap against 0.05 and 0.12 of the base,
// one space per half base).
TEST(GlyphLayout, LineAndSpaceRule) {
    const double inf = std::numeric_limits<double>::infinity();
    struct row {
        double size, scale_x, scale_y, a0, x, y;
        std::string between;
        const char* why;
    } rows[] = {
        {12, 1, 1, 6, 6, 0.4, "", "t = 0.2 x 12 = 2.4, capped at 0.5: 0.4 stays on the line"},
        {12, 1, 1, 6, 6, 0.6, "\n", "0.6 > 0.5: new line (moves up count too)"},
        {12, 1, 1, 6, 6, -30, "\n", "30 down is one line feed, never blank lines"},
        {2, 1, 1, 1, 1, 0.45, "\n", "size 2: t = 0.4 < 0.5, so 0.45 breaks"},
        {1, 12, 12, 0, 0, 0.49, "", "size 1, scale 12: t = 2 x 12 = 24, capped at 0.5"},
        {1, 12, 12, 0, 14.3, 0, "", "size 1, scale 12: base = 10 x 12 = 120; 14.3 <= 0.12 x 120"},
        {1, 12, 12, 0, 14.5, 0, " ", "14.5 > 14.4: 14.5 / 60 + 0.5 = 0.74, at least 1"},
        {10, 1, 1, 5, 6.1, 0, "", "gap 1.1 <= 0.12 x 10 = 1.2"},
        {10, 1, 1, 5, 6.3, 0, " ", "gap 1.3: 1.3 / 5 + 0.5 = 0.76, at least 1"},
        {10, 1, 1, 5, 17, 0, "  ", "gap 12: 12 / 5 + 0.5 = 2.9 -> 2"},
        {10, 1, 1, 5, 65, 0, "        ", "gap 60: 12.5 -> at most 8"},
        {10, 1, 1, 5, 2, 0, "", "overlap (gap -3) gives nothing"},
        {10, 0, 0, 5, 6.3, 0, " ", "scales 0 (no BT yet) count as 1"},
        {10, 2, 1, 10, 12.5, 0, " ", "scale_x 2: gap 2.5 > 2.4"},
        {10, 1, 1, 5, 1e300, 0, "        ", "a huge gap is clamped to 8 before the count"},
        {10, 1, 1, 5, inf, 0, "        ", "an infinite gap gives 8 spaces, no UB"},
        {10, 1, 1, 5, std::nan(""), 0, "", "a NaN position gives nothing"},
        {1e308, 10, 1, 0, 1e300, 0, "", "an infinite base: no gap exceeds it"},
    };
    for (const row& r : rows) {
        interp_state st;
        st.font_size = r.size;
        st.scale_x = r.scale_x;
        st.scale_y = r.scale_y;
        glyph_layout(&st, r.a0);
        EXPECT_EQ(st.prev_end_x, r.a0);
        EXPECT_EQ(text_of(st), "") << "first glyph of a page: " << r.why;
        st.x = r.x;
        st.y = r.y;
        glyph_layout(&st, 1.0);
        EXPECT_EQ(text_of(st), r.between) << r.why;
    }
}

TEST(EmitGlyphs, SimpleAdvances) {
    simple_font sf;
    struct row {
        double size, scale_x, hscale;
        bool no_widths;
        const char* s;
        double x_after;
        const char* why;
    } rows[] = {
        {12, 1, 0, false, "ab", 12, "500 / 1000 x 12 = 6 per glyph"},
        {12, 2, 0, false, "ab", 24, "x scale_x 2: 12 per glyph"},
        {12, 2, 0.5, false, "ab", 12, "x hscale 0.5: 6 per glyph"},
        {12, 1, 0, true, "zz", 12, "no widths: half the size, 6 per glyph"},
    };
    for (const row& r : rows) {
        interp_state st;
        st.font_size = r.size;
        st.scale_x = r.scale_x;
        st.hscale = r.hscale;
        font f = sf.f;
        if (r.no_widths) f.widths = nullptr;
        emit_glyphs(&st, f, (const uint8_t*)r.s, (int)strlen(r.s));
        EXPECT_DOUBLE_EQ(st.x, r.x_after) << r.why;
        EXPECT_EQ(text_of(st), r.s) << r.why;
    }
}

// Character spacing opens a gap after every glyph; word spacing widens the
// space glyph itself (code 32), so it adds no space of its own.
TEST(EmitGlyphs, CharAndWordSpacing) {
    simple_font sf;
    struct row {
        double tc, tw, scale_x, hscale;
        const char* s;
        std::string out;
        const char* why;
    } rows[] = {
        {0, 0, 1, 0, "ab", "ab", "no spacing: gap 0"},
        {1, 0, 1, 0, "ab", "ab", "Tc 1 at size 10: gap 1 <= 1.2"},
        {3, 0, 1, 0, "ab", "a b", "Tc 3: gap 3 > 1.2, 3 / 5 + 0.5 = 1.1 -> 1 (ps2pdf's word gap)"},
        {3, 0, 1, 0.3, "ab", "ab", "Tc scaled by hscale: 3 x 0.3 = 0.9 <= 1.2"},
        {1.3, 0, 2, 0, "ab", "a b", "Tc 1.3 x scale 2 = 2.6 > 2.4"},
        {-0.5, 0, 1, 0, "ab", "ab", "negative Tc: overlap, nothing"},
        {0, 4, 1, 0, "a b", "a b", "Tw 4 ends the space glyph later: b's gap is 0"},
        {0, 4, 1, 0, "ab", "ab", "Tw applies to code 32 only"},
        {0, -2.5, 1, 0, "a  b", "a  b", "negative Tw: the spaces overlap, no extra"},
    };
    for (const row& r : rows) {
        interp_state st;
        st.font_size = 10;
        st.scale_x = r.scale_x;
        st.hscale = r.hscale;
        st.char_spacing = r.tc;
        st.word_spacing = r.tw;
        emit_glyphs(&st, sf.f, (const uint8_t*)r.s, (int)strlen(r.s));
        EXPECT_EQ(text_of(st), r.out) << r.why;
    }
}

TEST(EmitGlyphs, WordSpacingByteCodesOnly) {
    // Two-byte composite code 0x0020 is not the single-byte code 32.
    font f;
    f.kind = 1;
    f.default_width = 500;
    interp_state st;
    st.font_size = 10;
    st.word_spacing = 4;
    const uint8_t two[] = {0, 'a', 0, ' ', 0, 'b'};
    emit_glyphs(&st, f, two, 6);
    EXPECT_DOUBLE_EQ(st.x, 15);  // 3 x 500 / 1000 x 10, no word spacing
    interp_state st1;
    st1.font_size = 10;
    st1.word_spacing = 4;
    f.one_byte_codes = 1;
    emit_glyphs(&st1, f, (const uint8_t*)"a b", 3);
    EXPECT_DOUBLE_EQ(st1.x, 19);  // 15 plus the word spacing of the one-byte 32
    EXPECT_EQ(text_of(st1), "a b");
}

TEST(EmitGlyphs, CompositeCodes) {
    int16_t cw[3] = {-1, 250, 750};  // CID 0 not given, CID 1 = 250, CID 2 = 750
    struct row {
        int one_byte;
        std::vector<uint8_t> s;
        std::string out;
        double x_after;
        const char* why;
    } rows[] = {
        {0, {0x00, 0x41}, "A", 10, "0x0041: default width 1000 x 10 / 1000"},
        {0, {0xD8, 0x34}, "\xEF\xBF\xBD", 10, "a surrogate code without ToUnicode: U+FFFD"},
        {0, {0x00, 0x01, 0x00, 0x02}, "", 10, "CIDs 1 and 2: 2.5 + 7.5; U+0001 and U+0002 give nothing"},
        {0, {0x00, 0x00}, "", 10, "CID 0: width -1 means default; code 0 gives nothing"},
        {0, {0x00, 0x41, 0x00}, "A", 10, "odd length: the trailing byte is ignored"},
        {0, {0x41}, "", 0, "shorter than one code: nothing placed"},
        {0, {0x00, 0x0D, 0x00, 0x0C}, "", 20, "CR and FF from the code value: nothing, still placed"},
        {1, {0x41, 0x42}, "AB", 20, "one-byte codes take every byte"},
    };
    for (const row& r : rows) {
        font f;
        f.kind = 1;
        f.one_byte_codes = r.one_byte;
        f.cid_widths = cw;
        f.cid_width_count = 3;
        interp_state st;
        st.font_size = 10;
        emit_glyphs(&st, f, r.s.data(), (int)r.s.size());
        EXPECT_EQ(text_of(st), r.out) << r.why;
        EXPECT_DOUBLE_EQ(st.x, r.x_after) << r.why;
    }
}

TEST(EmitGlyphs, SimpleFontText) {
    uint16_t diffs[256] = {};
    diffs[0x80] = 0x2022;  // bullet
    diffs[0x0B] = 0xFB00;  // TeX's ff ligature at code 11
    struct row {
        int kind, winansi;
        bool with_diffs;
        uint8_t b;
        std::string out;
        const char* why;
    } rows[] = {
        {0, 1, false, 0x80, "\xE2\x82\xAC", "Windows-1252: 0x80 is the euro sign"},
        {0, 1, false, 0x81, "\xC2\x81", "0x81 is unassigned in Windows-1252: itself"},
        {0, 1, false, 0x93, "\xE2\x80\x9C", "0x93 is the left double quotation mark"},
        {2, 1, false, 0x93, "\xE2\x80\x9C", "an unclassified font with WinAnsi maps too"},
        {0, 0, false, 0x80, "\xC2\x80", "without winansi the byte is Latin-1"},
        {0, 1, true, 0x80, "\xE2\x80\xA2", "a Differences entry wins over Windows-1252"},
        {0, 0, true, 0x0B, "\xEF\xAC\x80", "a Differences entry at a control code is kept"},
        {0, 0, false, 0x0D, "", "CR as the code's own value: nothing"},
        {0, 0, false, 0x0C, "", "form feed: nothing"},
        {0, 0, false, 0x7F, "", "DEL: nothing"},
        {0, 0, false, 0xE9, "\xC3\xA9", "Latin-1 e acute"},
    };
    for (const row& r : rows) {
        simple_font sf;
        font f = sf.f;
        f.kind = r.kind;
        f.winansi = (uint8_t)r.winansi;
        if (r.with_diffs) f.differences = diffs;
        interp_state st;
        st.font_size = 10;
        uint8_t s[2] = {'a', r.b};
        emit_glyphs(&st, f, s, 2);
        EXPECT_EQ(text_of(st), "a" + r.out) << r.why;
        EXPECT_DOUBLE_EQ(st.x, 11) << "every code is placed (5 + 6): " << r.why;
    }
}

TEST(TuEmit, IndexAndPool) {
    // Codes: 'A' -> U+0391; 'B' -> pool at 0 (three code points); 'C' ->
    // pool at 4 (length 0); 'D' -> pool at 99 (outside); 'E' -> pool at 5
    // (length 9, runs past the pool end); 'F' -> U+000C; 'G' -> U+000D.
    int32_t index[128] = {};
    int32_t pool[9] = {3, 'x', 'y', 'z', 0, 9, 'q', 1, -1};
    index['A'] = 0x391;
    index['B'] = (int32_t)0x80000000u;
    index['C'] = (int32_t)(0x80000000u | 4);
    index['D'] = (int32_t)(0x80000000u | 99);
    index['E'] = (int32_t)(0x80000000u | 5);
    index['F'] = 0x0C;
    index['G'] = 0x0D;
    struct row {
        int code;
        int mapped;
        std::string out;
        const char* why;
    } rows[] = {
        {'A', 1, "\xCE\x91", "direct entry"},
        {'B', 1, "xyz", "a sequence of three"},
        {'C', 1, "", "length 0: mapped to nothing"},
        {'D', 0, "", "a pool position outside the pool is no entry"},
        {'E', 1, "q\x01\xEF\xBF\xBD", "a length past the pool stops at its end; -1 is U+FFFD"},
        {'F', 1, "", "a form feed from ToUnicode is dropped too"},
        {'G', 1, "\r", "other ToUnicode controls are the font's word"},
        {'Z', 0, "", "no entry"},
        {200, 0, "", "beyond the index"},
        {-1, 0, "", "negative codes never index"},
    };
    for (const row& r : rows) {
        font f;
        f.kind = 0;
        f.tu_index = index;
        f.tu_index_size = 128;
        f.tu_pool = pool;
        f.tu_pool_len = 9;
        interp_state st;
        EXPECT_EQ(tu_emit(&st, f, r.code), r.mapped) << r.why;
        EXPECT_EQ(text_of(st), r.out) << r.why;
    }
}
