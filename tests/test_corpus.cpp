// The committed files from real producers: page counts equal what pdfinfo
// reports (tests/data/manifest.tsv), encrypted files are refused.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pdftext.h"

namespace {

struct corpus_file {
    std::string name;
    std::string pages;  // a number, or "encrypted"
};

std::vector<corpus_file> manifest() {
    std::vector<corpus_file> v;
    std::ifstream in(std::string(TEST_DATA_DIR) + "/manifest.tsv");
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        corpus_file f;
        if (std::getline(ls, f.name, '\t') && std::getline(ls, f.pages, '\t')) v.push_back(f);
    }
    return v;
}

}  // namespace

TEST(Corpus, PageCountsMatchPdfinfo) {
    auto files = manifest();
    ASSERT_GE(files.size(), 8u);
    for (const corpus_file& f : files) {
        std::string path = std::string(TEST_DATA_DIR) + "/" + f.name;
        int n = pdftext_page_count(path.c_str());
        if (f.pages == "encrypted") {
            EXPECT_EQ(n, -1) << f.name;
            EXPECT_EQ(std::string(pdftext_last_error()), "encrypted PDFs are not supported: " + path) << f.name;
        } else {
            EXPECT_EQ(n, std::stoi(f.pages)) << f.name << ": " << pdftext_last_error();
        }
    }
}
