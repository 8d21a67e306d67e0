// Hostile files through the exports: each must come back with its text,
// an empty text or a message, within the library's limits.  Their peak
// memory and time are measured by bench/hostile/measure, not here.
// The bombs are made with zlib, which the test build links when present.
#ifdef HAVE_ZLIB
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostile_files.h"
#include "pdftext.h"

namespace {

using hostile::MiB;

std::string make(const char* name) {
    for (const hostile::named_case& c : hostile::all_cases())
        if (!strcmp(c.name, name)) return c.make();
    ADD_FAILURE() << "no case " << name;
    return "";
}

struct row {
    const char* name;  // a case of hostile::all_cases()
    int pages;         // page count, -1 for a refused file
    const char* text;  // text of page 1, or the message's beginning
    const char* why;
};

// Long texts are shown by their start and length.
std::string shown(const std::string& s) {
    return s.size() <= 80 ? s : s.substr(0, 80) + "... (" + std::to_string(s.size()) + " bytes)";
}

void check(const row& r, const std::string& bytes) {
    testpdf::temp_file f(bytes);
    pdftext_init();
    EXPECT_EQ(pdftext_page_count(f.c_str()), r.pages) << r.name << ": " << r.why;
    const char* t = pdftext_extract_page(f.c_str(), 1);
    if (r.pages < 0) {
        EXPECT_EQ(t, nullptr) << r.name;
        EXPECT_EQ(std::string(pdftext_last_error()).rfind(r.text, 0), 0u)
            << r.name << ": " << pdftext_last_error() << " (" << r.why << ")";
    } else {
        ASSERT_NE(t, nullptr) << r.name << ": " << pdftext_last_error();
        EXPECT_EQ(shown(t), r.text) << r.name << ": " << r.why;
    }
    pdftext_cleanup();
}

}  // namespace

TEST(Hostile, Structure) {
    const std::string x64(64, 'x');
    const row rows[] = {
        {"deep_tree_1e5", 1, "hello", "100,000 levels are walked without deep recursion"},
        {"tree_cycle", -1, "broken page tree in ", "kids leading back to the root end the walk"},
        {"shared_lattice_64", -1, "broken page tree in ",
         "a node reached twice breaks the tree instead of giving 2^64 pages"},
        {"forms_mesh_128", 1, "01234567",
         "128 forms calling each other: each runs once per page, eight deep at most"},
        {"content_parts_1e5", 1, x64.c_str(), "of 100,000 content parts the first 64 are read"},
        {"one_byte_ops_1e6", 1, "x", "a million ' without a string show nothing"},
        {"nested_q_1e6", 1, "hello", "a million nested q keep 32 saved states"},
        {"length_self", 1, "hello", "a /Length naming its own stream falls back to endstream"},
        {"headers_1e6_no_endobj", 1, "hello", "a million unterminated headers are dropped"},
        {"dict_headers_1e6_no_endobj", 1, "hello", "the same with an open dictionary each"},
    };
    for (const row& r : rows) check(r, make(r.name));
}

TEST(Hostile, PageListedAMillionTimes) {
    // The page count is the list as written; every entry is the same page.
    testpdf::temp_file f(make("page_repeated_1e6"));
    EXPECT_EQ(pdftext_page_count(f.c_str()), 1000000);
    const char* t = pdftext_extract_page(f.c_str(), 1000000);
    ASSERT_NE(t, nullptr) << pdftext_last_error();
    EXPECT_STREQ(t, "hello");
    // The whole document reads the shared parent once, not once per page.
    const char* all = pdftext_extract_all(f.c_str());
    ASSERT_NE(all, nullptr) << pdftext_last_error();
    EXPECT_EQ(strlen(all), 6u * 1000000 - 1);
    EXPECT_EQ(std::string(all, 12), "hello\fhello\f");
    pdftext_cleanup();
}

TEST(Hostile, PagesShareAHugeResourceDictionary) {
    // Each page's font lookup scans the parent's dictionary, /Kids array
    // and all (6 MB).  One call's budget covers some 700 such scans; the
    // pages after them come out empty instead of costing 6 TB of scanning.
    testpdf::temp_file f(make("pages_share_resources_1e6"));
    const char* all = pdftext_extract_all(f.c_str());
    ASSERT_NE(all, nullptr) << pdftext_last_error();
    std::string s = all;
    size_t hellos = 0;
    for (size_t at = s.find("hello"); at != std::string::npos; at = s.find("hello", at + 5)) hellos++;
    EXPECT_GT(hellos, 500u);
    EXPECT_LT(hellos, 1000u);
    EXPECT_EQ(s.substr(0, 12), "hello\fhello\f");
    const char* last = pdftext_extract_page(f.c_str(), 1000000);
    ASSERT_NE(last, nullptr) << pdftext_last_error();
    EXPECT_STREQ(last, "hello") << "a call of its own has a budget of its own";
    pdftext_cleanup();
}

TEST(Hostile, DecompressionBombs) {
    // A stream that decodes past 256 MiB is dropped: the page is empty, or
    // the font falls back to its byte codes, and the call succeeds.
    const row rows[] = {
        {"content_bomb", 1, "", "content inflating to 300 MiB is dropped"},
        {"content_under_limit", 1, "hello", "250 MiB of content is read whole"},
        {"chain_bomb", 1, "", "Flate over Flate: the second stage passes the limit"},
        {"tounicode_bomb", 1, "AB", "a ToUnicode CMap inflating to 300 MiB is dropped"},
        {"objstm_bomb", 1, "hello", "an object stream inflating to 1000 MiB is skipped"},
    };
    for (const row& r : rows) check(r, make(r.name));
}

TEST(Hostile, WorkLimits) {
    // Object streams keep at most 1 GiB per document: four of 250 MiB fit,
    // a fifth is skipped with its members.  A page's content parts are
    // decoded until 2 GiB of decoder output is spent: each 200 MiB part
    // costs about 580 MiB with its retries, so the fifth part is not read
    // although it would fit the 1 GiB content limit.
    const row rows[] = {
        {"objstm_page_after_3_bombs", 1, "hello", "the page's object stream is the fourth: kept"},
        {"objstm_page_after_4_bombs", -1, "broken page tree in ",
         "the page's object stream is the fifth: skipped, the page is missing"},
        {"parts_text_in_4th", 1, "hello", "the fourth part is read"},
        {"parts_text_in_5th", 1, "", "the fifth part is past the work limit"},
    };
    for (const row& r : rows) check(r, make(r.name));
}

#endif  // HAVE_ZLIB
