// The C interface: messages, result ownership, the page count and the
// command-line program.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "pdf_builder.h"
#include "pdftext.h"

namespace {

std::string err() { return pdftext_last_error(); }

std::string three_pages() {
    return testpdf::simple_doc({"BT /F1 12 Tf (one) Tj ET", "BT /F1 12 Tf (two) Tj ET", "BT /F1 12 Tf (three) Tj ET"});
}

// Runs a shell command; returns its exit code and stdout.
int run(const std::string& cmd, std::string* out) {
    FILE* p = popen((cmd + " 2>&1").c_str(), "r");
    if (!p) return -1;
    char buf[4096];
    size_t n;
    out->clear();
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out->append(buf, n);
    int st = pclose(p);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

}  // namespace

TEST(Api, InitAndCleanup) {
    EXPECT_EQ(pdftext_page_count("/nonexistent.pdf"), -1);
    EXPECT_NE(err(), "");
    EXPECT_EQ(pdftext_init(), 1);
    EXPECT_EQ(err(), "") << "init empties the message";
    EXPECT_EQ(pdftext_init(), 1) << "twice is harmless";
    pdftext_cleanup();
    pdftext_cleanup();
    EXPECT_EQ(err(), "");
    EXPECT_NE(pdftext_last_error(), nullptr);
}

TEST(Api, PageCount) {
    testpdf::temp_file three(three_pages());
    EXPECT_EQ(pdftext_page_count(three.c_str()), 3);
    EXPECT_EQ(pdftext_page_count(three.c_str()), 3) << "twice";

    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog >>");
    testpdf::temp_file nopages(b.finish());
    EXPECT_EQ(pdftext_page_count(nopages.c_str()), -1);
    EXPECT_EQ(err(), "no pages found in " + nopages.path);

    testpdf::builder c;
    c.obj(1, "<< /Type /Catalog /Pages 2 0 R >>").obj(2, "<< /Type /Pages /Kids [3 0 R] >>");
    c.obj(3, "<< /Parent 2 0 R >>");
    testpdf::temp_file broken(c.finish());
    EXPECT_EQ(pdftext_page_count(broken.c_str()), -1);
    EXPECT_EQ(err(), "broken page tree in " + broken.path);

    EXPECT_EQ(pdftext_page_count(nullptr), -1);
    EXPECT_EQ(err(), "NULL path argument");
    EXPECT_EQ(pdftext_page_count("/nonexistent/a.pdf"), -1);
    EXPECT_EQ(err(), "cannot open /nonexistent/a.pdf");
}

TEST(Api, LongMessageIsCut) {
    std::string path = "/nonexistent/" + std::string(2000, 'a');
    EXPECT_EQ(pdftext_page_count(path.c_str()), -1);
    EXPECT_EQ(err().size(), 1023u);
    EXPECT_EQ(err(), ("cannot open " + path).substr(0, 1023));
}

TEST(Api, ErrorsBeforeLoading) {
    EXPECT_EQ(pdftext_extract_page(nullptr, 0), nullptr);
    EXPECT_EQ(err(), "NULL path argument") << "the path check comes first";
    EXPECT_EQ(pdftext_extract_page("/nonexistent.pdf", 0), nullptr);
    EXPECT_EQ(err(), "page number must be >= 1 (got 0)") << "without opening the file";
    EXPECT_EQ(pdftext_extract_page("/nonexistent.pdf", -3), nullptr);
    EXPECT_EQ(err(), "page number must be >= 1 (got -3)");
    EXPECT_EQ(pdftext_extract_all(nullptr), nullptr);
    EXPECT_EQ(err(), "NULL path argument");
    EXPECT_EQ(pdftext_to_file(nullptr, "/tmp/x"), 0);
    EXPECT_EQ(err(), "NULL path argument");
    EXPECT_EQ(pdftext_to_file("/tmp/x", nullptr), 0);
    EXPECT_EQ(err(), "NULL path argument");
}

TEST(Api, PageOutOfRange) {
    testpdf::temp_file three(three_pages());
    EXPECT_EQ(pdftext_extract_page(three.c_str(), 4), nullptr);
    EXPECT_EQ(err(), "page 4 out of range (document has 3 pages)");
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>").obj(2, "<< /Type /Pages /Kids [] >>");
    testpdf::temp_file empty(b.finish());
    EXPECT_EQ(pdftext_extract_page(empty.c_str(), 1), nullptr);
    EXPECT_EQ(err(), "page 1 out of range (document has 0 pages)");
    EXPECT_EQ(pdftext_extract_all(empty.c_str()), nullptr);
    EXPECT_EQ(err(), "document has no page tree / pages: " + empty.path);
    std::string out = empty.path + ".txt";
    EXPECT_EQ(pdftext_to_file(empty.c_str(), out.c_str()), 0);
    EXPECT_EQ(fopen(out.c_str(), "rb"), nullptr) << "no output file is created";
}

TEST(Api, SearchArguments) {
    const std::string empty = "{\"found\":false,\"pages\":[],\"count\":0}";
    EXPECT_EQ(std::string(pdftext_search(nullptr, "x")), empty);
    EXPECT_EQ(err(), "NULL argument");
    EXPECT_EQ(std::string(pdftext_search("/tmp/x.pdf", nullptr)), empty);
    EXPECT_EQ(std::string(pdftext_search("/nonexistent.pdf", "")), empty);
    EXPECT_EQ(err(), "") << "a search clears the message when it starts; an empty query writes none";
    EXPECT_EQ(std::string(pdftext_search("/nonexistent.pdf", "x")), empty);
    EXPECT_EQ(err(), "cannot open /nonexistent.pdf") << "a failed search leaves its own message";
}

TEST(Cli, CountAndErrors) {
    testpdf::temp_file three(three_pages());
    std::string out;
    EXPECT_EQ(run(std::string(PDFTEXT_CLI) + " --count " + three.path, &out), 0);
    EXPECT_EQ(out, "3\n");
    EXPECT_EQ(run(std::string(PDFTEXT_CLI) + " --count /nonexistent.pdf", &out), 1);
    EXPECT_EQ(out, "pdftext: cannot open /nonexistent.pdf\n");
    EXPECT_EQ(run(std::string(PDFTEXT_CLI) + " --help", &out), 0);
    EXPECT_NE(out.find("usage: pdftext"), std::string::npos);
    EXPECT_EQ(run(std::string(PDFTEXT_CLI) + " --bogus x", &out), 99) << "pdftotext's code for a wrong command line";
    EXPECT_EQ(run(std::string(PDFTEXT_CLI), &out), 99) << "no file";
}
