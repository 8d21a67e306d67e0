// Page extraction end to end on documents built in memory: resources and
// their inheritance, content parts, form XObjects and fonts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "pdf_builder.h"
#include "text/text.h"

using namespace pdftext;

namespace {

using part = std::function<void(testpdf::builder&)>;

part obj(int n, const std::string& body) {
    return [=](testpdf::builder& b) { b.obj(n, body); };
}
part stream(int n, const std::string& dict, const std::string& data) {
    return [=](testpdf::builder& b) { b.stream(n, dict, data); };
}
// An uncompressed object stream holding the given members.
part objstm(int n, const std::vector<std::pair<int, std::string>>& members) {
    std::string head, body;
    for (auto& m : members) {
        head += std::to_string(m.first) + " " + std::to_string(body.size()) + " ";
        body += m.second + "\n";
    }
    return stream(n, "/Type /ObjStm /N " + std::to_string(members.size()) + " /First " +
                         std::to_string(head.size()), head + body);
}
// A Type1 font without a standard name whose letters are all `w` wide.
std::string font_obj(int w) {
    std::string ws;
    for (int i = 0; i < 26; i++) ws += std::to_string(w) + " ";
    return "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /FirstChar 97 /Widths [" + ws + "] >>";
}

// Catalog 1, pages 2 (with `pages_extra`), page 3 (with `page_extra`, its
// parent and contents), content 4, and the given objects.
std::string pdf(const std::string& page_extra, const std::string& content,
                const std::vector<part>& parts, const std::string& pages_extra = "",
                int parent = 2, const std::string& contents = "4 0 R") {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 " + pages_extra + " >>");
    b.obj(3, "<< /Type /Page /Parent " + std::to_string(parent) + " 0 R " + page_extra +
                 " /Contents " + contents + " >>");
    b.stream(4, "", content);
    for (auto& p : parts) p(b);
    return b.finish();
}

std::string page_text(const std::string& bytes, int index = 0) {
    uint8_t* data = (uint8_t*)malloc(bytes.size());
    memcpy(data, bytes.data(), bytes.size());
    doc d;
    if (doc_load_bytes(data, (int32_t)bytes.size(), "test.pdf", &d) != 0) return "<load failed>";
    char* t = extract_page(&d, index);
    std::string s = t ? t : "<null>";
    free(t);
    return s;
}

// With F1 at size 10, "a" ends at 5 and "b" starts at 20.  The gap tells
// which font was used: letters 500 wide: gap 15, 15 / 5 + 0.5 = 3.5 -> 3
// spaces; 1000 wide: gap 10 -> 2.5 -> 2 spaces; no font: no placement.
const std::string AB = "BT /F1 10 Tf (a) Tj 20 0 Td (b) Tj ET";
const std::string AB2 = "BT /F2 10 Tf (a) Tj 20 0 Td (b) Tj ET";
const char* AB_500 = "a   b";
const char* AB_1000 = "a  b";
const char* AB_NONE = "ab";
const std::string F1_10 = "/Resources << /Font << /F1 10 0 R >> >>";

// The letters of "Survey Bulletin" with Times-Bold's widths, as
// Ghostscript embeds a subset.
std::string times_bold_subset() {
    const std::pair<char, int> w[] = {{'B', 667}, {'S', 556}, {'e', 444}, {'i', 278},
                                      {'l', 278}, {'n', 556}, {'r', 444}, {'t', 333},
                                      {'u', 556}, {'v', 500}, {'y', 500}};
    std::string ws;
    for (int c = 'B'; c <= 'y'; c++) {
        int v = 0;
        for (auto& p : w)
            if (p.first == c) v = p.second;
        ws += std::to_string(v) + " ";
    }
    return "<< /Type /Font /Subtype /Type1 /BaseFont /NQRROJ+Times-Bold /FirstChar 66 /Widths [" +
           ws + "] >>";
}

struct row {
    std::string pdf, out;
    const char* why;
};

}  // namespace

TEST(PageText, ResourcesAndFonts) {
    const part f500 = obj(10, font_obj(500)), f1000 = obj(11, font_obj(1000));
    row rows[] = {
        {pdf(F1_10, AB, {f500}), AB_500, "the page's own font"},
        {pdf("", AB, {f500}, F1_10), AB_500, "inherited from the root only"},
        {pdf(F1_10, AB, {f500, f1000}, "/Resources << /Font << /F1 11 0 R >> >>"), AB_500,
         "the page's F1 shadows the parent's"},
        {pdf("/Resources << /Font << /F2 10 0 R >> >>", AB, {f500, f1000},
             "/Resources << /Font << /F1 11 0 R >> >>"),
         AB_1000, "every ancestor contributes, not only the nearest with resources"},
        {pdf("/Resources 7 0 R", AB, {objstm(8, {{7, F1_10.substr(11)}, {10, font_obj(500)}})}),
         AB_500, "resources and font inside an object stream"},
        {pdf("/Resources << /Font 9 0 R >>", AB, {obj(9, "<< /F1 10 0 R >>"), f500}), AB_500,
         "/Font as a reference"},
        {pdf("/Resources << /Font << /F1.0 10 0 R >> >>", "BT /F1.0 10 Tf (a) Tj 20 0 Td (b) Tj ET",
             {f500}),
         AB_500, "a font name with a dot is found in the table and selected"},
        {pdf("/Resources << /Font << /F1 99 0 R >> >>", AB, {}), AB_NONE,
         "a missing font: the strings come out byte by byte"},
        {pdf(F1_10,
             "BT /F1 12 Tf 1 0 0 1 248.28 718.89 Tm (Sur)Tj -0.12 Tc 18.552 0 Td (ve)Tj "
             "3 Tc 11.2078 0 Td (yB)Tj 0 Tc 17.0039 0 Td (ulletin)Tj ET",
             {obj(10, times_bold_subset())}),
         "Survey Bulletin",
         "Ghostscript's character spacing: y ends at 35.76, B starts 3 later (3 / 6 + 0.5 -> 1 "
         "space); the Td kerns before v and u put them within 0.12 of the glyph ends"},
        {pdf("/Resources << /Font << /F1 10 0 R /T 12 0 R >> >>",
             "BT (x\\fy) Tj /F1 10 Tf (a\\fb\\rc) Tj /T 10 Tf (A) Tj ET",
             {f500,
              obj(12, "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /FirstChar 65 /Widths [500] "
                      "/ToUnicode 13 0 R >>"),
              stream(13, "",
                     "begincmap 1 begincodespacerange <00> <FF> endcodespacerange\n"
                     "1 beginbfchar <41> <000C> endbfchar endcmap\n")}),
         "xyabc", "no form feed or CR from a string without font, a code value or a ToUnicode entry"},
    };
    for (const row& r : rows) EXPECT_EQ(page_text(r.pdf), r.out) << r.why;
}

TEST(PageText, ParentChains) {
    // Page 3's parent chain 20 -> 21 -> ...; the last node names F1.
    auto chain = [](int nodes, bool cycle) {
        std::vector<part> parts = {obj(10, font_obj(500))};
        for (int i = 0; i < nodes; i++) {
            int next = i + 1 < nodes ? 21 + i : (cycle ? 20 : 0);
            parts.push_back(obj(20 + i, "<< /Type /Pages " + (i + 1 == nodes ? F1_10 : "") +
                                            (next ? " /Parent " + std::to_string(next) + " 0 R" : "") +
                                            " >>"));
        }
        return pdf("", AB, parts, "", 20);
    };
    EXPECT_EQ(page_text(chain(63, false)), AB_500) << "the 63rd ancestor is visited";
    EXPECT_EQ(page_text(chain(64, false)), AB_NONE) << "the 64th is not";
    EXPECT_EQ(page_text(chain(5, true)), AB_500) << "a /Parent cycle ends";
}

TEST(PageText, SixteenResourceDictionaries) {
    // The page and 15 ancestors fill the list; the 16th ancestor's F1 is not
    // registered.  A form's own resources still load their fonts.
    auto doc_with = [](const std::string& content) {
        std::vector<part> parts = {
            obj(10, font_obj(500)), obj(11, font_obj(1000)), obj(36, "<< /Type /Pages >>"),
            stream(90, "/Type /XObject /Subtype /Form /Resources << /Font << /F2 11 0 R >> >>", AB2)};
        for (int i = 0; i < 16; i++)
            parts.push_back(obj(20 + i, "<< /Type /Pages /Resources " +
                                            std::string(i == 15 ? F1_10.substr(11) : "<< /ProcSet [/PDF] >>") +
                                            " /Parent " + std::to_string(21 + i) + " 0 R >>"));
        return pdf("/Resources << /XObject << /X 90 0 R >> >>", content, parts, "", 20);
    };
    EXPECT_EQ(page_text(doc_with(AB)), AB_NONE);
    EXPECT_EQ(page_text(doc_with("/X Do")), AB_1000);
}

TEST(PageText, ContentParts) {
    // Part 4 ends inside a string, so the one space that joins the parts
    // becomes part of the string: "b ".
    auto parts = [](const std::string& list, int extra) {
        std::vector<part> ps = {stream(5, "", "(a) Tj (b"), stream(6, "", ") Tj"),
                                obj(7, "<< /NotAStream true >>")};
        for (int i = 0; i < extra; i++) ps.push_back(stream(40 + i, "", i == 64 ? "(LATE) Tj" : "(x) Tj"));
        return pdf("", "", ps, "", 2, list);
    };
    std::string seventy;
    for (int i = 0; i < 70; i++) seventy += std::to_string(40 + i) + " 0 R ";
    row rows[] = {
        {parts("5 0 R", 0), "a", "one part"},
        {parts("[5 0 R 6 0 R]", 0), "ab ", "two parts joined by exactly one space"},
        {parts("[5 0 R 99 0 R 7 0 R 6 0 R]", 0), "ab ",
         "a missing and a non-stream part leave no trace, not even a separator"},
        {parts("[" + seventy + "]", 70), std::string(64, 'x'), "only the first 64 parts are used"},
        {parts("[]", 0), "", "an empty array: empty text, not null"},
    };
    for (const row& r : rows) EXPECT_EQ(page_text(r.pdf), r.out) << r.why;
}

TEST(PageText, Forms) {
    // The page names F1 (500 wide) and the XObjects; 11 is a font 1000
    // wide.  Without /Subtype an XObject counts as a form.
    auto forms = [](const std::string& content, const std::string& xobjects,
                    std::vector<part> parts) {
        parts.push_back(obj(10, font_obj(500)));
        parts.push_back(obj(11, font_obj(1000)));
        return pdf("/Resources << /Font << /F1 10 0 R >> /XObject << " + xobjects + " >> >>", content,
                   parts);
    };
    auto form = [](int n, const std::string& dict, const std::string& content) {
        return stream(n, "/Type /XObject " + dict, content);
    };
    std::vector<part> chain;
    std::string chain_names;
    for (int i = 1; i <= 9; i++) {
        chain.push_back(form(20 + i, "", "(" + std::to_string(i) + ") Tj /C" + std::to_string(i + 1) + " Do"));
        chain_names += "/C" + std::to_string(i) + " " + std::to_string(20 + i) + " 0 R ";
    }
    row rows[] = {
        {forms("(p) Tj /X Do (q) Tj", "/X 30 0 R", {form(30, "", "(f) Tj")}), "pfq",
         "a form continues the page's text"},
        {forms("/X Do", "/X 30 0 R", {form(30, "", "(f) Tj /X Do")}), "f",
         "a form that invokes itself is interpreted once"},
        {forms("/X Do", "/X 30 0 R /Y 31 0 R", {form(30, "", "(x) Tj /Y Do"), form(31, "", "(y) Tj /X Do")}),
         "xy", "two forms invoking each other"},
        {forms("/X Do /X Do", "/X 30 0 R", {form(30, "", "(f) Tj")}), "f", "the same form twice counts once"},
        {forms("/C1 Do", chain_names, chain), "12345678", "nine nested forms: the first eight run"},
        {forms("(a) Tj /Im1 Do", "/Im1 30 0 R", {form(30, "/Subtype /Image /Width 1", "(bad) Tj")}), "a",
         "an image XObject does nothing"},
        {forms("/Fm0.1 Do", "/Fm0.1 30 0 R", {form(30, "", "(f) Tj")}), "f", "an XObject name with a dot"},
        {forms("(a) Tj /X Do", "/X 30 0 R /X 31 0 R", {form(30, "", "(b) Tj"), form(31, "", "(c) Tj")}), "ab",
         "the first name in the table wins"},
        {forms("/X Do", "/X 30 0 R", {form(30, "/Resources << /Font << /F1 11 0 R >> >>", AB)}), AB_500,
         "the page's F1 (500) shadows the form's F1 (1000): the lower slot wins"},
        {forms("/X Do", "/X 30 0 R", {form(30, "/Resources << /Font << /F2 11 0 R >> >>", AB2)}), AB_1000,
         "the form's own font"},
        {forms("BT /X Do (a) Tj 20 0 Td (b) Tj ET", "/X 30 0 R",
               {form(30, "/Resources << /Font << /F2 11 0 R >> >>", "/F2 10 Tf")}),
         AB_1000, "a font selected in a form stays selected after it"},
        {forms("/X Do", "/X 30 0 R",
               {form(30, "/Resources 7 0 R", AB2),
                objstm(8, {{7, "<< /Font << /F2 11 0 R >> >>"}})}),
         AB_1000, "form resources inside an object stream (ConTeXt, xdvipdfmx) load their fonts"},
    };
    for (const row& r : rows) EXPECT_EQ(page_text(r.pdf), r.out) << r.why;
}

TEST(PageText, PagesOfOneDocument) {
    std::string p = testpdf::simple_doc({"BT /F1 12 Tf (One) Tj ET", "BT /F1 12 Tf (Two) Tj ET"});
    EXPECT_EQ(page_text(p, 1), "Two");
    EXPECT_EQ(page_text(p, 1), "Two") << "the same page twice gives the same text";
    EXPECT_EQ(page_text(p, 0), "One");
    EXPECT_EQ(page_text(p, 2), "") << "an index outside the list gives empty text";
}

TEST(NameTable, RegularCharacters) {
    const std::string n63 = std::string(60, 'x') + ".01";
    struct {
        std::string dict;
        std::vector<std::pair<std::string, int>> pairs;
        const char* why;
    } rows[] = {
        {"<< /F1.0 5 0 R /TT2.1 7 0 R >>", {{"F1.0", 5}, {"TT2.1", 7}}, "names with dots (macOS)"},
        {"<< /F#20x 3 0 R /a*b;c 4 0 R >>", {{"F#20x", 3}, {"a*b;c", 4}},
         "every regular character, no # decoding"},
        {"<</A<</B 5 0 R>>/C 6 0 R>>", {{"B", 5}, {"C", 6}}, "delimiters end names"},
        {"<< /F1(x) 5 0 R >>", {}, "a string after the name is not a number"},
        {"<< /" + n63 + " 5 0 R >>", {{n63, 5}}, "63 characters"},
        {"<< /" + n63 + "9 5 0 R >>", {}, "64 characters"},
        {"<< /\xC3\xA9 5 0 R >>", {{"\xC3\xA9", 5}}, "bytes above 127 are regular"},
    };
    for (const auto& r : rows) {
        name_table t;
        int n = parse_name_refs((const uint8_t*)r.dict.data(), (int)r.dict.size(), 0, &t);
        ASSERT_EQ(n, (int)r.pairs.size()) << r.why;
        for (int i = 0; i < n; i++) {
            EXPECT_EQ(t.names[i], r.pairs[i].first) << r.why;
            EXPECT_EQ(t.nums[i], r.pairs[i].second) << r.why;
        }
    }
}
