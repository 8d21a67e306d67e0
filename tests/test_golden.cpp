// End to end on the committed producer files: the text of every file is
// compared byte for byte with its reviewed golden text
// (tests/data/golden/), and the words of every page are compared with
// what pdftotext -raw finds (tests/data/expected/).
//
// PDFTEXT_UPDATE_GOLDEN=1 rewrites the golden files instead; review every
// change by hand before committing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdftext.h"

namespace {

std::string slurp(const std::string& path, bool* ok) {
    std::ifstream in(path, std::ios::binary);
    *ok = (bool)in;
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> corpus() {
    std::vector<std::string> v;
    std::ifstream in(std::string(TEST_DATA_DIR) + "/manifest.tsv");
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::string name = line.substr(0, line.find('\t'));
        std::string pages = line.substr(name.size() + 1, line.find('\t', name.size() + 1) - name.size() - 1);
        if (pages != "encrypted") v.push_back(name.substr(0, name.size() - 4));
    }
    return v;
}

// Words for comparison: ASCII letters and digits lower-cased, every other
// ASCII byte a separator; bytes of 0x80 and above are kept, so non-Latin
// words compare as they stand.  Ligature characters are spelled out, as
// pdftotext does.
std::vector<std::string> words(const std::string& text) {
    std::string t;
    for (size_t i = 0; i < text.size(); i++) {
        unsigned char c = (unsigned char)text[i];
        if (c == 0xEF && i + 2 < text.size() && (unsigned char)text[i + 1] == 0xAC &&
            (unsigned char)text[i + 2] <= 0x84) {
            static const char* lig[] = {"ff", "fi", "fl", "ffi", "ffl"};
            t += lig[(unsigned char)text[i + 2] - 0x80];
            i += 2;
        } else if (c >= 0x80 || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z')) {
            t += (char)c;
        } else if (c >= 'A' && c <= 'Z') {
            t += (char)(c + 32);
        } else {
            t += ' ';
        }
    }
    std::vector<std::string> w;
    std::istringstream in(t);
    std::string x;
    while (in >> x) w.push_back(x);
    return w;
}

// Share of the reference words that appear in ours in the same order
// (longest common subsequence over words).
double in_order_share(const std::vector<std::string>& ref, const std::vector<std::string>& ours) {
    if (ref.empty()) return 1.0;
    std::vector<int> prev(ours.size() + 1, 0), cur(ours.size() + 1, 0);
    for (size_t i = 1; i <= ref.size(); i++) {
        for (size_t j = 1; j <= ours.size(); j++)
            cur[j] = ref[i - 1] == ours[j - 1] ? prev[j - 1] + 1 : std::max(prev[j], cur[j - 1]);
        std::swap(prev, cur);
    }
    return (double)prev[ours.size()] / (double)ref.size();
}

}  // namespace

TEST(Golden, TextOfEveryFile) {
    bool update = getenv("PDFTEXT_UPDATE_GOLDEN") != nullptr;
    for (const std::string& name : corpus()) {
        std::string pdf = std::string(TEST_DATA_DIR) + "/" + name + ".pdf";
        std::string golden = std::string(TEST_DATA_DIR) + "/golden/" + name + ".txt";
        const char* text = pdftext_extract_all(pdf.c_str());
        ASSERT_NE(text, nullptr) << name << ": " << pdftext_last_error();
        if (update) {
            std::ofstream(golden, std::ios::binary) << text;
            continue;
        }
        bool ok;
        std::string want = slurp(golden, &ok);
        ASSERT_TRUE(ok) << "no golden text for " << name;
        EXPECT_EQ(std::string(text), want) << name;
    }
}

// The least share of pdftotext's words, in order, that each file must
// give; tests/data/README.md explains every value below 1.
struct word_floor {
    const char* name;
    double share;
};
extern const word_floor WORD_FLOORS[];
extern const size_t WORD_FLOOR_COUNT;

TEST(Golden, WordsInPdftotextOrder) {
    for (const std::string& name : corpus()) {
        double floor = 1.0;
        for (size_t i = 0; i < WORD_FLOOR_COUNT; i++)
            if (name == WORD_FLOORS[i].name) floor = WORD_FLOORS[i].share;
        bool ok;
        std::string ref = slurp(std::string(TEST_DATA_DIR) + "/expected/" + name + ".pdftotext.txt", &ok);
        ASSERT_TRUE(ok) << name;
        std::string pdf = std::string(TEST_DATA_DIR) + "/" + name + ".pdf";
        const char* text = pdftext_extract_all(pdf.c_str());
        ASSERT_NE(text, nullptr) << name;
        // Page by page: pdftotext ends every page with a form feed.
        std::vector<std::string> rp, op;
        std::string s;
        std::istringstream r(ref), o(text);
        while (std::getline(r, s, '\f')) rp.push_back(s);
        while (std::getline(o, s, '\f')) op.push_back(s);
        double total = 0, matched = 0;
        for (size_t p = 0; p < rp.size(); p++) {
            auto rw = words(rp[p]);
            auto ow = words(p < op.size() ? op[p] : "");
            total += rw.size();
            matched += in_order_share(rw, ow) * rw.size();
        }
        double share = total ? matched / total : 1.0;
        EXPECT_GE(share, floor) << name << ": " << share << " of pdftotext's words in order";
        printf("%-28s %.3f of pdftotext's words in order (floor %.2f)\n", name.c_str(), share, floor);
    }
}

// Files whose words differ from pdftotext's for reasons the README of
// tests/data explains.
const word_floor WORD_FLOORS[] = {
    {"latex_article", 0.98},         // OT1 accents are separate glyphs: "tom´as"
    {"qpdf_objstm_generate", 0.98},  // the same document as latex_article
    {"qpdf_qdf", 0.98},
    {"qpdf_linearized", 0.98},
    {"groff_guide", 0.97},           // standard-name subsets re-encoded: built-in widths by code
    {"reportlab_quarterly", 0.86},   // cells placed with cm; bullets at WinAnsi 0x7F
    {"incremental_update", 0.86},    // reportlab_quarterly with a new first page
    {"reportlab_cyrillic_greek", 0.96},  // bullets at WinAnsi 0x7F
};
const size_t WORD_FLOOR_COUNT = sizeof WORD_FLOORS / sizeof WORD_FLOORS[0];
