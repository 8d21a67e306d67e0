// The content stream interpreter on hand-built states (forms, which need a
// document, are in test_page.cpp).
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

#include "text/text.h"

using namespace pdftext;

namespace {

int16_t w500[256], w250[256], w1000[256];
const std::string name63(63, 'a');

// Slots: 0 "F1" (every glyph 500 wide), 1 "F2" (250), 2 "F1.0" (1000),
// 3 a name of 63 letters (500).  The tables are static, so the slots own
// nothing.
void setup(interp_state* st) {
    for (int i = 0; i < 256; i++) {
        w500[i] = 500;
        w250[i] = 250;
        w1000[i] = 1000;
    }
    const char* names[] = {"F1", "F2", "F1.0", name63.c_str()};
    const int16_t* widths[] = {w500, w250, w1000, w500};
    for (int i = 0; i < 4; i++) {
        strcpy(st->font_names[i], names[i]);
        st->fonts[i].kind = 0;
        st->fonts[i].widths = widths[i];
    }
    st->font_count = 4;
}

std::string run(interp_state* st, const std::string& content) {
    interp_content_full(st, (const uint8_t*)content.data(), (int)content.size());
    return st->out.data ? std::string((const char*)st->out.data, (size_t)st->out.len) : "";
}

std::string run(const std::string& content) {
    interp_state st;
    setup(&st);
    return run(&st, content);
}

}  // namespace

TEST(Interp, Text) {
    struct row {
        std::string content, out;
        const char* why;
    } rows[] = {
        {"BT /F1 12 Tf 72 700 Td (Hello) Tj ET", "Hello", "the plain case"},
        {"BT /F1 12 Tf [(Hel) -20 (lo)] TJ ET", "Hello",
         "d = 20 / 1000 x 12 = 0.24: not above 1.5 (half a quarter em), nor 1.44 for the glyph rule"},
        {"BT /F1 12 Tf [(Hello) -300 (World)] TJ ET", "Hello  World",
         "d = 3.6 > 1.5: 3.6 / 3 + 0.5 = 1.7 -> 1 space; the glyph gap 3.6 > 1.44: 3.6 / 6 + 0.5 = 1.1 -> 1 more"},
        {"BT /F1 12 Tf [(ab) 3000 (cd)] TJ ET", "abcd", "a positive number moves left: no spaces"},
        {"BT /F1 10 Tf [(a) -1000 (b)] TJ ET", "a      b",
         "d = 10: 10 / 2.5 + 0.5 = 4.5 -> 4; then b's gap from a's end (5 to 15): 10 / 5 + 0.5 = 2.5 -> 2"},
        {"(abc) Tj", "abc", "no font: bytes as code points"},
        {"(\\351) Tj", "\xC3\xA9", "no font: byte 0xE9 is U+00E9"},
        {"(a) Tj 100 0 Td (b) Tj", "ab", "no font: no placement, no spaces"},
        {"(a\rb\fc\nd\te\001f\177g\\000h) Tj", "abcdefgh",
         "no font: control bytes (and NUL) give nothing, so no stray line or page break"},
        {"<48656C6C6F> Tj", "Hello", "hexadecimal string"},
        {"/F9 10 Tf (abc) Tj", "abc", "unknown font: byte by byte"},
        {"10 Tf (abc) Tj", "abc", "Tf without any name: no font"},
        {"(a) Tj Tj", "a", "Tj clears the pending string"},
        {"(a) Tjx", "", "three-letter operators are ignored"},
        {"BT /F1 10 Tf 12 TL (a) Tj (b) ' ET", "a\nb", "' moves down by the leading 12: a line feed"},
        {"BT /F1 10 Tf 12 TL (a) Tj T* (b) Tj ET", "a\nb", "T* as two bytes"},
        {"BT /F1 12 Tf /P << /MCID 0 /T (x>>)>> >> BDC (a) Tj EMC ET", "a",
         "a property list is stepped over whole"},
        {"BT /F1.0 10 Tf (ab) Tj /F1 10 Tf (c) Tj ET", "abc", "a name with a dot selects its slot"},
        {"BT /F1 10 Tf 3 Tc (ab) Tj ET", "a b",
         "Tc 3 at size 10: gap 3 > 1.2, 3 / 5 + 0.5 = 1.1 -> 1 space"},
        {"BT /F1 10 Tf q 3 Tc Q (ab) Tj ET", "ab", "Q restores the character spacing"},
        {"BT /F1 10 Tf 12 TL (a) Tj 0 3 (bc) \" ET", "a\nb c",
         "\" sets word spacing 0 and character spacing 3, then moves down and shows"},
        {"BT /F1 10 Tf (a) Tj [(b) -" + std::string(400, '9') + " (c)] TJ ET",
         "ab" + std::string(16, ' ') + "c",
         "an infinite TJ move: 8 spaces, then an infinite glyph gap: 8 more"},
        {"BT /F1 " + std::string(400, '9') + " Tf (ab) Tj [-100 (c)] TJ ET", "abc",
         "an infinite font size: gaps are NaN or not above an infinite base, so no spaces"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.content), r.out) << r.why << "\n  " << r.content;
}

TEST(Interp, EndsInsideConstructs) {
    struct row {
        std::string content, out;
        const char* why;
    } rows[] = {
        {"(a) Tj (unterminated", "a", "inside a string"},
        {"(a) Tj [(b) -100 (c", "abc", "inside an array: its strings so far are shown"},
        {"(a) Tj [", "a", "right after ["},
        {"(a) Tj [ 12", "a", "a number at the end of an array"},
        {"(a) Tj % a comment without a line end", "a", "inside a comment"},
        {"(a) Tj BI /W 1 ID \x01\x02(\x03 Tj", "a", "inside inline image data"},
        {"(a) Tj /", "a", "a slash as the last byte"},
        {"(a) Tj <41", "a", "inside a hex string (never shown)"},
        {"(a) Tj << /A (b", "a", "inside a property list"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.content), r.out) << r.why;
}

TEST(Interp, InlineImages) {
    // Image bytes with a NUL, string, array and comment openers, operators
    // and an EI that is not delimited by white space on both sides.
    const char raw[] = "\xFF(\x00[%BT\x01" "EI(x) Tj\x80\x0C" "EI\x00";
    const std::string binary(raw, sizeof raw - 1);
    struct row {
        std::string content, out;
        const char* why;
    } rows[] = {
        {"BT /F1 12 Tf (a) Tj ET BI /W 4 /H 4 /BPC 8 /CS /G ID " + binary + " EI Q BT (b) Tj ET",
         "ab", "binary data with ( [ % and EI that is not delimited is skipped"},
        {"BI /W 1 /H 1 /D [1 0] ID \x01\nEI\n(b) Tj", "b", "an array among the image keys is harmless"},
        {"BI /W 4 ID ab\nEI (x) Tj EI (b) Tj", "xb",
         "the first whitespace-EI-whitespace ends the data: what follows is content again"},
        {"BI /W 4 ID ab\x0C" "EI (x) Tj\nEI\n(b) Tj", "b", "a form feed before EI does not end the data"},
        {"BI /W 4 ID ab\nEIQ (b) Tj", "b", "EI directly followed by Q ends the data"},
    };
    for (const row& r : rows) EXPECT_EQ(run(r.content), r.out) << r.why;
}

TEST(Interp, StateAfterOperators) {
    const double keep = -12345;  // "not checked"
    const int keepi = -999;
    std::string ones32;
    for (int i = 0; i < 32; i++) ones32 += "1 ";
    struct row {
        std::string content;
        double x, y, size, hscale;
        int font_index;
        const char* why;
    } rows[] = {
        {"BT 1 0 0 1 50 50 cm 10 20 Td", 10, 20, keep, keep, keepi, "cm is ignored; Td takes the top two"},
        {"BT 5 Td", 0, 5, keep, keep, keepi, "one operand moves up only"},
        {"BT 0 -14 TD T*", 0, -28, keep, keep, keepi, "TD sets the leading to 14"},
        {"BT 2 0 0 3 0 0 Tm 10 10 Td", 20, 30, keep, keep, keepi, "Td is scaled by the Tm scales"},
        {"BT 1 2 3 4 5 Tm", 0, 0, keep, keep, keepi, "five operands: Tm changes nothing"},
        {"BT 1 Tc 5 Td", 0, 5, keep, keep, keepi, "Tc consumes its operand"},
        {"BT " + ones32 + "7 Td", 0, 0, keep, keep, keepi,
         "the 33rd number empties the stack and is dropped"},
        {"BT " + ones32 + "7 3 Td", 0, 3, keep, keep, keepi,
         "after the overflow only later numbers count"},
        {"BT " + ones32 + "Td", 1, 1, keep, keep, keepi, "32 numbers still fit"},
        {"Tz", keep, keep, keep, 1.0, keepi, "Tz alone is 100 %"},
        {"50 Tz", keep, keep, keep, 0.5, keepi, "50 %"},
        {"/F1 0 Tf", keep, keep, 10, keep, 0, "size 0 becomes 10"},
        {"/F1 -3 Tf", keep, keep, 10, keep, 0, "negative sizes become 10"},
        {"/F1 12 Tf q /F2 9 Tf Q", keep, keep, 12, keep, 0, "Q restores font and size"},
        {"q /F2 9 Tf Q", keep, keep, 10, keep, 1, "no font before q: F2 stays, size returns"},
        {"/F2 9 Tf /F1.0 8 Tf", keep, keep, 8, keep, 2, "F1.0 is a name of its own"},
        {"/" + name63 + "a 12 Tf", keep, keep, 12, keep, 3,
         "a 64th name character starts a new token: the name keeps 63"},
        {"/F1 12 Tf /F9 7 Tf", keep, keep, 7, keep, -1, "an unknown name selects nothing"},
    };
    for (const row& r : rows) {
        interp_state st;
        setup(&st);
        run(&st, r.content);
        if (r.x != keep) {
            EXPECT_DOUBLE_EQ(st.x, r.x) << r.why;
        }
        if (r.y != keep) {
            EXPECT_DOUBLE_EQ(st.y, r.y) << r.why;
        }
        if (r.size != keep) {
            EXPECT_DOUBLE_EQ(st.font_size, r.size) << r.why;
        }
        if (r.hscale != keep) {
            EXPECT_DOUBLE_EQ(st.hscale, r.hscale) << r.why;
        }
        if (r.font_index != keepi) {
            EXPECT_EQ(st.font_index, r.font_index) << r.why;
            EXPECT_EQ(st.has_font, r.font_index >= 0 ? 1 : 0) << r.why;
        }
    }
}

TEST(Interp, MillionNestedQ) {
    // Only 32 levels are saved; the counter goes on, and the way back down
    // restores the font saved at level 0.
    std::string c = "/F1 12 Tf 2 Tc ";
    for (int i = 0; i < 1000000; i++) c += "q ";
    c += "/F2 9 Tf 0 Tc ";
    for (int i = 0; i < 1000000; i++) c += "Q ";
    interp_state st;
    setup(&st);
    run(&st, c);
    EXPECT_EQ(st.q_depth, 0);
    EXPECT_EQ(st.font_index, 0);
    EXPECT_DOUBLE_EQ(st.font_size, 12);
    EXPECT_DOUBLE_EQ(st.char_spacing, 2);
}

TEST(Interp, LongStringsReuseScratch) {
    // Many strings, shown and in arrays: the scratch blocks stay sized to
    // the longest string rather than 1 MiB each.
    std::string c = "BT /F1 10 Tf ";
    for (int i = 0; i < 20000; i++) c += "(ab) Tj [(c) -10 (d)] TJ ";
    c += "(" + std::string(5000, 'x') + ") Tj ET";
    interp_state st;
    setup(&st);
    std::string out = run(&st, c);
    EXPECT_EQ(out.size(), 20000u * 4 + 5000);
    EXPECT_LT(st.pending[0].cap, 16384u);
    EXPECT_LT(st.array_str.cap, 1024u);
}
