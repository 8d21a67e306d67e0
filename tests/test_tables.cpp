// The generated tables checked against the source files in data/ and
// against values the library's behaviour depends on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "data/tables.h"
#include "font/font.h"

using namespace pdftext;

namespace {

// data/ at the top of the tree, found from tests/data by name so that the
// path works even when tests/data itself does not exist.
std::string data_dir() {
    std::string d = TEST_DATA_DIR;
    const std::string tail = "/tests/data";
    if (d.size() >= tail.size() && d.compare(d.size() - tail.size(), tail.size(), tail) == 0)
        return d.substr(0, d.size() - tail.size()) + "/data";
    return d + "/../../data";
}
const std::string kDataDir = data_dir();

std::vector<std::string> read_lines(const std::string& path) {
    std::vector<std::string> lines;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return lines;
    std::string line;
    int c;
    while ((c = std::fgetc(f)) != EOF) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line.push_back(static_cast<char>(c));
        }
    }
    if (!line.empty()) lines.push_back(line);
    std::fclose(f);
    return lines;
}

struct named_table {
    const char* name;
    const int16_t* widths;
    const char* afm;
};

const named_table kTables[] = {
    {"courier", courier_widths, "n022003l.afm"},
    {"courier_bold", courier_bold_widths, "n022004l.afm"},
    {"courier_oblique", courier_oblique_widths, "n022023l.afm"},
    {"courier_boldoblique", courier_boldoblique_widths, "n022024l.afm"},
    {"helvetica", helvetica_widths, "n019003l.afm"},
    {"helvetica_bold", helvetica_bold_widths, "n019004l.afm"},
    {"helvetica_oblique", helvetica_oblique_widths, "n019023l.afm"},
    {"helvetica_boldoblique", helvetica_boldoblique_widths, "n019024l.afm"},
    {"times_roman", times_roman_widths, "n021003l.afm"},
    {"times_bold", times_bold_widths, "n021004l.afm"},
    {"times_italic", times_italic_widths, "n021023l.afm"},
    {"times_bolditalic", times_bolditalic_widths, "n021024l.afm"},
    {"symbol", symbol_widths, "s050000l.afm"},
    {"zapfdingbats", zapfdingbats_widths, "d050000l.afm"},
};
constexpr int kLatinTables = 12;  // the first twelve are Windows-1252 indexed

}  // namespace

TEST(GlyphTable, NamedRows) {
    struct row {
        int index;
        const char* name;
        uint64_t cp;
    };
    const row rows[] = {
        {0, "A", 0x0041},        {1, "AE", 0x00C6},
        {153, "Euro", 0x20AC},   {358, "Omega", 0x2126},
        {668, "afii10017", 0x0410},
        {1081, "bullet", 0x2022},
        // The middle entry, the first one a lookup compares against.
        {(0 + AGL_COUNT - 1) / 2, "fiveinferior", 0x2085},
        {1957, "musicsharpsign", 0x266F},  // the highest code point kept
        {2294, "quotesingle", 0x0027},
        {2526, "space", 0x0020},
        {2971, "zstroke", 0x01B6},
    };
    static_assert(sizeof(agl_tab) / sizeof(agl_tab[0]) == 2972, "row count");
    for (const row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_STREQ(agl_tab[r.index].name, r.name);
        EXPECT_EQ(agl_tab[r.index].cp, r.cp);
    }
}

// The binary search needs strict strcmp order; code points stay in range.
TEST(GlyphTable, SortedUniqueAndInRange) {
    for (int i = 0; i < AGL_COUNT; i++) {
        ASSERT_NE(agl_tab[i].name, nullptr) << i;
        EXPECT_GE(agl_tab[i].cp, 1u) << agl_tab[i].name;
        EXPECT_LE(agl_tab[i].cp, 0x266Fu) << agl_tab[i].name;
        if (i > 0) {
            EXPECT_LT(std::strcmp(agl_tab[i - 1].name, agl_tab[i].name), 0) << i;
        }
    }
}

// Every row is the glyph list's own entry: the single-valued entries up to
// U+266F, in byte order.  Multi-valued and higher entries stay out (the
// ligatures are answered beside the table, not in it).
TEST(GlyphTable, MatchesGlyphList) {
    std::vector<std::string> lines = read_lines(kDataDir + "/glyphlist.txt");
    ASSERT_FALSE(lines.empty()) << "cannot read " << kDataDir << "/glyphlist.txt";
    std::vector<std::pair<std::string, unsigned long>> want;
    int entries = 0;
    for (const std::string& l : lines) {
        if (l.empty() || l[0] == '#') continue;
        entries++;
        size_t semi = l.find(';');
        ASSERT_NE(semi, std::string::npos) << l;
        std::string value = l.substr(semi + 1);
        if (value.find(' ') != std::string::npos) continue;  // several values
        unsigned long cp = std::strtoul(value.c_str(), nullptr, 16);
        if (cp > 0x266F) continue;
        want.emplace_back(l.substr(0, semi), cp);
    }
    EXPECT_EQ(entries, 4281);
    std::sort(want.begin(), want.end(), [](const auto& a, const auto& b) {
        return std::strcmp(a.first.c_str(), b.first.c_str()) < 0;
    });
    ASSERT_EQ(want.size(), static_cast<size_t>(AGL_COUNT));
    for (int i = 0; i < AGL_COUNT; i++) {
        EXPECT_EQ(want[i].first, agl_tab[i].name) << i;
        EXPECT_EQ(want[i].second, agl_tab[i].cp) << agl_tab[i].name;
    }
}

TEST(WidthTables, NamedEntries) {
    struct row {
        const int16_t* table;
        const char* what;
        int code;
        int width;
    };
    const row rows[] = {
        {helvetica_widths, "space", 0x20, 278},
        {helvetica_widths, "quotesingle, not quoteright", 0x27, 191},
        {helvetica_widths, "hyphen", 0x2D, 333},
        {helvetica_widths, "at", 0x40, 1015},
        {helvetica_widths, "A", 0x41, 667},
        {helvetica_widths, "a", 0x61, 556},
        {helvetica_widths, "Euro (C -1 in the AFM)", 0x80, 556},
        {helvetica_widths, "quoteright, URW value", 0x92, 221},
        {helvetica_widths, "minus, not the hyphen", 0xAD, 584},
        {helvetica_widths, "degree, URW value", 0xB0, 606},
        {helvetica_widths, "twosuperior, URW value", 0xB2, 351},
        {helvetica_widths, "onequarter, URW value", 0xBC, 869},
        {helvetica_widths, "Yacute", 0xDD, 666},
        {helvetica_widths, "thorn", 0xFE, 555},
        {helvetica_widths, "unassigned 0x81", 0x81, 0},
        {helvetica_bold_widths, "space", 0x20, 278},
        {helvetica_bold_widths, "A", 0x41, 722},
        {helvetica_bold_widths, "a", 0x61, 556},
        {helvetica_oblique_widths, "A", 0x41, 667},
        {helvetica_oblique_widths, "twosuperior, own style value", 0xB2, 390},
        {helvetica_oblique_widths, "onequarter, own style value", 0xBC, 947},
        {helvetica_oblique_widths, "quoteright differs from Regular", 0x92, 222},
        {helvetica_boldoblique_widths, "A", 0x41, 722},
        {helvetica_boldoblique_widths, "twosuperior", 0xB2, 444},
        {helvetica_boldoblique_widths, "onequarter", 0xBC, 1055},
        {times_roman_widths, "space", 0x20, 250},
        {times_roman_widths, "quotesingle", 0x27, 180},
        {times_roman_widths, "A", 0x41, 722},
        {times_roman_widths, "a", 0x61, 444},
        {times_roman_widths, "trademark", 0x99, 980},
        {times_roman_widths, "minus", 0xAD, 564},
        {times_bold_widths, "A", 0x41, 722},
        {times_bold_widths, "a", 0x61, 500},
        {times_bold_widths, "minus", 0xAD, 570},
        {times_italic_widths, "A", 0x41, 611},
        {times_italic_widths, "a", 0x61, 500},
        {times_italic_widths, "minus", 0xAD, 675},
        {times_bolditalic_widths, "A", 0x41, 667},
        {times_bolditalic_widths, "a", 0x61, 500},
        {times_bolditalic_widths, "minus", 0xAD, 606},
        {courier_widths, "minus", 0xAD, 600},
        {symbol_widths, "space", 0x20, 250},
        {symbol_widths, "Alpha", 0x41, 722},
        {symbol_widths, "alpha", 0x61, 631},
        {symbol_widths, "Euro at its own code", 0xA0, 762},
        {symbol_widths, "arrowboth", 0xAB, 1042},
        {symbol_widths, "apple is absent", 0xF0, 0},
        {zapfdingbats_widths, "space", 0x20, 278},
        {zapfdingbats_widths, "a1", 0x21, 974},
        {zapfdingbats_widths, "no glyph at 0xA0", 0xA0, 0},
        {zapfdingbats_widths, "a160", 0xD6, 1016},
        {zapfdingbats_widths, "a191", 0xFE, 918},
        {zapfdingbats_widths, "no glyph at 0xFF", 0xFF, 0},
        {zapfdingbats_widths, "a85 is unencoded (C -1)", 0x80, 0},
    };
    for (const row& r : rows) {
        EXPECT_EQ(r.table[r.code], r.width) << r.what << " at 0x" << std::hex << r.code;
    }
}

// The Latin tables are zero exactly at the control codes, the five
// unassigned Windows-1252 positions and 0xA0; the symbolic fonts have
// their own glyph counts.
TEST(WidthTables, NonZeroPositions) {
    auto latin_zero = [](int c) {
        return c < 0x20 || c == 0x7F || c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 ||
               c == 0x9D || c == 0xA0;
    };
    for (int t = 0; t < 14; t++) {
        SCOPED_TRACE(kTables[t].name);
        int nonzero = 0;
        for (int c = 0; c < 256; c++) {
            int w = kTables[t].widths[c];
            EXPECT_GE(w, 0) << c;
            if (w != 0) nonzero++;
            if (t < kLatinTables) {
                EXPECT_EQ(w == 0, latin_zero(c)) << "code " << c;
            }
            if (t < 4 && w != 0) {
                EXPECT_EQ(w, 600) << "monospaced, code " << c;
            }
        }
        int want = t < kLatinTables ? 217 : (kTables[t].widths == symbol_widths ? 189 : 188);
        EXPECT_EQ(nonzero, want);
    }
}

// Each table derived again from its AFM file by a different route: a Latin
// entry must be the width of an AFM glyph whose glyph-list code point is the
// Windows-1252 character at that code (minus at 0xAD); a symbolic entry is
// the width at that AFM code.
TEST(WidthTables, MatchAfmFiles) {
    for (const named_table& t : kTables) {
        SCOPED_TRACE(t.afm);
        std::vector<std::string> lines = read_lines(kDataDir + "/afm/" + t.afm);
        ASSERT_FALSE(lines.empty()) << "cannot read " << t.afm;
        std::map<uint32_t, std::vector<int>> by_cp;  // glyph-list code point -> widths
        int by_code[256] = {};
        for (const std::string& l : lines) {
            int code = 0, wx = 0;
            char name[64] = {};
            if (std::sscanf(l.c_str(), "C %d ; WX %d ; N %63s", &code, &wx, name) != 3) continue;
            if (code >= 0 && code < 256) by_code[code] = wx;
            uint32_t cp = glyph_to_unicode(name);
            if (cp != 0) by_cp[cp].push_back(wx);
        }
        bool latin = &t < kTables + kLatinTables;
        for (int c = 0; c < 256; c++) {
            int w = t.widths[c];
            if (!latin) {
                EXPECT_EQ(w, by_code[c]) << "code " << c;
                continue;
            }
            if (w == 0) continue;  // positions checked by NonZeroPositions
            uint32_t cp = c == 0xAD ? 0x2212 : winansi_cp(static_cast<uint8_t>(c));
            const std::vector<int>& ws = by_cp[cp];
            EXPECT_NE(std::find(ws.begin(), ws.end(), w), ws.end())
                << "code " << c << " width " << w;
        }
    }
}
