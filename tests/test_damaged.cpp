// Damaged copies of every committed test PDF: truncations, byte flips and
// chunk swaps.  Every export must come back with text, empty text or one of
// the library's messages; crashes, hangs and leaks show up under the
// sanitizer build.  Each copy is made deterministically from the file's
// name, so a failure names a copy that can be made again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdf_builder.h"
#include "pdftext.h"

namespace {

namespace fs = std::filesystem;

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// splitmix64: the same damage on every run and every platform.
struct rng {
    uint64_t s;
    uint64_t next() {
        uint64_t z = (s += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    size_t below(size_t n) { return n ? (size_t)(next() % n) : 0; }
};

uint64_t name_seed(const std::string& name) {
    uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : name) h = (h ^ c) * 1099511628211ull;
    return h;
}

struct variant {
    std::string what;   // how the copy was made, for failure messages
    std::string bytes;
};

// Truncations: the first bytes, evenly spaced cuts, and cuts close to the
// end where the cross-reference table and trailer live.
void add_truncations(const std::string& f, std::vector<variant>* out) {
    const size_t n = f.size();
    std::vector<size_t> cuts = {0, 1, 8, 9, 15, 64, 200};
    const int spaced = 64;
    for (int k = 1; k < spaced; k++) cuts.push_back(n * (size_t)k / spaced);
    for (size_t back : {1, 2, 6, 7, 20, 40, 100, 300, 1000})
        if (back < n) cuts.push_back(n - back);
    for (size_t c : cuts)
        if (c < n) out->push_back({"cut at " + std::to_string(c), f.substr(0, c)});
}

// Byte flips: 1 to 64 bytes replaced by a different value at random
// offsets; the stronger copies also hit the last kilobyte (trailer).
void add_flips(const std::string& f, rng* r, std::vector<variant>* out) {
    const int copies = 100;
    for (int k = 0; k < copies; k++) {
        std::string b = f;
        const int flips = 1 << (k % 7);
        std::string what = "flips";
        for (int i = 0; i < flips; i++) {
            size_t at = (k % 4 == 3 && b.size() > 1024) ? b.size() - 1 - r->below(1024) : r->below(b.size());
            uint8_t x = (uint8_t)(1 + r->below(255));
            b[at] = (char)((uint8_t)b[at] ^ x);
            what += " " + std::to_string(at) + "^" + std::to_string(x);
        }
        out->push_back({what, b});
    }
}

// Chunk swaps: two ranges of equal length exchange places, which moves
// object headers, stream data and "endstream" away from where /Length and
// the cross-reference table say they are.
void add_swaps(const std::string& f, rng* r, std::vector<variant>* out) {
    const int copies = 40;
    for (int k = 0; k < copies && f.size() >= 64; k++) {
        size_t len = 16 + r->below(std::min<size_t>(4096, f.size() / 4));
        size_t a = r->below(f.size() - len);
        size_t b = r->below(f.size() - len);
        if (a > b) std::swap(a, b);
        if (b - a < len) b = std::min(f.size() - len, a + len);
        if (b - a < len) continue;
        std::string s = f;
        std::string ca = f.substr(a, len), cb = f.substr(b, len);
        s.replace(a, len, cb);
        s.replace(b, len, ca);
        out->push_back({"swap " + std::to_string(a) + "<->" + std::to_string(b) + " len " + std::to_string(len), s});
    }
}

bool valid_utf8(const char* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        unsigned c = (unsigned char)s[i];
        size_t len;
        uint32_t cp;
        if (c < 0x80) { i++; continue; }
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > n) return false;
        for (size_t k = 1; k < len; k++) {
            if (((unsigned char)s[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | ((unsigned char)s[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000) || cp > 0x10FFFF) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += len;
    }
    return true;
}

// A failure must say why with one of the messages a damaged file can
// cause; "out of memory" on files this small would be a fault.
bool clear_message(const std::string& m) {
    static const char* const known[] = {
        "empty input file: ", "no PDF objects found", "encrypted PDFs are not supported: ",
        "broken page tree in ", "no pages found in ", "document has no page tree / pages: ",
        "page 1 out of range (document has 0 pages)",
    };
    for (const char* k : known)
        if (m.compare(0, strlen(k), k) == 0) return true;
    return false;
}

// Runs every export on one copy; returns "" or what went wrong.
std::string check_exports(const std::string& bytes) {
    testpdf::temp_file in(bytes);
    testpdf::temp_file out("");
    std::string bad;
    auto fail = [&](const std::string& what) { bad += what + "; "; };

    pdftext_init();
    const int pages = pdftext_page_count(in.c_str());
    if (pages == 0 || pages < -1) fail("page count " + std::to_string(pages));
    if (pages == -1 && !clear_message(pdftext_last_error())) fail("page count: \"" + std::string(pdftext_last_error()) + "\"");

    pdftext_init();
    const char* t = pdftext_extract_all(in.c_str());
    std::string all;
    if (t) {
        all = t;
        if (!valid_utf8(t, all.size())) fail("document text is not UTF-8");
        if (pages < 1) fail("text from a file without pages");
    } else {
        if (!clear_message(pdftext_last_error())) fail("extract_all: \"" + std::string(pdftext_last_error()) + "\"");
        if (pages >= 1) fail("extract_all failed on a file with pages");
    }

    for (int p : {1, pages}) {
        if (p < 1 && pages >= 1) continue;
        pdftext_init();
        const char* pt = pdftext_extract_page(in.c_str(), p < 1 ? 1 : p);
        if (pt) {
            if (!valid_utf8(pt, strlen(pt))) fail("page text is not UTF-8");
        } else if (pages >= 1 || !clear_message(pdftext_last_error())) {
            fail("extract_page " + std::to_string(p) + ": \"" + std::string(pdftext_last_error()) + "\"");
        }
    }

    const char* s = pdftext_search(in.c_str(), "the");
    if (!s || strncmp(s, "{\"found\":", 9) != 0) fail("search answer is not JSON");

    pdftext_init();
    int w = pdftext_to_file(in.c_str(), out.c_str());
    if (w == 1) {
        if (read_file(out.path) != all) fail("written text differs from the document text");
    } else if (pages >= 1 || !clear_message(pdftext_last_error())) {
        fail("to_file: \"" + std::string(pdftext_last_error()) + "\"");
    }
    pdftext_cleanup();
    return bad;
}

std::vector<std::string> test_pdfs() {
    std::vector<std::string> v;
    for (const auto& e : fs::directory_iterator(TEST_DATA_DIR))
        if (e.path().extension() == ".pdf") v.push_back(e.path().string());
    std::sort(v.begin(), v.end());
    return v;
}

}  // namespace

TEST(Damaged, EveryExportReturnsOnDamagedCopies) {
    const auto files = test_pdfs();
    ASSERT_GE(files.size(), 10u);
    size_t copies = 0;
    for (const std::string& path : files) {
        const std::string name = fs::path(path).filename().string();
        const std::string f = read_file(path);
        ASSERT_GT(f.size(), 1024u) << name;
        rng r{name_seed(name)};
        std::vector<variant> vs;
        add_truncations(f, &vs);
        add_flips(f, &r, &vs);
        add_swaps(f, &r, &vs);
        for (const variant& v : vs) {
            std::string bad = check_exports(v.bytes);
            EXPECT_EQ(bad, "") << name << ", " << v.what;
            copies++;
        }
    }
    EXPECT_GE(copies, files.size() * 150);
}

TEST(Damaged, ALostTailKeepsTheText) {
    // Objects are found by scanning, so a file cut inside its tail (the
    // cross-reference table, trailer, startxref) still gives all its text.
    struct row { const char* file; size_t cut_from_end; const char* why; };
    const row rows[] = {
        {"groff_guide.pdf", 30, "without startxref and %%EOF"},
        {"reportlab_quarterly.pdf", 6, "without %%EOF"},
        {"latex_article.pdf", 30, "without startxref"},
    };
    for (const row& r : rows) {
        const std::string f = read_file(std::string(TEST_DATA_DIR) + "/" + r.file);
        ASSERT_GT(f.size(), r.cut_from_end) << r.file;
        testpdf::temp_file whole(f), cut(f.substr(0, f.size() - r.cut_from_end));
        const char* a = pdftext_extract_all(whole.c_str());
        ASSERT_NE(a, nullptr) << r.file << ": " << pdftext_last_error();
        const std::string want = a;
        const char* b = pdftext_extract_all(cut.c_str());
        ASSERT_NE(b, nullptr) << r.file << ": " << pdftext_last_error() << " (" << r.why << ")";
        EXPECT_EQ(std::string(b), want) << r.file << ": " << r.why;
    }
    pdftext_cleanup();
}
