// Document loading: object discovery, stream extents, pruning,
// de-duplication, the trailer walk and the page tree.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "doc/doc.h"
#include "doc/kwlist.h"
#include "pdf_builder.h"
#include "pdftext.h"

using namespace pdftext;
using testpdf::builder;

namespace {

// Loads bytes as a document; returns doc_load's result.
int load(const std::string& bytes, doc* d) {
    uint8_t* p = (uint8_t*)malloc(bytes.size() ? bytes.size() : 1);
    memcpy(p, bytes.data(), bytes.size());
    return doc_load_bytes(p, (int32_t)bytes.size(), "mem.pdf", d);
}

std::string stream_data(const doc& d, int num) {
    const obj_entry* e = doc_find(&d, num);
    if (!e || !e->has_stream) return "<none>";
    return std::string((const char*)d.data + e->data_off, (size_t)(e->data_end - e->data_off));
}

std::string pages_of(const doc& d) {
    std::string s;
    for (const page_ref& p : d.pages) s += (s.empty() ? "" : ",") + std::to_string(p.page_num);
    return s;
}

const char* CAT = "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
// A catalog with an empty page tree.
const std::string CATP = std::string(CAT) + "2 0 obj << /Type /Pages /Kids [] >> endobj\n";

}  // namespace

TEST(Load, ObjectHeaders) {
    struct { std::string body; int num; bool found; const char* why; } cases[] = {
        {"1 0 obj <<>> endobj", 1, true, "no %PDF- header needed"},
        {"x12 0 obj <<>> endobj", 12, false, "a letter before the number"},
        {"012 0 obj <<>> endobj", 12, true, "leading zeros"},
        {"0 0 obj <<>> endobj", 0, false, "object 0 is not recorded"},
        {"x 12 obj <<>> endobj", 12, false, "one number only"},
        {"x 12 0obj <<>> endobj", 12, false, "no separator before the keyword"},
        {"x 12\t\n0\r\nobj <<>> endobj", 12, true, "any ASCII white space between the parts"},
        {"x 12 0 obj <<>>", 12, false, "no endobj"},
        {"x 99999999999 0 obj <<>> endobj", -1, false, "a number beyond 32 bits is rejected"},
        {"x 4294967298 0 obj <<>> endobj", 2, false, "and does not wrap to a small number"},
        {"x 8388607 0 obj <<>> endobj", 8388607, true, "the largest object number"},
        {"x 8388608 0 obj <<>> endobj", 8388608, false, "one more is dropped"},
    };
    for (auto& c : cases) {
        doc d;
        std::string src = (c.num == 1 ? "" : "1 0 obj 5 endobj\n") + c.body;
        ASSERT_EQ(load(src, &d), 0) << c.why;
        EXPECT_EQ(doc_find(&d, c.num) != nullptr, c.found) << c.why;
    }
}

TEST(Load, FileErrors) {
    struct { const char* path; std::string bytes; std::string msg; } cases[] = {
        {nullptr, "", "NULL path argument"},
        {"/nonexistent/x.pdf", "", "cannot open /nonexistent/x.pdf"},
        {"", "", "empty input file: %s"},
        {"", "abc", "no PDF objects found \xE2\x80\x94 not a PDF: %s"},
        {"", "just some text without objects", "no PDF objects found \xE2\x80\x94 not a PDF: %s"},
    };
    for (auto& c : cases) {
        doc d;
        std::string want = c.msg;
        if (c.path && !*c.path) {
            testpdf::temp_file f(c.bytes);
            want.replace(want.find("%s"), 2, f.path);
            EXPECT_EQ(doc_load(f.c_str(), &d), -1);
            EXPECT_EQ(std::string(pdftext_last_error()), want);
        } else {
            EXPECT_EQ(doc_load(c.path, &d), -1);
            EXPECT_EQ(std::string(pdftext_last_error()), want);
        }
        EXPECT_EQ(d.data, nullptr) << "nothing stays allocated";
    }
}

TEST(Load, StreamExtents) {
    struct { std::string obj; std::string data; const char* why; } cases[] = {
        {"5 0 obj << /Length 20 >>\nstream\nabc endstream xyz 12\nendstream\nendobj\n",
         "abc endstream xyz 12", "a correct length keeps a data-borne endstream"},
        {"5 0 obj << /Length 3 >>\nstream\nabcdef\r\nendstream\nendobj\n", "abcdef",
         "a wrong length: data ends before the end-of-line of the first endstream"},
        {"5 0 obj << /Length 9 0 R >>\nstream\n12345\nendstream\nendobj\n9 0 obj 5 endobj\n", "12345",
         "an indirect length"},
        {"5 0 obj << /Length 9 0 R >>\nstream\n123456\nendstream\nendobj\n", "123456",
         "a missing length object: up to endstream"},
        {"5 0 obj << /Length [1 7] >>\nstream\nabcdefg\nendstream\nendobj\n", "abcdefg",
         "the last non-negative number of an array"},
        {"5 0 obj << /Length 2147483000 >>\nstream\nabc\nendstream\nendobj\n", "abc",
         "a length near 2^31 does not wrap past the end of the file"},
        {"5 0 obj << /Length -3 /Length 2 >>\nstream\nab\nendstream\nendobj\n", "ab",
         "an unusable occurrence sends the search on"},
        {"5 0 obj << /Length 3 >>stream \r\nabc\nendstream\nendobj\n", "abc",
         "spaces before the end-of-line marker"},
        {"5 0 obj << /Length 3 >>\nstream\rabc\nendstream\nendobj\n", "abc", "a lone CR"},
    };
    for (auto& c : cases) {
        doc d;
        ASSERT_EQ(load(CATP + c.obj, &d), 0) << c.why;
        EXPECT_EQ(stream_data(d, 5), c.data) << c.why;
    }
}

TEST(Load, Pruning) {
    // An uncompressed stream whose data holds text that looks like a header.
    std::string s = CATP +
                    "5 0 obj << /Length 30 >>\nstream\n7 0 obj << /Type /Page >> endobj\nendstream\nendobj\n";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    EXPECT_EQ(doc_find(&d, 7), nullptr) << "a header inside stream data is removed";

    // A stream without endobj after it is removed.
    doc e;
    ASSERT_EQ(load(CATP + "5 0 obj << /Length 3 >>\nstream\nabc\nendstream\n", &e), 0);
    EXPECT_EQ(doc_find(&e, 5), nullptr);
}

TEST(Load, NewestDefinitionWins) {
    // Object 3 is defined twice; between the two lies a removed stream
    // (no endobj).  The later definition must still win: pruning keeps the
    // order of the table.
    std::string s = CATP + "3 0 obj (old) endobj\n" +
                    "8 0 obj << /Length 1 >>\nstream\nx\nendstream\n" +
                    "9 0 obj (a) endobj\n3 0 obj (new) endobj\n";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    const obj_entry* e = doc_find(&d, 3);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(std::string((const char*)d.data + e->hdr_off, 15), "3 0 obj (new) e");
}

TEST(Load, PageTree) {
    struct { std::string objs; int rc; std::string pages; const char* why; } cases[] = {
        {"2 0 obj << /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] >> endobj\n"
         "3 0 obj << /Type /Page >> endobj 4 0 obj << /Type /Page >> endobj 5 0 obj << /Type /Page >> endobj",
         0, "3,4,5", "a flat tree"},
        {"2 0 obj << /Type /Pages /Kids [6 0 R 5 0 R] >> endobj 6 0 obj << /Type /Pages /Kids [3 0 R 4 0 R] >> endobj "
         "3 0 obj << /Type /Page >> endobj 4 0 obj << /Type /Page >> endobj 5 0 obj << /Type /Page >> endobj",
         0, "3,4,5", "depth first"},
        {"2 0 obj << /Type /Pages /Kids [6 0 R 6 0 R] >> endobj 6 0 obj << /Type /Pages /Kids [3 0 R] >> endobj "
         "3 0 obj << /Type /Page >> endobj",
         -1, "", "a node listed twice breaks the tree"},
        {"2 0 obj << /Type /Pages /Kids [3 0 R] >> endobj 3 0 obj << /Parent 2 0 R >> endobj", -1, "",
         "a kid without /Type"},
        {"2 0 obj << /Type /Pages /Kids [3 0 R 9 0 R] >> endobj 3 0 obj << /Type /Page >> endobj", -1, "",
         "a missing kid"},
        {"2 0 obj << /Type /Pages /Kids [] >> endobj", 0, "", "empty kids: no pages"},
        {"2 0 obj << /Type /Pages /Kids [3 0 R 6 0 R] >> endobj 6 0 obj << /Type /Pages >> endobj "
         "3 0 obj << /Type /Page >> endobj",
         0, "3", "a node without /Kids contributes nothing"},
        {"2 0 obj << /Type /Pages /Kids 3 0 R /Parent 1 0 R >> endobj 3 0 obj << /Type /Page >> endobj", 0, "3",
         "/Kids without brackets is exactly one reference"},
        {"2 0 obj << /Type /Pages /Kids 7 0 R >> endobj 7 0 obj [3 0 R 4 0 R] endobj "
         "3 0 obj << /Type /Page >> endobj 4 0 obj << /Type /Page >> endobj",
         0, "3,4", "an indirect /Kids array"},
        {"2 0 obj << /Type /Pages /Kids [3 0 R] >> endobj 3 0 obj << /Annots [<< /Type /Annot >>] /Type /Page >> endobj",
         0, "3", "a nested /Type does not stop the search"},
        {"2 0 obj << /Type /Pages /Kids [3 0 R] >> endobj 3 0 obj << /Type /PageLabels >> endobj", -1, "",
         "/PageLabels is not a page"},
        {"2 0 obj << /Type /Pages /Kids [2 0 R] >> endobj", -1, "", "a node that is its own kid"},
    };
    for (auto& c : cases) {
        doc d;
        int rc = load(std::string(CAT) + c.objs, &d);
        EXPECT_EQ(rc, c.rc) << c.why;
        if (rc == 0) {
            EXPECT_EQ(pages_of(d), c.pages) << c.why;
        } else {
            EXPECT_EQ(std::string(pdftext_last_error()), "broken page tree in mem.pdf") << c.why;
        }
    }
}

TEST(Load, WideAndDeepTrees) {
    // 5000 kids in one node: every one is read.
    std::string kids, objs;
    for (int i = 0; i < 5000; i++) {
        kids += std::to_string(10 + i) + " 0 R ";
        objs += std::to_string(10 + i) + " 0 obj << /Type /Page >> endobj\n";
    }
    doc d;
    ASSERT_EQ(load(std::string(CAT) + "2 0 obj << /Type /Pages /Kids [" + kids + "] >> endobj\n" + objs, &d), 0);
    EXPECT_EQ(d.pages.size(), 5000u);
    EXPECT_EQ(d.pages.back().page_num, 5009);

    // 100,000 levels: no stack overflow, order stays depth first.
    std::string deep = std::string(CAT);
    const int levels = 100000;
    for (int i = 0; i < levels; i++)
        deep += std::to_string(2 + i) + " 0 obj << /Type /Pages /Kids [" + std::to_string(3 + i) + " 0 R " +
                (i == 0 ? "" : "") + "] >> endobj\n";
    deep += std::to_string(2 + levels) + " 0 obj << /Type /Page >> endobj\n";
    doc e;
    ASSERT_EQ(load(deep, &e), 0);
    ASSERT_EQ(e.pages.size(), 1u);
    EXPECT_EQ(e.pages[0].page_num, 2 + levels);
}

TEST(Load, Catalog) {
    struct { std::string src; std::string pages; const char* why; } cases[] = {
        {"4 0 obj << /Type /Catalog /Pages 5 0 R >> endobj 5 0 obj << /Type /Pages /Kids [6 0 R] >> endobj "
         "6 0 obj << /Type /Page >> endobj",
         "6", "no trailer: the object holding /Catalog"},
        {"1 0 obj << /Pages 5 0 R >> endobj 5 0 obj << /Type /Pages /Kids [6 0 R] >> endobj "
         "6 0 obj << /Type /Page >> endobj",
         "6", "no /Catalog anywhere: object 1"},
        {"1 0 obj << /Type /Pages /Kids [6 0 R] >> endobj 6 0 obj << /Type /Page >> endobj", "6",
         "a catalog that is a page tree node is the root"},
        {"3 0 obj << /Type /Page >> endobj", "", "no catalog at all: no pages"},
    };
    for (auto& c : cases) {
        doc d;
        ASSERT_EQ(load(c.src, &d), 0) << c.why;
        EXPECT_EQ(pages_of(d), c.pages) << c.why;
        EXPECT_EQ(d.has_pages, !c.pages.empty()) << c.why;
    }
}

TEST(Load, TrailerWalk) {
    builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] >>");
    b.obj(3, "<< /Type /Page >>");
    b.obj(7, "<< /Type /Catalog /Pages 8 0 R >>");
    b.obj(8, "<< /Type /Pages /Kids [9 0 R 3 0 R] >>");
    b.obj(9, "<< /Type /Page >>");
    std::string s = b.finish(7);
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    EXPECT_EQ(d.root_num, 7);
    EXPECT_EQ(pages_of(d), "9,3") << "the trailer's /Root wins over the first /Catalog";

    // An incremental update: the newest trailer decides, the older one
    // before the last table is not visited.
    std::string upd = s + "10 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    size_t xref = upd.size();
    upd += "xref\n0 1\n0000000000 65535 f \ntrailer << /Root 10 0 R >>\nstartxref\n" + std::to_string(xref) +
           "\n%%EOF\n";
    doc e;
    ASSERT_EQ(load(upd, &e), 0);
    EXPECT_EQ(e.root_num, 10);
}

TEST(Load, XrefStreamChain) {
    // Two cross-reference streams: the newest names /Root 9, an older /Root 3.
    std::string s = "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    s += "2 0 obj << /Type /Pages /Kids [4 0 R] >> endobj\n4 0 obj << /Type /Page >> endobj\n";
    s += "9 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n";
    size_t old = s.size();
    s += "20 0 obj << /Type /XRef /Root 3 0 R /Length 1 >>\nstream\nx\nendstream\nendobj\n";
    size_t neu = s.size();
    s += "21 obj << /Type /XRef /Root 9 0 R /Prev " + std::to_string(old) +
         " /Length 1 >>\nstream\ny\nendstream\nendobj\nstartxref\n" + std::to_string(neu) + "\n%%EOF";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    EXPECT_EQ(d.root_num, 9) << "the newest section names the root; a header without generation is fine";

    // A /Prev chain that loops: the walk stops.
    std::string loop = "1 0 obj << /Type /XRef /Prev 0 /Length 1 >>\nstream\nx\nendstream\nendobj\nstartxref\n0\n";
    doc e;
    EXPECT_EQ(load(loop, &e), 0);
}

TEST(Load, Encrypted) {
    const std::string want = "encrypted PDFs are not supported: mem.pdf";
    builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>").obj(2, "<< /Type /Pages /Kids [] >>");
    b.obj(5, "<< /Filter /Standard /V 2 >>");
    std::string s = b.finish(1, "/Encrypt 5 0 R");
    doc d;
    EXPECT_EQ(load(s, &d), -1);
    EXPECT_EQ(std::string(pdftext_last_error()), want);

    // The startxref offset is off (bytes before the header shift the file):
    // the walk reaches no section, yet the trailer's /Encrypt is found.
    doc e;
    EXPECT_EQ(load("garbage before the header\n" + s.substr(0, s.rfind("startxref")) + "startxref\n999999\n%%EOF", &e),
              -1);
    EXPECT_EQ(std::string(pdftext_last_error()), want);

    std::string xs = "1 0 obj << /Type /Catalog >> endobj\n"
                     "7 0 obj << /Type /XRef /Encrypt 5 0 R /Length 1 >>\nstream\nx\nendstream\nendobj\n";
    doc f;
    EXPECT_EQ(load(xs, &f), -1) << "a cross-reference stream found by the scan";
    EXPECT_EQ(std::string(pdftext_last_error()), want);

    doc g;
    EXPECT_EQ(load("trailer << /Encrypt 5 0 R >>", &g), -1) << "no objects comes first";
    EXPECT_EQ(std::string(pdftext_last_error()), "no PDF objects found \xE2\x80\x94 not a PDF: mem.pdf");
}

TEST(Load, ReleaseTwice) {
    doc d;
    ASSERT_EQ(load(CATP, &d), 0);
    doc_free(&d);
    doc_free(&d);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_TRUE(d.objs.empty());
}

TEST(Load, UnterminatedDictionariesStayLinear) {
    // A million-header file of unterminated dictionaries: each header scan
    // must not run to the end of the file again.
    std::string s;
    for (int i = 0; i < 200000; i++) s += "1 0 obj <<";
    s += " endobj";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    EXPECT_NE(doc_find(&d, 1), nullptr);
    std::string t;
    for (int i = 0; i < 200000; i++) t += "1 0 obj << (";
    doc e;
    EXPECT_EQ(load(t, &e), -1) << "no endobj: nothing recorded";
}

TEST(Load, NameHitsAgreeWithFindName) {
    // The occurrence list answers every range as find_name does, including
    // names cut by the range's end and names followed by name characters.
    const char* parts[] = {"/Cat", "/Catalog", "/Catalogs", "/Catalog ", "x", " ", "/", "/Catalog/"};
    unsigned seed = 12345;
    auto rnd = [&]() { return seed = seed * 1103515245u + 12345u, (seed >> 16) & 0x7FFF; };
    for (int round = 0; round < 200; round++) {
        std::string s;
        while (s.size() < 200) s += parts[rnd() % 8];
        name_hits h;
        h.build((const uint8_t*)s.data(), (int)s.size(), "Catalog");
        for (int q = 0; q < 200; q++) {
            int a = (int)(rnd() % s.size()), b = (int)(rnd() % (s.size() + 1));
            if (a > b) std::swap(a, b);
            EXPECT_EQ(h.first_in(a, b), find_name((const uint8_t*)s.data(), (int)s.size(), a, b, "Catalog"))
                << s << " [" << a << "," << b << ")";
        }
    }
}

TEST(Load, OverlappingTrailersAndCatalogRanges) {
    // Many trailers without a startxref between them, and many objects
    // whose ranges run to one late endobj: answers stay those of a scan of
    // each range (the newest trailer with a usable /Root wins).
    std::string s = "xref\n";
    for (int i = 0; i < 20000; i++) s += "trailer << /Root x /Size 3 >>\n";
    s += "trailer << /Root 3 0 R >>\n";
    for (int i = 0; i < 20000; i++) s += "9 0 obj << /Type /X ";
    s += "endobj 3 0 obj << /Type /Catalog /Pages 4 0 R >> endobj 4 0 obj << /Type /Pages /Kids [] >> endobj\n";
    s += "startxref\n0\n%%EOF\n";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    EXPECT_EQ(d.root_num, 3);
}

TEST(Load, FilesOf2GiBAreRefused) {
    // A sparse file of exactly 2 GiB: its size does not fit the 32-bit
    // offsets, so it fails as a read error instead of being half read.
    std::string path = "/tmp/pdftext-test-2gib.pdf";
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(fseeko(f, (off_t)0x80000000LL - 1, SEEK_SET), 0);
    fputc('x', f);
    fclose(f);
    doc d;
    EXPECT_EQ(doc_load(path.c_str(), &d), -1);
    EXPECT_EQ(std::string(pdftext_last_error()), "read error on " + path);
    remove(path.c_str());
}
