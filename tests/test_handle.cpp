// Document handles: the same answers as the one-call exports, from files
// and from memory, the messages of every failure, ownership, and the font
// cache shared by the pages of one document.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "pdf_builder.h"
#include "pdftext.h"

namespace {

struct closer {
    void operator()(pdftext_doc* d) const { pdftext_close(d); }
};
using handle = std::unique_ptr<pdftext_doc, closer>;

struct freer {
    void operator()(void* p) const { pdftext_free(p); }
};
using owned = std::unique_ptr<char, freer>;

std::string err() { return pdftext_last_error(); }

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> test_pdfs() {
    std::vector<std::string> v;
    for (auto& e : std::filesystem::directory_iterator(TEST_DATA_DIR))
        if (e.path().extension() == ".pdf") v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
}

std::string page_of(pdftext_doc* d, int page, bool* ok) {
    size_t len = 12345;
    owned t(pdftext_doc_page_text(d, page, &len));
    *ok = t != nullptr;
    if (!t) {
        EXPECT_EQ(len, 0u);
        return err();
    }
    EXPECT_EQ(len, strlen(t.get()));
    return std::string(t.get(), len);
}

std::string hits_of(pdftext_doc* d, const char* phrase) {
    int* pages = nullptr;
    int n = pdftext_doc_search(d, phrase, &pages);
    std::string s = "{\"found\":" + std::string(n > 0 ? "true" : "false") + ",\"pages\":[";
    for (int i = 0; i < n; i++) s += (i ? "," : "") + std::to_string(pages[i]);
    s += "],\"count\":" + std::to_string(n < 0 ? 0 : n) + "}";
    pdftext_free(pages);
    return s;
}

}  // namespace

// Every committed PDF: page by page, whole text, count and search through
// a file handle and a memory handle equal the one-call exports.
TEST(Handle, EqualsExportsOnEveryTestFile) {
    int pages_checked = 0;
    for (const std::string& path : test_pdfs()) {
        SCOPED_TRACE(path);
        std::string bytes = slurp(path);
        handle from_file(pdftext_open(path.c_str()));
        std::string file_err = err();
        handle from_mem(pdftext_open_memory(bytes.data(), bytes.size()));
        std::string mem_err = err();
        int n = pdftext_page_count(path.c_str());
        if (n < 0) {
            // Refused files are refused through both opens, with the
            // loader's message naming the path or "<memory>".
            std::string want = err();
            EXPECT_FALSE(from_file);
            EXPECT_FALSE(from_mem);
            EXPECT_EQ(file_err, want);
            std::string mem_want = want.substr(0, want.find(path)) + "<memory>";
            EXPECT_EQ(mem_err, mem_want);
            continue;
        }
        ASSERT_TRUE(from_file) << file_err;
        ASSERT_TRUE(from_mem) << mem_err;
        EXPECT_EQ(pdftext_doc_page_count(from_file.get()), n);
        EXPECT_EQ(pdftext_doc_page_count(from_mem.get()), n);
        // Last page first, so that the cache is filled out of order.
        for (int p = n; p >= 1; p--) {
            const char* want = pdftext_extract_page(path.c_str(), p);
            ASSERT_NE(want, nullptr) << err();
            bool ok1, ok2;
            EXPECT_EQ(page_of(from_file.get(), p, &ok1), want) << "page " << p;
            EXPECT_EQ(page_of(from_mem.get(), p, &ok2), want) << "page " << p;
            EXPECT_TRUE(ok1 && ok2);
            pages_checked++;
        }
        const char* all = pdftext_extract_all(path.c_str());
        ASSERT_NE(all, nullptr);
        size_t len = 0;
        owned t(pdftext_doc_text(from_mem.get(), &len));
        ASSERT_TRUE(t);
        EXPECT_EQ(std::string(t.get(), len), all);
        for (const char* phrase : {"the", "a", "PDF", "zzzz-not-there", "  "})
            EXPECT_EQ(hits_of(from_file.get(), phrase), pdftext_search(path.c_str(), phrase)) << phrase;
    }
    EXPECT_GT(pages_checked, 20);
}

TEST(Handle, FailureMessages) {
    testpdf::temp_file empty("");
    testpdf::temp_file junk("hello, this is not a PDF");
    struct { const char* path; std::string want; const char* why; } opens[] = {
        {nullptr, "NULL path argument", "no path"},
        {"/nonexistent/x.pdf", "cannot open /nonexistent/x.pdf", "missing file"},
        {empty.c_str(), "empty input file: " + empty.path, "empty file"},
        {junk.c_str(), "no PDF objects found \xE2\x80\x94 not a PDF: " + junk.path, "no objects"},
    };
    for (auto& c : opens) {
        pdftext_init();
        EXPECT_EQ(pdftext_open(c.path), nullptr) << c.why;
        EXPECT_EQ(err(), c.want) << c.why;
    }
    struct { const void* data; size_t len; std::string want; const char* why; } mems[] = {
        {nullptr, 5, "NULL data argument", "no block"},
        {"x", 0, "empty input file: <memory>", "empty block"},
        {"hello", 5, "no PDF objects found \xE2\x80\x94 not a PDF: <memory>", "no objects"},
    };
    for (auto& c : mems) {
        pdftext_init();
        EXPECT_EQ(pdftext_open_memory(c.data, c.len), nullptr) << c.why;
        EXPECT_EQ(err(), c.want) << c.why;
    }
}

TEST(Handle, PageArgumentsAndNullHandle) {
    std::string pdf = testpdf::simple_doc({"BT /F1 12 Tf (one) Tj ET", "BT /F1 12 Tf (two) Tj ET"});
    handle d(pdftext_open_memory(pdf.data(), pdf.size()));
    ASSERT_TRUE(d);
    struct { int page; bool ok; std::string want; } cases[] = {
        {1, true, "one"},
        {2, true, "two"},
        {0, false, "page number must be >= 1 (got 0)"},
        {-7, false, "page number must be >= 1 (got -7)"},
        {3, false, "page 3 out of range (document has 2 pages)"},
    };
    for (auto& c : cases) {
        bool ok;
        EXPECT_EQ(page_of(d.get(), c.page, &ok), c.want) << c.page;
        EXPECT_EQ(ok, c.ok) << c.page;
    }
    // A null length pointer is allowed.
    owned t(pdftext_doc_page_text(d.get(), 1, nullptr));
    EXPECT_STREQ(t.get(), "one");

    size_t len = 9;
    int* pages = (int*)&len;
    EXPECT_EQ(pdftext_doc_page_count(nullptr), -1);
    EXPECT_EQ(err(), "NULL document handle");
    EXPECT_EQ(pdftext_doc_page_text(nullptr, 1, &len), nullptr);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(pdftext_doc_text(nullptr, &len), nullptr);
    EXPECT_EQ(pdftext_doc_search(nullptr, "x", &pages), -1);
    EXPECT_EQ(pages, nullptr);
    EXPECT_EQ(pdftext_doc_search(d.get(), nullptr, &pages), -1);
    EXPECT_EQ(err(), "NULL argument");
    pdftext_close(nullptr);
    pdftext_free(nullptr);
    EXPECT_STREQ(pdftext_version(), "0.2.0");
}

// A file whose objects load but that has no page tree: the handle opens,
// and each call fails or answers as its one-call twin does.
TEST(Handle, NoPageTree) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog >>");
    testpdf::temp_file f(b.finish());
    handle d(pdftext_open(f.c_str()));
    ASSERT_TRUE(d) << err();
    EXPECT_EQ(pdftext_doc_page_count(d.get()), -1);
    EXPECT_EQ(err(), "no pages found in " + f.path);
    EXPECT_EQ(pdftext_page_count(f.c_str()), -1);
    EXPECT_EQ(err(), "no pages found in " + f.path);
    EXPECT_EQ(pdftext_doc_text(d.get(), nullptr), nullptr);
    EXPECT_EQ(err(), "document has no page tree / pages: " + f.path);
    bool ok;
    EXPECT_EQ(page_of(d.get(), 1, &ok), "page 1 out of range (document has 0 pages)");
    EXPECT_EQ(hits_of(d.get(), "x"), "{\"found\":false,\"pages\":[],\"count\":0}");
}

// Page numbers come from the handle, not from splitting on form feeds,
// which leading empty pages leave out.
TEST(Handle, PageNumbersWithLeadingEmptyPages) {
    std::string pdf = testpdf::simple_doc({"", "", "BT /F1 12 Tf (third) Tj ET"});
    handle d(pdftext_open_memory(pdf.data(), pdf.size()));
    bool ok;
    EXPECT_EQ(page_of(d.get(), 1, &ok), "");
    EXPECT_TRUE(ok);
    EXPECT_EQ(page_of(d.get(), 3, &ok), "third");
    owned all(pdftext_doc_text(d.get(), nullptr));
    EXPECT_STREQ(all.get(), "third");
    EXPECT_EQ(hits_of(d.get(), "THIRD"), "{\"found\":true,\"pages\":[3],\"count\":1}");
}

// The cache is keyed by font object: one resource name bound to different
// fonts on different pages, and one font under two names, keep their own
// mappings, in any order of extraction.
TEST(Handle, FontCacheKeyedByObject) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 7 0 R /G 8 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT /F1 12 Tf (ab) Tj /G 12 Tf (ab) Tj ET");
    b.obj(5, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 8 0 R /H 7 0 R >> >> /Contents 6 0 R >>");
    b.stream(6, "", "BT /F1 12 Tf (ab) Tj /H 12 Tf (ab) Tj ET");
    b.obj(7, "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>");
    b.obj(8, "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /FirstChar 97 /LastChar 98 /Widths [500 500]"
             " /Encoding << /Differences [97 /X /Y] >> >>");
    std::string pdf = b.finish();
    testpdf::temp_file f(pdf);
    std::string want1 = pdftext_extract_page(f.c_str(), 1);
    std::string want2 = pdftext_extract_page(f.c_str(), 2);
    EXPECT_NE(want1, want2);
    for (int order = 0; order < 2; order++) {
        handle d(pdftext_open(f.c_str()));
        bool ok;
        if (order == 0) {
            EXPECT_EQ(page_of(d.get(), 1, &ok), want1);
            EXPECT_EQ(page_of(d.get(), 2, &ok), want2);
        } else {
            EXPECT_EQ(page_of(d.get(), 2, &ok), want2);
            EXPECT_EQ(page_of(d.get(), 1, &ok), want1);
        }
        EXPECT_EQ(page_of(d.get(), 1, &ok), want1) << "again from the cache";
    }
}

// The handle's search has no 4096 limit; the one-call search keeps it.
TEST(Handle, SearchBeyondFourThousandHits) {
    const int n = 4200;
    std::vector<std::string> c(n, "BT /F1 12 Tf (hit) Tj ET");
    testpdf::temp_file f(testpdf::simple_doc(c));
    handle d(pdftext_open(f.c_str()));
    int* pages = nullptr;
    ASSERT_EQ(pdftext_doc_search(d.get(), "HIT", &pages), n);
    bool ascending = true;
    for (int i = 0; i < n; i++) ascending &= pages[i] == i + 1;
    EXPECT_TRUE(ascending);
    pdftext_free(pages);
    std::string json = pdftext_search(f.c_str(), "hit");
    EXPECT_NE(json.find("\"count\":4096}"), std::string::npos);
    EXPECT_EQ(pdftext_doc_search(d.get(), "", &pages), 0);
    EXPECT_EQ(pages, nullptr);
}

// The memory block is copied: the caller may free it right away.
TEST(Handle, MemoryBlockIsCopied) {
    std::string pdf = testpdf::simple_doc({"BT /F1 12 Tf (kept) Tj ET"});
    std::vector<char> block(pdf.begin(), pdf.end());
    handle d(pdftext_open_memory(block.data(), block.size()));
    std::fill(block.begin(), block.end(), 'x');
    block.clear();
    block.shrink_to_fit();
    bool ok;
    EXPECT_EQ(page_of(d.get(), 1, &ok), "kept");
}

// The command line's -p goes through a handle: same bytes as the export.
TEST(Handle, CommandLinePage) {
    std::string path = std::string(TEST_DATA_DIR) + "/latex_article.pdf";
    std::string want = pdftext_extract_page(path.c_str(), 2);
    testpdf::temp_file out("");
    std::string cmd = std::string(PDFTEXT_CLI) + " -p 2 " + path + " > " + out.path;
    ASSERT_EQ(system(cmd.c_str()), 0);
    EXPECT_EQ(slurp(out.path), want);
    cmd = std::string(PDFTEXT_CLI) + " -p 99 " + path + " 2> " + out.path;
    EXPECT_NE(system(cmd.c_str()), 0);
    EXPECT_NE(slurp(out.path).find("out of range"), std::string::npos);
}
