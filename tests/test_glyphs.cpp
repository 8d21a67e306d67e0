// Glyph names to code points, the Windows-1252 byte mapping and the
// selection of standard-font widths by BaseFont name.

#include <gtest/gtest.h>

#include <string>

#include "data/tables.h"
#include "font/font.h"

using namespace pdftext;

TEST(GlyphToUnicode, Names) {
    struct row {
        const char* name;
        uint32_t cp;
        const char* why;
    };
    const row rows[] = {
        {"fiveinferior", 0x2085, "middle of the table"},
        {"A", 0x0041, "first row"},
        {"zstroke", 0x01B6, "last row"},
        {"musicsharpsign", 0x266F, "highest code point kept"},
        {"quotesingle", 0x0027, "not quoteright"},
        {"f", 0x0066, "prefix of the ligature names"},
        // The f-ligatures of TeX fonts lie above the table's range.
        {"ff", 0xFB00, "ligature"},
        {"fi", 0xFB01, "ligature"},
        {"fl", 0xFB02, "ligature"},
        {"ffi", 0xFB03, "ligature"},
        {"ffl", 0xFB04, "ligature"},
        {"fi.sc", 0xFB01, "ligature with a suffix"},
        {"fj", 0, "not a ligature the glyph list names"},
        {"checkmark", 0, "single-valued but above U+266F"},
        {"dalethatafpatah", 0, "several values"},
        {"f_f_i", 0, "joined names are not split"},
        {"g123", 0, "no such form"},
        {"cid123", 0, "no such form"},
        {"", 0, "empty"},
        // uniXXXX: the four bytes after "uni", at most four hex digits.
        {"uni20AC", 0x20AC, ""},
        {"uni20ac", 0x20AC, "either case"},
        {"uniXYZW", 0, "not hexadecimal"},
        {"uni00410042", 0x0041, "only the first four digits count"},
        {"uni0041.alt", 0x0041, "answered before the suffix rule"},
        {"uni41.x", 0x0041, "digits stop at the dot"},
        {"uni0x41", 0x0041, "0x prefix inside the four bytes"},
        {"uni004", 0, "six bytes: too short for uni, not a u form"},
        {"uni-041", 0, "a negative value is no code point"},
        // uXXXX to uXXXXXX: the whole rest in hex, 1 to 0x10FFFF.
        {"u20AC", 0x20AC, ""},
        {"u1F600", 0x1F600, "beyond the BMP"},
        {"u10FFFF", 0x10FFFF, "highest code point"},
        {"u110000", 0, "beyond Unicode"},
        {"u0000", 0, "zero"},
        {"u0", 0, "two bytes"},
        {"u1F6000", 0, "beyond Unicode"},
        {"u001F600", 0, "eight bytes"},
        {"u20ACX", 0, "rest not consumed"},
        {"u-0041", 0, "negative"},
        {"u0x41", 0x0041, "0x prefix"},
        {"u1F600.sc", 0x1F600, "u form of the part before the dot"},
        // The part before the first dot, looked up once.
        {"a.sc", 0x0061, ""},
        {"Euro.sc", 0x20AC, ""},
        {"Aacute.alt.sc", 0x00C1, "first dot"},
        {".notdef", 0, "dot first"},
        {".sc", 0, "dot first"},
        {"a.", 0x0061, "empty suffix"},
        {"union.sc", 0x222A, "starts like uni but is a table name"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(glyph_to_unicode(r.name), r.cp) << r.name << ": " << r.why;
    }
}

// Names come from files; none may read past its end or overflow a buffer.
TEST(GlyphToUnicode, HostileNames) {
    EXPECT_EQ(glyph_to_unicode(nullptr), 0u);

    std::string huge(10000, 'a');
    EXPECT_EQ(glyph_to_unicode(huge.c_str()), 0u);

    std::string long_stem = huge;
    long_stem[9999] = '.';
    EXPECT_EQ(glyph_to_unicode(long_stem.c_str()), 0u);

    // 63 bytes before the dot is the longest stem looked up.
    std::string stem63 = std::string(62, 'a') + "b.sc";
    EXPECT_EQ(glyph_to_unicode(stem63.c_str()), 0u);

    std::string uni_long = "uni0041" + huge;
    EXPECT_EQ(glyph_to_unicode(uni_long.c_str()), 0x41u);

    std::string u_long = "u" + std::string(9999, 'F');
    EXPECT_EQ(glyph_to_unicode(u_long.c_str()), 0u);

    std::string high = "\xff\xfe.\x80";
    EXPECT_EQ(glyph_to_unicode(high.c_str()), 0u);
}

TEST(WinAnsi, HighControlRange) {
    // 0x80-0x9F; the byte itself where Windows-1252 assigns nothing.
    const uint32_t want[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
    };
    for (int b = 0x80; b <= 0x9F; b++)
        EXPECT_EQ(winansi_cp(static_cast<uint8_t>(b)), want[b - 0x80]) << std::hex << b;
}

TEST(WinAnsi, OtherBytesAreLatin1) {
    for (int b = 0; b < 256; b++) {
        if (b >= 0x80 && b <= 0x9F) continue;
        EXPECT_EQ(winansi_cp(static_cast<uint8_t>(b)), static_cast<uint32_t>(b)) << b;
    }
}

TEST(CaseInsensitiveSearch, Cases) {
    struct row {
        const char* text;
        const char* pattern;
        int at;  // -1: no match
        const char* why;
    };
    const row rows[] = {
        {"Helvetica", "helvetica", 0, "case folded"},
        {"ABCDEF+HELVETICA", "Helvetica", 7, "inside the text"},
        {"aab", "ab", 1, "a partial match restarts one byte on"},
        {"abab", "AB", 0, "first occurrence"},
        {"Helvetic", "Helvetica", -1, "text ends first"},
        {"", "", -1, "empty text never matches"},
        {"", "a", -1, "empty text never matches"},
        {"abc", "", 0, "empty pattern matches at the start"},
        {"\xC9t\xE9", "\xE9T\xE9", -1, "only ASCII letters fold"},
        {"x\xE9t", "\xE9T", 1, "other bytes compare as they are"},
    };
    for (const row& r : rows) {
        const char* got = tw_strcasestr(r.text, r.pattern);
        if (r.at < 0)
            EXPECT_EQ(got, nullptr) << r.why;
        else
            EXPECT_EQ(got, r.text + r.at) << r.why;
    }
    EXPECT_EQ(tw_strcasestr(nullptr, "a"), nullptr);
    EXPECT_EQ(tw_strcasestr("a", nullptr), nullptr);
}

TEST(StandardFonts, Selection) {
    struct row {
        const char* basefont;
        const int16_t* want;
        const char* why;
    };
    const row rows[] = {
        {"Courier", courier_widths, ""},
        {"Courier-Bold", courier_bold_widths, ""},
        {"Courier-Oblique", courier_oblique_widths, ""},
        {"Courier-BoldOblique", courier_boldoblique_widths, "before Courier-Bold"},
        {"Helvetica", helvetica_widths, ""},
        {"helvetica", helvetica_widths, "case ignored"},
        {"HELVETICA", helvetica_widths, "case ignored"},
        {"Helvetica-Bold", helvetica_bold_widths, ""},
        {"Helvetica-Oblique", helvetica_oblique_widths, ""},
        {"Helvetica-BoldOblique", helvetica_boldoblique_widths, "before Helvetica-Bold"},
        {"Helvetica-Narrow-Bold", helvetica_widths, "no styled name occurs whole"},
        {"Helvetica,Bold", helvetica_widths, "comma style is not a pattern"},
        {"Times-Roman", times_roman_widths, ""},
        {"Times-Bold", times_bold_widths, ""},
        {"Times-Italic", times_italic_widths, ""},
        {"ABCDEF+Times-BoldItalic", times_bolditalic_widths, "before Times-Bold"},
        {"Symbol", symbol_widths, ""},
        {"SymbolMT", symbol_widths, ""},
        {"ZapfDingbats", zapfdingbats_widths, ""},
        {"CourierNewPSMT", courier_widths, "contains Courier"},
        {"Times-New-Roman", nullptr, "contains no pattern"},
        {"TimesNewRomanPSMT", nullptr, "no alias names"},
        {"Times", nullptr, "no plain Times pattern"},
        {"Arial", nullptr, ""},
        {"HelveticaCourier", courier_widths, "Courier is tried first"},
        {"Times-Roman-Symbol", symbol_widths, "Symbol is tried before Times"},
        {"", nullptr, "empty"},
        {nullptr, nullptr, "null"},
    };
    for (const row& r : rows) {
        EXPECT_EQ(std_font_widths(r.basefont), r.want)
            << (r.basefont ? r.basefont : "(null)") << ": " << r.why;
    }
}
