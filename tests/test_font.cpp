// Font dictionaries: classification, BaseFont and standard metrics, simple
// widths, /Encoding (Differences and WinAnsi), ToUnicode streams, and the
// /DW and /W widths of composite fonts.  Documents are built in memory.

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "data/tables.h"
#include "font/font.h"
#include "pdf_builder.h"

using namespace pdftext;

namespace {

// An extra object of the test document: a plain object, a stream (when
// `stream` is set) or an uncompressed object stream holding `members`.
struct xo {
    int num;
    std::string body;
    const char* stream = nullptr;
    std::vector<std::pair<int, std::string>> members = {};
};

xo objstm(int num, std::vector<std::pair<int, std::string>> members) {
    return xo{num, "", nullptr, std::move(members)};
}

std::string make_pdf(const std::string& font_dict, const std::vector<xo>& extra) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] >>");
    if (!font_dict.empty()) b.obj(10, font_dict);
    for (const xo& x : extra) {
        if (!x.members.empty()) {
            std::string head, data;
            for (const auto& m : x.members) {
                head += std::to_string(m.first) + " " + std::to_string(data.size()) + " ";
                data += m.second + "\n";
            }
            b.stream(x.num,
                     "/Type /ObjStm /N " + std::to_string(x.members.size()) + " /First " +
                         std::to_string(head.size()),
                     head + data);
        } else if (x.stream) {
            b.stream(x.num, x.body, x.stream);
        } else {
            b.obj(x.num, x.body);
        }
    }
    return b.finish();
}

// Loads the document and reads object `num` (the font, 10 by default).
void parse(const std::string& font_dict, const std::vector<xo>& extra, font* f, int num = 10) {
    std::string pdf = make_pdf(font_dict, extra);
    uint8_t* p = (uint8_t*)malloc(pdf.size());
    ASSERT_NE(p, nullptr);
    memcpy(p, pdf.data(), pdf.size());
    doc d;
    ASSERT_EQ(doc_load_bytes(p, (int32_t)pdf.size(), "font.pdf", &d), 0);
    const obj_entry* e = doc_find(&d, num);
    ASSERT_NE(e, nullptr);
    font_parse(&d, *e, f);
}

struct font_guard {
    font f;
    font_guard() = default;
    font_guard(const font_guard&) = delete;
    font_guard& operator=(const font_guard&) = delete;
    ~font_guard() { font_release(&f); }
};

std::vector<int32_t> tu_lookup(const font& f, uint32_t code) {
    if (!f.tu_index || code >= (uint32_t)f.tu_index_size) return {};
    int32_t v = f.tu_index[code];
    if (v == 0) return {};
    if (v > 0) return {v};
    int32_t p = (int32_t)((uint32_t)v & 0x7FFFFFFFu);
    return std::vector<int32_t>(f.tu_pool + p + 1, f.tu_pool + p + 1 + f.tu_pool[p]);
}

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; i++) out += s;
    return out;
}

const std::string T1 = "/Type /Font /Subtype /Type1 ";
const std::string TT = "/Type /Font /Subtype /TrueType ";

}  // namespace

TEST(FontRecord, Release) {
    font f;
    font_release(&f);  // empty: nothing to free
    EXPECT_EQ(f.kind, 2);
    EXPECT_EQ(f.default_width, 1000);

    f.widths = helvetica_widths;  // built-in, not owned
    f.kind = 0;
    int16_t before = helvetica_widths[0x41];
    font_release(&f);
    EXPECT_EQ(helvetica_widths[0x41], before);
    EXPECT_EQ(f.widths, nullptr);

    f.widths = (int16_t*)calloc(256, sizeof(int16_t));
    f.widths_owned = 1;
    f.differences = (uint16_t*)calloc(256, sizeof(uint16_t));
    f.cid_widths = (int16_t*)calloc(4, sizeof(int16_t));
    int32_t cp = 0x41, seq[2] = {1, 2};
    tu_set(&f, 1, &cp, 1);
    tu_set(&f, 2, seq, 2);
    font_release(&f);
    font_release(&f);  // reset in between: nothing freed twice
    EXPECT_EQ(f.tu_index, nullptr);
    EXPECT_EQ(f.tu_pool_cap, 0);
    EXPECT_EQ(f.widths_owned, 0);
}

TEST(FontParse, ResetsAndNeedsADictionary) {
    // A used record is released before it is filled again (the leak
    // checker of the sanitizer build sees any table left behind).
    font_guard g;
    parse("<< " + T1 + "/BaseFont /CMR10 /Widths [1] /Encoding << /Differences [1 /a] >> >>",
          {}, &g.f);
    ASSERT_NE(g.f.differences, nullptr);
    parse("<< " + TT + "/BaseFont /Arial >>", {}, &g.f);
    EXPECT_EQ(g.f.differences, nullptr);
    EXPECT_EQ(g.f.widths, nullptr);

    // An object that is not a dictionary gives the empty record.
    parse("", {{10, "[1 2 3]"}}, &g.f);
    EXPECT_EQ(g.f.kind, 2);
    EXPECT_EQ(g.f.widths, nullptr);
}

TEST(FontParse, ClassificationAndWidths) {
    enum mode { NONE, OWNED, STD };
    struct row {
        std::string dict;
        std::vector<xo> extra;
        int kind;
        int winansi;
        mode widths;
        const int16_t* table;                     // STD: the built-in table
        std::vector<std::pair<int, int>> values;  // OWNED: every other code is 0
        const char* why;
    };
    const std::string w300 = "[" + repeat("1 ", 300) + "]";
    const std::string longname(10000, 'A');
    std::vector<std::pair<int, int>> all1;
    for (int c = 0; c < 256; c++) all1.push_back({c, 1});
    const row rows[] = {
        {T1 + "/BaseFont /CMR10 /FirstChar 32 /Widths [250 333]", {}, 0, 0, OWNED, nullptr,
         {{32, 250}, {33, 333}}, "Type1 widths from FirstChar"},
        {T1 + "/FirstChar 250 /Widths [1 2 3 4 5 6 7 8 9 10]", {}, 0, 0, OWNED, nullptr,
         {{250, 1}, {251, 2}, {252, 3}, {253, 4}, {254, 5}, {255, 6}},
         "codes above 255 read, not stored"},
        {T1 + "/FirstChar 10 /Widths [250.5 300]", {}, 0, 0, OWNED, nullptr, {{10, 250}},
         "a fraction ends the array"},
        {T1 + "/FirstChar 2147483647 /Widths [1 2 3]", {}, 0, 0, OWNED, nullptr, {},
         "FirstChar near 2^31 stores nothing"},
        {T1 + "/FirstChar 4294967295 /Widths [7]", {}, 0, 0, OWNED, nullptr, {{0, 7}},
         "FirstChar wrapping to -1 counts as 0"},
        {T1 + "/FirstChar -5 /Widths [7 8]", {}, 0, 0, OWNED, nullptr, {{0, 7}, {1, 8}},
         "negative FirstChar counts as 0"},
        {T1 + "/Widths [70000 -5 9]", {}, 0, 0, OWNED, nullptr, {{0, 32767}},
         "huge width clamped; a negative one ends the array"},
        {T1 + "/Widths [5 0 R]", {}, 0, 0, OWNED, nullptr, {{0, 5}}, "an R ends the array"},
        {T1 + "/Widths " + w300, {}, 0, 0, OWNED, nullptr, all1, "300 widths: 256 stored"},
        {T1 + "/FirstChar 65 /Widths 11 0 R", {{11, "[500 600]"}}, 0, 0, OWNED, nullptr,
         {{65, 500}, {66, 600}}, "widths array as an object"},
        {T1 + "/FirstChar 65 /Widths 11 0 R", {objstm(20, {{11, "[500 600]"}})}, 0, 0, OWNED,
         nullptr, {{65, 500}, {66, 600}}, "widths array in an object stream"},
        {T1 + "/Widths 99 0 R", {}, 0, 0, OWNED, nullptr, {}, "widths object missing"},
        {T1 + "/Widths 11 0 R", {{11, "<< /A 1 >>"}}, 0, 0, OWNED, nullptr, {},
         "widths object is not an array"},
        {T1 + "/BaseFont /CMR10", {}, 0, 0, OWNED, nullptr, {}, "Type1 without widths"},
        {"/Type /Font /Subtype /Type3 /FirstChar 1 /Widths [10]", {}, 0, 0, OWNED, nullptr,
         {{1, 10}}, "Type3 is simple"},
        {TT + "/BaseFont /Arial", {}, 2, 0, NONE, nullptr, {}, "TrueType without widths"},
        {TT + "/BaseFont /Arial /FirstChar 32 /Widths [278 500]", {}, 2, 0, OWNED, nullptr,
         {{32, 278}, {33, 500}}, "TrueType reads its widths"},
        {TT + "/BaseFont /Arial /FirstChar 32 /Widths 11 0 R", {{11, "[278]"}}, 2, 0, OWNED,
         nullptr, {{32, 278}}, "TrueType widths as an object"},
        {TT + "/BaseFont /Arial /Widths /None", {}, 2, 0, NONE, nullptr, {},
         "TrueType with an unreadable /Widths"},
        {TT + "/BaseFont /Arial /Encoding /WinAnsiEncoding", {}, 2, 1, NONE, nullptr, {},
         "TrueType naming WinAnsiEncoding"},
        {TT + "/BaseFont /ABCDEF+Helvetica-Bold", {}, 0, 1, STD, helvetica_bold_widths, {},
         "standard name on a TrueType font"},
        {T1 + "/BaseFont /Helvetica /FirstChar 0 /Widths [100 100]", {}, 0, 1, STD,
         helvetica_widths, {}, "the built-in table wins over /Widths"},
        {T1 + "/BaseFont /Helvetica,Bold", {}, 0, 1, STD, helvetica_widths, {},
         "a comma ends the name"},
        {T1 + "/BaseFont/Times-BoldItalic", {}, 0, 1, STD, times_bolditalic_widths, {},
         "no blank before the name"},
        {TT + "/BaseFont /Times-New-Roman", {}, 2, 0, NONE, nullptr, {}, "no standard name"},
        {"/Type /Font /Subtype /MMType1 /BaseFont /X", {}, 2, 0, NONE, nullptr, {}, "MMType1"},
        {"/Type /Font /Subtype /CIDFontType2", {}, 2, 0, NONE, nullptr, {}, "CIDFontType2"},
        {"/Type /Font /Subtype /Type12", {}, 2, 0, NONE, nullptr, {}, "digit after the digit"},
        {"/Type /Font /Subtype /Type1C", {}, 2, 0, NONE, nullptr, {}, "letter after the digit"},
        {"/Type /Font /Subtype /TypeX", {}, 2, 0, NONE, nullptr, {}, "no digit"},
        {"/Type /Font /Subtype /Image /Subtype /Type1 /Widths [4]", {}, 0, 0, OWNED, nullptr,
         {{0, 4}}, "a later /Subtype is tried"},
        {"/Type /Font /BaseFont /CMR10", {}, 2, 0, NONE, nullptr, {}, "no /Subtype"},
        {"/Type /Font /Subtype /Type0 /BaseFont /Helvetica", {}, 1, 0, NONE, nullptr, {},
         "no standard metrics for Type0"},
        {T1 + "/BaseFont /" + longname + "Helvetica", {}, 0, 0, OWNED, nullptr, {},
         "only the first 127 bytes of the name count"},
        {T1 + "/BaseFont /Helvetica" + longname, {}, 0, 1, STD, helvetica_widths, {},
         "a name of 10,000 bytes"},
        {T1 + "/BaseFont /", {}, 0, 0, OWNED, nullptr, {}, "empty name"},
        {T1 + "/BaseFont /Courier", {objstm(20, {{10, "<< " + T1 + "/BaseFont /Courier >>"}})},
         0, 1, STD, courier_widths, {}, "font dictionary in an object stream"},
    };
    for (const row& r : rows) {
        font_guard g;
        // The object-stream row keeps the font only in the stream.
        bool member = !r.extra.empty() && !r.extra[0].members.empty() &&
                      r.extra[0].members[0].first == 10;
        parse(member ? "" : "<< " + r.dict + " >>", r.extra, &g.f);
        const font& f = g.f;
        EXPECT_EQ(f.kind, r.kind) << r.why;
        EXPECT_EQ(f.winansi, r.winansi) << r.why;
        switch (r.widths) {
        case NONE:
            EXPECT_EQ(f.widths, nullptr) << r.why;
            break;
        case STD:
            EXPECT_EQ(f.widths, r.table) << r.why;
            EXPECT_EQ(f.widths_owned, 0) << r.why;
            break;
        case OWNED:
            ASSERT_NE(f.widths, nullptr) << r.why;
            EXPECT_EQ(f.widths_owned, 1) << r.why;
            for (int c = 0; c < 256; c++) {
                int want = 0;
                for (const auto& v : r.values)
                    if (v.first == c) want = v.second;
                ASSERT_EQ(f.widths[c], want) << r.why << " code " << c;
            }
            break;
        }
        EXPECT_EQ(f.cid_widths, nullptr) << r.why;
    }
}

TEST(FontParse, WinAnsi) {
    struct row {
        std::string dict;
        std::vector<xo> extra;
        int winansi;
        const char* why;
    };
    const xo enc_obj{11, "<< /Type /Encoding /BaseEncoding /WinAnsiEncoding /Differences [1 /a] >>"};
    const row rows[] = {
        {T1 + "/Encoding /WinAnsiEncoding", {}, 1, "the name"},
        {T1 + "/Encoding/WinAnsiEncoding", {}, 1, "the name without a blank"},
        {T1 + "/Encoding /MacRomanEncoding", {}, 0, "another base encoding"},
        {T1 + "/Encoding /WinAnsiEncodingX", {}, 0, "a longer name"},
        {T1, {}, 0, "no encoding"},
        {T1 + "/Encoding << /BaseEncoding /WinAnsiEncoding /Differences [1 /a] >>", {}, 1,
         "inline dictionary"},
        {T1 + "/Encoding << /BaseEncoding /MacRomanEncoding >>", {}, 0,
         "inline dictionary with another base"},
        {T1 + "/Encoding << /Differences [1 /a] >> /BaseEncoding /WinAnsiEncoding", {}, 0,
         "a /BaseEncoding outside the inline dictionary"},
        {T1 + "/Encoding 11 0 R", {enc_obj}, 1, "encoding object"},
        {TT + "/BaseFont /Arial /Encoding 11 0 R", {enc_obj}, 1, "TrueType, encoding object"},
        {TT + "/BaseFont /Arial /Encoding << /BaseEncoding /WinAnsiEncoding >>", {}, 1,
         "TrueType, inline dictionary"},
        {T1 + "/Encoding 11 0 R", {objstm(20, {{11, enc_obj.body}})}, 1,
         "encoding object in an object stream"},
        {T1 + "/Encoding 11 0 R", {{11, "<< /BaseEncoding /StandardEncoding >>"}}, 0,
         "encoding object with another base"},
        {T1 + "/Encoding 99 0 R", {}, 0, "missing encoding object"},
        {"/Type /Font /Subtype /Type0 /Encoding /WinAnsiEncoding", {}, 0, "composite font"},
        {T1 + "/BaseFont /Courier /Encoding /MacRomanEncoding", {}, 1, "standard font"},
        {"/Type /Font /Subtype /Type3 /Encoding /WinAnsiEncoding", {}, 1, "Type3"},
    };
    for (const row& r : rows) {
        font_guard g;
        parse("<< " + r.dict + " >>", r.extra, &g.f);
        EXPECT_EQ(g.f.winansi, r.winansi) << r.why;
    }
}

TEST(FontParse, Differences) {
    struct row {
        std::string enc;  // the /Encoding value (and anything after it)
        std::vector<xo> extra;
        bool has;
        std::vector<std::pair<int, int>> cps;  // every other code is 0
        const char* why;
    };
    const std::string huge = "/A" + std::string(10000, 'x');
    const row rows[] = {
        {"<< /Differences [128 /Euro /bullet] >>", {}, true, {{128, 0x20AC}, {129, 0x2022}},
         "consecutive codes"},
        {"<< /Differences [254 /a /b /c] >>", {}, true, {{254, 'a'}, {255, 'b'}},
         "codes above 255 dropped"},
        {"<< /Differences [4294967295 /a] >>", {}, true, {}, "code 2^32-1"},
        {"<< /Differences [4294967296 /a /b] >>", {}, true, {}, "code 2^32 does not wrap to 0"},
        {"<< /Differences [4294967041 /a] >>", {}, true, {}, "code wrapping to -255"},
        {"<< /Differences [99999999999999999999999 /a] >>", {}, true, {}, "very long number"},
        {"<< /Differences [2147483647 /a /b /c] >>", {}, true, {}, "advancing past 2^31"},
        {"<< /Differences [255 /a /b 0 /c] >>", {}, true, {{255, 'a'}, {0, 'c'}},
         "a new code after the overflow"},
        {"<< /Differences [-5 /a] >>", {}, true, {{5, 'a'}}, "a minus sign is stepped over"},
        {"<< /Differences [32/space/exclam] >>", {}, true, {{32, ' '}, {33, '!'}},
         "names without blanks"},
        {"<< /Differences [65 /A 65 /B] >>", {}, true, {{65, 'B'}}, "later name replaces"},
        {"<< /Differences [65 /A 65 /nosuchglyph] >>", {}, true, {{65, 'A'}},
         "a name that maps to nothing keeps the entry"},
        {"<< /Differences [65 / /B] >>", {}, true, {{66, 'B'}}, "empty name advances"},
        {"<< /Differences [65 /u1F600 /B] >>", {}, true, {{66, 'B'}},
         "code point above 0xFFFF not stored"},
        {"<< /Differences [11 /ff /fi] >>", {}, true, {{11, 0xFB00}, {12, 0xFB01}},
         "TeX ligatures"},
        {"<< /Differences [65 " + huge + " /B] >>", {}, true, {{66, 'B'}},
         "a name of 10,000 bytes"},
        {"<< /Differences [65 /B", {}, true, {{65, 'B'}}, "unterminated array"},
        {"11 0 R", {{11, "<< /Type /Encoding /Differences [97 /Euro] >>"}}, true,
         {{97, 0x20AC}}, "encoding object"},
        {"11 0 R", {objstm(20, {{11, "<< /Differences [97 /Euro] >>"}})}, true, {{97, 0x20AC}},
         "encoding object in an object stream"},
        {"99 0 R", {}, false, {}, "missing encoding object"},
        {"/WinAnsiEncoding /Differences [65 /B]", {}, false, {}, "a named encoding"},
        {"<< /Differences 12 0 R >>", {{12, "[65 /B]"}}, false, {}, "array by reference"},
        {"<< /BaseEncoding /WinAnsiEncoding >>", {}, false, {}, "no /Differences"},
    };
    for (const row& r : rows) {
        font_guard g;
        parse("<< " + T1 + "/Encoding " + r.enc + " >>", r.extra, &g.f);
        if (!r.has) {
            EXPECT_EQ(g.f.differences, nullptr) << r.why;
            continue;
        }
        ASSERT_NE(g.f.differences, nullptr) << r.why;
        for (int c = 0; c < 256; c++) {
            int want = 0;
            for (const auto& v : r.cps)
                if (v.first == c) want = v.second;
            ASSERT_EQ(g.f.differences[c], want) << r.why << " code " << c;
        }
    }
    // A standard font keeps its differences.
    font_guard g;
    parse("<< " + T1 + "/BaseFont /Helvetica /Encoding << /Differences [65 /B] >> >>", {}, &g.f);
    EXPECT_EQ(g.f.widths, helvetica_widths);
    ASSERT_NE(g.f.differences, nullptr);
    EXPECT_EQ(g.f.differences[65], 'B');
}

TEST(FontParse, ToUnicode) {
    const char* cmap = "beginbfchar\n<41> <0061>\nendbfchar\n";
    struct row {
        std::string dict;
        std::vector<xo> extra;
        std::vector<int32_t> cp41;
        const char* why;
    };
    const row rows[] = {
        {T1 + "/ToUnicode 11 0 R", {{11, "", cmap}}, {0x61}, "stream object"},
        {T1 + "/BaseFont /Helvetica /ToUnicode 11 0 R", {{11, "", cmap}}, {0x61},
         "kept for standard fonts"},
        {"/Subtype /Type0 /ToUnicode 11 0 R", {{11, "", cmap}}, {0x61}, "composite font"},
        {T1 + "/ToUnicode 99 0 R", {}, {}, "missing object"},
        {T1 + "/ToUnicode 11 0 R", {{11, "<< /A 1 >>"}}, {}, "not a stream"},
        {T1 + "/ToUnicode /Identity-H", {}, {}, "a name"},
    };
    for (const row& r : rows) {
        font_guard g;
        parse("<< " + r.dict + " >>", r.extra, &g.f);
        EXPECT_EQ(tu_lookup(g.f, 0x41), r.cp41) << r.why;
    }
}

TEST(FontParse, Composite) {
    struct span {
        int lo, hi, w;
    };
    struct row {
        std::string desc;  // descendant dictionary body (object 11); empty: none
        std::vector<xo> extra;
        int dw;
        uint32_t count;
        std::vector<span> widths;  // every other CID below count is -1
        const char* why;
    };
    const std::string run70k = "[0 [" + repeat("1 ", 70000) + "]]";
    const row rows[] = {
        {"", {}, 1000, 0, {}, "no descendant font"},
        {"/W [1 [500 600] 10 20 300]", {}, 1000, 21, {{1, 1, 500}, {2, 2, 600}, {10, 20, 300}},
         "runs and ranges"},
        {"/W [5 2 400]", {}, 1000, 0, {}, "first above last"},
        {"/W [0 65536 400]", {}, 1000, 0, {}, "range of 65537 CIDs"},
        {"/W [0 65535 400]", {}, 1000, 65536, {{0, 65535, 400}}, "range of 65536 CIDs"},
        {"/W [65530 65600 7]", {}, 1000, 65536, {{65530, 65535, 7}},
         "range cut at 0xFFFF"},
        {"/W [2147483000 2147483647 5 1 [9]]", {}, 1000, 2, {{1, 1, 9}},
         "range ending at 2^31-1"},
        {"/W [4294967295 [5] 2 [6]]", {}, 1000, 3, {{2, 2, 6}}, "CID wrapping to -1"},
        {"/W [65535 [1 2 3]]", {}, 1000, 65536, {{65535, 65535, 1}}, "run past 0xFFFF"},
        {"/W [2147483647 [1 2 3] 4 [8]]", {}, 1000, 5, {{4, 4, 8}}, "run starting at 2^31-1"},
        {"/W [1 [500 -3 600]]", {}, 1000, 3, {{1, 1, 500}, {2, 2, 600}}, "negative width"},
        {"/W [1 [500 5 0 R 600]]", {}, 1000, 5, {{1, 1, 500}, {2, 2, 5}, {3, 3, 0}, {4, 4, 600}},
         "an R is stepped over"},
        {"/W [1 [500] 2 3 4 [7]]", {}, 1000, 4, {{1, 1, 500}, {2, 3, 4}},
         "a run clears the pending numbers"},
        {"/W [1 [100000]]", {}, 1000, 2, {{1, 1, 32767}}, "huge width clamped"},
        {"/W " + run70k, {}, 1000, 65536, {{0, 65535, 1}}, "run of 70000 widths"},
        {"/W [1 [500] 2 [", {}, 1000, 2, {{1, 1, 500}}, "unterminated run"},
        {"/W 12 0 R", {{12, "[3 [700]]"}}, 1000, 4, {{3, 3, 700}}, "array object"},
        {"/W 12 0 R", {objstm(20, {{12, "[3 [700]]"}})}, 1000, 4, {{3, 3, 700}},
         "array in an object stream"},
        {"/W 99 0 R", {}, 1000, 0, {}, "missing array object"},
        {"/DW 750", {}, 750, 0, {}, "default width"},
        {"/DW 0", {}, 1000, 0, {}, "DW 0 ignored"},
        {"/DW -5", {}, 1000, 0, {}, "negative DW ignored"},
        {"/DW [800]", {}, 800, 0, {}, "DW in brackets"},
        {"/DW 0 /DW 600", {}, 600, 0, {}, "next DW tried"},
    };
    for (const row& r : rows) {
        font_guard g;
        std::vector<xo> extra = r.extra;
        std::string top = "/Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H";
        if (!r.desc.empty()) {
            top += " /DescendantFonts [11 0 R]";
            extra.push_back({11, "<< /Type /Font /Subtype /CIDFontType2 " + r.desc + " >>"});
        }
        parse("<< " + top + " >>", extra, &g.f);
        const font& f = g.f;
        EXPECT_EQ(f.kind, 1) << r.why;
        EXPECT_EQ(f.one_byte_codes, 0) << r.why;
        EXPECT_EQ(f.default_width, r.dw) << r.why;
        EXPECT_EQ(f.cid_width_count, r.count) << r.why;
        if (r.count == 0) {
            EXPECT_EQ(f.cid_widths, nullptr) << r.why;
            continue;
        }
        ASSERT_NE(f.cid_widths, nullptr) << r.why;
        for (uint32_t c = 0; c < r.count; c++) {
            int want = -1;
            for (const span& s : r.widths)
                if ((int)c >= s.lo && (int)c <= s.hi) want = s.w;
            ASSERT_EQ(f.cid_widths[c], want) << r.why << " CID " << c;
        }
    }
}

TEST(FontParse, CompositeDescendantAndCodeLength) {
    const std::string desc = "<< /Subtype /CIDFontType0 /DW 900 >>";
    struct row {
        std::string top;
        std::vector<xo> extra;
        int dw;
        int one_byte;
        const char* why;
    };
    const row rows[] = {
        {"/DescendantFonts [11 0 R]", {{11, desc}}, 900, 0, "inline array"},
        {"/DescendantFonts 12 0 R", {{11, desc}, {12, "[11 0 R]"}}, 900, 0,
         "array as an object"},
        {"/DescendantFonts 12 0 R", {{11, desc}, objstm(20, {{12, "[11 0 R]"}})}, 900, 0,
         "array in an object stream"},
        {"/DescendantFonts [99 0 R]", {}, 1000, 0, "missing descendant"},
        {"/DescendantFonts [11 0 R] /Encoding 13 0 R",
         {{11, desc}, {13, "/Type /CMap", "1 begincodespacerange\n<00> <FF>\nendcodespacerange"}},
         900, 1, "one-byte codespace"},
        {"/Encoding 13 0 R",
         {{13, "/Type /CMap", "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange"}}, 1000,
         0, "two-byte codespace"},
        {"/Encoding 13 0 R", {{13, "<< /Type /CMap >>"}}, 1000, 0, "encoding is no stream"},
    };
    for (const row& r : rows) {
        font_guard g;
        parse("<< /Type /Font /Subtype /Type0 " + r.top + " >>", r.extra, &g.f);
        EXPECT_EQ(g.f.kind, 1) << r.why;
        EXPECT_EQ(g.f.default_width, r.dw) << r.why;
        EXPECT_EQ(g.f.one_byte_codes, r.one_byte) << r.why;
        EXPECT_EQ(g.f.winansi, 0) << r.why;
    }
}
