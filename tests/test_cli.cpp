// The pdftext program driven as a user drives it: outputs, exit codes and
// messages, page ranges, several files and the rule that keeps inputs from
// being taken for OUT.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>
#include <string>

#include "pdf_builder.h"
#include "pdftext.h"

namespace {

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct run_result {
    int code;
    std::string out, err;
};

// Runs the program with `args` (a shell command line tail) in dir.
run_result run(const std::string& args, const std::string& dir = "/tmp") {
    testpdf::temp_file out(""), err("");
    std::string cmd = "cd " + dir + " && " + PDFTEXT_CLI + " " + args + " > " + out.path + " 2> " + err.path;
    int st = system(cmd.c_str());
    return {WIFEXITED(st) ? WEXITSTATUS(st) : -1, slurp(out.path), slurp(err.path)};
}

std::string shows(const std::string& s) { return s.empty() ? "" : "BT /F1 12 Tf 72 700 Td (" + s + ") Tj ET"; }

std::string doc_of(const std::vector<std::string>& texts) {
    std::vector<std::string> c;
    for (auto& t : texts) c.push_back(shows(t));
    return testpdf::simple_doc(c);
}

// A scratch folder removed with its files.
struct scratch_dir {
    std::string path;
    scratch_dir() {
        char t[] = "/tmp/pdftext-cli-XXXXXX";
        path = mkdtemp(t);
    }
    ~scratch_dir() { (void)system(("rm -rf " + path).c_str()); }
    std::string put(const std::string& name, const std::string& bytes) const {
        std::ofstream(path + "/" + name, std::ios::binary) << bytes;
        return path + "/" + name;
    }
};

const std::string DATA = TEST_DATA_DIR;

}  // namespace

TEST(Cli, SingleFile) {
    scratch_dir d;
    std::string f = d.put("three.pdf", doc_of({"one", "two", "three"}));
    std::string enc = DATA + "/encrypted_rc4_128.pdf";
    std::string junk = d.put("junk.pdf", "not a pdf at all");
    testpdf::builder cb;
    cb.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    cb.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    cb.obj(3, "<< /Type /Pages /Kids [2 0 R] /Count 1 >>");
    std::string cyc = d.put("cycle.pdf", cb.finish());
    struct { std::string args; int code; std::string out; std::string err; const char* why; } cases[] = {
        {f, 0, "one\ftwo\fthree", "", "all pages to stdout"},
        {f + " -", 0, "one\ftwo\fthree", "", "OUT - is stdout"},
        {"-f 2 " + f, 0, "two\fthree", "", "from page 2"},
        {"-l 2 " + f, 0, "one\ftwo", "", "up to page 2"},
        {"-f 2 -l 9 " + f, 0, "two\fthree", "", "a last page past the end is the end"},
        {"-nopgbrk " + f, 0, "onetwothree", "", "no form feeds"},
        {"-p 2 " + f, 0, "two", "", "one page"},
        {"-p 4 " + f, 99, "", "pdftext: page 4 out of range (document has 3 pages)\n", "page out of range"},
        {"-f 3 -l 2 " + f, 99, "", "pdftext: wrong page range: the first page (3) comes after the last page (2)\n",
         "first after last"},
        {"-f 0 " + f, 99, "", "pdftext: a page number must be a positive integer\n", "page 0"},
        {"/nonexistent/a.pdf", 1, "", "pdftext: cannot open /nonexistent/a.pdf\n", "missing file"},
        {cyc, 1, "", "pdftext: broken page tree in " + cyc + "\n", "a page tree with a cycle cannot be opened"},
        {junk, 1, "", "pdftext: no PDF objects found \xE2\x80\x94 not a PDF: " + junk + "\n", "not a PDF"},
        {enc, 3, "", "pdftext: encrypted PDFs are not supported: " + enc + "\n", "encrypted"},
        {"-q " + enc, 3, "", "", "-q keeps quiet"},
        {f + " /nonexistent/out.txt", 2, "", "pdftext: cannot write /nonexistent/out.txt\n", "unwritable OUT"},
        {"--count " + f, 0, "3\n", "", "page count"},
        {"--search TWO " + f, 0, "{\"found\":true,\"pages\":[2],\"count\":1}\n", "", "search"},
        {"--version", 0, std::string("pdftext ") + pdftext_version() + "\n", "", "version"},
        {"-x " + f, 99, "", "", "unknown option (usage follows)"},
        {"", 99, "", "", "no file"},
        {"-o out.pdf " + f, 99, "", "", "OUT ending in .pdf is refused"},
    };
    for (auto& c : cases) {
        run_result r = run(c.args, d.path);
        EXPECT_EQ(r.code, c.code) << c.why;
        EXPECT_EQ(r.out, c.out) << c.why;
        // A usage error is followed by the usage text.
        if (c.code == 0) {
            EXPECT_EQ(r.err, "") << c.why;
        } else {
            EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.why;
        }
    }
    EXPECT_FALSE(exists(d.path + "/out.pdf"));
    run_result help = run("--help");
    EXPECT_EQ(help.code, 0);
    for (const char* opt : {"-f N", "-l N", "-nopgbrk", "-q", "-d DIR", "-j N", "--version", "exit codes"})
        EXPECT_NE(help.out.find(opt), std::string::npos) << opt;
}

TEST(Cli, OutputFileEqualsLibraryText) {
    scratch_dir d;
    std::string pdf = DATA + "/latex_article.pdf";
    for (const char* form : {" OUT", " -o OUT"}) {
        std::string args = std::string(form) == " OUT" ? pdf + " " + d.path + "/a.txt" : "-o " + d.path + "/a.txt " + pdf;
        ASSERT_EQ(run(args).code, 0) << form;
        EXPECT_EQ(slurp(d.path + "/a.txt"), pdftext_extract_all(pdf.c_str())) << form;
    }
}

// Which names are inputs: a second name that ends in .pdf or begins like a
// PDF is never overwritten.
TEST(Cli, SecondNameIsNeverAnInputTakenForOut) {
    scratch_dir d;
    std::string a = d.put("a.pdf", doc_of({"alpha"}));
    std::string b = d.put("b.PDF", doc_of({"beta"}));
    std::string c = d.put("c-no-suffix", doc_of({"gamma"}));
    struct { std::string args; std::vector<std::pair<std::string, std::string>> files; const char* why; } cases[] = {
        {"a.pdf b.PDF", {{"a.txt", "alpha"}, {"b.txt", "beta"}}, "both end in .pdf"},
        {"a.pdf c-no-suffix", {{"a.txt", "alpha"}, {"c-no-suffix.txt", "gamma"}}, "begins like a PDF"},
        {"a.pdf plain.out", {{"plain.out", "alpha"}}, "a new name is OUT"},
    };
    for (auto& cs : cases) {
        run_result r = run(cs.args, d.path);
        EXPECT_EQ(r.code, 0) << cs.why << ": " << r.err;
        for (auto& f : cs.files) EXPECT_EQ(slurp(d.path + "/" + f.first), f.second) << cs.why;
    }
    EXPECT_EQ(slurp(b), doc_of({"beta"})) << "inputs untouched";
    EXPECT_EQ(slurp(c), doc_of({"gamma"}));
}

// Several files into a folder on two threads: every text is the library's,
// and the exit code is the first failure's while the other files are done.
TEST(Cli, SeveralFilesIntoFolder) {
    scratch_dir d;
    std::string names = DATA + "/latex_article.pdf " + DATA + "/encrypted_aes128.pdf /nonexistent/x.pdf " + DATA +
                        "/lo_chinese.pdf " + DATA + "/gs_museum.pdf";
    run_result r = run("-j 2 -d " + d.path + " " + names);
    EXPECT_EQ(r.code, 3) << "the encrypted file is the first that failed";
    EXPECT_NE(r.err.find("cannot open /nonexistent/x.pdf"), std::string::npos);
    for (const char* n : {"latex_article", "lo_chinese", "gs_museum"}) {
        std::string pdf = DATA + "/" + n + ".pdf";
        EXPECT_EQ(slurp(d.path + "/" + n + ".txt"), pdftext_extract_all(pdf.c_str())) << n;
    }
    EXPECT_FALSE(exists(d.path + "/encrypted_aes128.txt"));
    EXPECT_TRUE(r.out.empty());
    // No progress line when standard error is not a terminal.
    EXPECT_EQ(r.err.find("files,"), std::string::npos);
}
