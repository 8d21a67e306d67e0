// The text exports and the search: page joining, result ownership, the
// output file, and the JSON answer.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf_builder.h"
#include "pdftext.h"

namespace {

std::string err() { return pdftext_last_error(); }

// Content showing `s` with /F1 (Helvetica), or no text for an empty s.
std::string shows(const std::string& s) { return s.empty() ? "" : "BT /F1 12 Tf 72 700 Td (" + s + ") Tj ET"; }

std::string doc_of(const std::vector<std::string>& texts) {
    std::vector<std::string> c;
    for (auto& t : texts) c.push_back(shows(t));
    return testpdf::simple_doc(c);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string EMPTY = "{\"found\":false,\"pages\":[],\"count\":0}";

}  // namespace

TEST(Exports, FormFeedsBetweenPages) {
    struct { std::vector<std::string> pages; std::string want; const char* why; } cases[] = {
        {{"A", "", "B"}, "A\f\fB", "an empty page after text keeps its form feed"},
        {{"", "", "A"}, "A", "leading pages without text leave no trace"},
        {{"A", ""}, "A\f", "a last empty page after text"},
        {{"A"}, "A", "one page, no form feed"},
        {{"", ""}, "", "no text at all is an empty text, not a failure"},
    };
    for (auto& c : cases) {
        testpdf::temp_file f(doc_of(c.pages));
        const char* t = pdftext_extract_all(f.c_str());
        ASSERT_NE(t, nullptr) << c.why << ": " << err();
        EXPECT_EQ(std::string(t), c.want) << c.why;
        EXPECT_EQ(pdftext_page_count(f.c_str()), (int)c.pages.size()) << c.why;
    }
}

TEST(Exports, PageTextAndOwnership) {
    testpdf::temp_file f(doc_of({"one", "two", "three"}));
    const char* p2 = pdftext_extract_page(f.c_str(), 2);
    ASSERT_NE(p2, nullptr);
    EXPECT_STREQ(p2, "two");
    // A failed call leaves the previous text valid and in place.
    EXPECT_EQ(pdftext_extract_page(f.c_str(), 9), nullptr);
    EXPECT_EQ(pdftext_extract_all("/nonexistent.pdf"), nullptr);
    EXPECT_STREQ(p2, "two");
    // A later success shows the old message still: success does not clear it.
    const char* all = pdftext_extract_all(f.c_str());
    ASSERT_NE(all, nullptr);
    EXPECT_STREQ(all, "one\ftwo\fthree");
    EXPECT_EQ(err(), "cannot open /nonexistent.pdf");
    pdftext_cleanup();
    EXPECT_EQ(err(), "");
}

TEST(Exports, ToFile) {
    testpdf::temp_file f(doc_of({"caf\xE9", "two"}));
    std::string out = f.path + ".txt";
    ASSERT_EQ(pdftext_to_file(f.c_str(), out.c_str()), 1) << err();
    EXPECT_EQ(read_file(out), "caf\xC3\xA9\ftwo") << "UTF-8, no BOM, no terminator, no added line end";
    EXPECT_EQ(err(), "") << "success clears the message";
    remove(out.c_str());

    testpdf::temp_file blank(doc_of({"", ""}));
    ASSERT_EQ(pdftext_to_file(blank.c_str(), out.c_str()), 1);
    EXPECT_EQ(read_file(out), "") << "an empty file for pages without text";
    remove(out.c_str());

    EXPECT_EQ(pdftext_to_file(f.c_str(), "/nonexistent/dir/out.txt"), 0);
    EXPECT_EQ(err(), "cannot write /nonexistent/dir/out.txt");
    // /dev/full takes the write into the stdio buffer and fails when it is
    // flushed at close: that is a write error, not a success.
    if (FILE* probe = fopen("/dev/full", "wb")) {
        fclose(probe);
        EXPECT_EQ(pdftext_to_file(f.c_str(), "/dev/full"), 0);
        EXPECT_EQ(err(), "write error on /dev/full");
    }
}

TEST(Search, Answers) {
    testpdf::temp_file f(doc_of({"Hello World", "nothing here", "HELLOWORLD again", "caf\xE9 au lait"}));
    struct { const char* q; std::string want; const char* why; } cases[] = {
        {"hello world", "{\"found\":true,\"pages\":[1,3],\"count\":2}", "case and white space do not matter"},
        {"  Hello\t\nWorld ", "{\"found\":true,\"pages\":[1,3],\"count\":2}", "white space in the phrase"},
        {"missing", EMPTY, "no hits"},
        {" \t\n", EMPTY, "a phrase of white space matches nothing"},
        {"caf\xC3\xA9", "{\"found\":true,\"pages\":[4],\"count\":1}", "non-ASCII bytes compare as they are"},
        {"CAF\xC3\x89", EMPTY, "no case folding beyond ASCII"},
    };
    for (auto& c : cases) EXPECT_EQ(std::string(pdftext_search(f.c_str(), c.q)), c.want) << c.why;

    std::string longq(300, 'x');
    std::string q = "hello" + longq;
    EXPECT_EQ(std::string(pdftext_search(f.c_str(), q.c_str())), EMPTY) << "only the first 255 bytes count";
}

TEST(Search, NoBreakSpace) {
    // U+00A0 (C2 A0) is white space in page text and phrase alike, while
    // other characters whose UTF-8 holds byte A0 (à is C3 A0, Р is D0 A0)
    // keep it and can be found.
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>").obj(2, "<< /Type /Pages /Kids [3 0 R] >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 4 0 R >> >> /Contents 5 0 R >>");
    b.obj(4, "<< /Type /Font /Subtype /Type0 /BaseFont /X /Encoding /Identity-H >>");
    b.stream(5, "", "BT /F1 12 Tf <0061 00A0 0062 0020 00E0 0020 0420> Tj ET");
    testpdf::temp_file f(b.finish());
    struct { const char* q; bool found; const char* why; } cases[] = {
        {"ab", true, "the no-break space between a and b is removed"},
        {"a\xC2\xA0" "b", true, "and in the phrase too"},
        {"\xC3\xA0", true, "a-grave keeps its byte A0"},
        {"\xD0\xA0", true, "Cyrillic Er keeps its byte A0"},
    };
    for (auto& c : cases) {
        std::string got = pdftext_search(f.c_str(), c.q);
        EXPECT_EQ(got, c.found ? "{\"found\":true,\"pages\":[1],\"count\":1}" : EMPTY) << c.why;
    }
}

TEST(Search, HitCapAndCompleteJson) {
    // 5000 pages that all match: the search stops at 4096 hits and the
    // answer is complete JSON listing all of them.
    std::vector<std::string> c(5000, shows("needle"));
    testpdf::temp_file f(testpdf::simple_doc(c));
    std::string got = pdftext_search(f.c_str(), "needle");
    std::string want = "{\"found\":true,\"pages\":[";
    for (int i = 1; i <= 4096; i++) want += (i > 1 ? "," : "") + std::to_string(i);
    want += "],\"count\":4096}";
    EXPECT_TRUE(got == want) << "answer of " << got.size() << " bytes differs; its end: " << got.substr(got.size() - 40);
}
