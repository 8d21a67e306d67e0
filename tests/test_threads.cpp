// Eight threads at once, each on its own file through both APIs: every
// text, count, search answer and message equals the single-threaded
// answer.  CI also runs this under ThreadSanitizer.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "pdftext.h"

namespace {

struct answers {
    std::string path;
    int count = 0;
    std::string count_err;
    std::vector<std::string> pages;
    std::string all;
    std::string search;
    std::string missing_err;  // message for a path that does not exist
};

std::string missing_path(const std::string& path) { return path + ".missing"; }

// What one thread computes through the one-call exports and a handle;
// mismatches between the two are reported as "!" entries.
answers compute(const std::string& path) {
    answers a;
    a.path = path;
    a.count = pdftext_page_count(path.c_str());
    a.count_err = a.count < 0 ? pdftext_last_error() : "";
    pdftext_doc* d = pdftext_open(path.c_str());
    if (a.count >= 0 && !d) a.pages.push_back("! open failed");
    for (int p = 1; p <= a.count; p++) {
        const char* t = pdftext_extract_page(path.c_str(), p);
        a.pages.push_back(t ? t : "! null");
        size_t len = 0;
        char* h = d ? pdftext_doc_page_text(d, p, &len) : nullptr;
        if (!h || std::string(h, len) != a.pages.back()) a.pages.push_back("! handle differs");
        pdftext_free(h);
    }
    const char* all = pdftext_extract_all(path.c_str());
    a.all = all ? all : std::string("! ") + pdftext_last_error();
    a.search = pdftext_search(path.c_str(), "the");
    int* hits = nullptr;
    int n = d ? pdftext_doc_search(d, "the", &hits) : 0;
    std::string json = "{\"found\":" + std::string(n > 0 ? "true" : "false") + ",\"pages\":[";
    for (int i = 0; i < n; i++) json += (i ? "," : "") + std::to_string(hits[i]);
    json += "],\"count\":" + std::to_string(n) + "}";
    pdftext_free(hits);
    if (d && json != a.search) a.search += " ! handle differs";
    pdftext_close(d);
    pdftext_page_count(missing_path(path).c_str());
    a.missing_err = pdftext_last_error();
    return a;
}

bool same(const answers& x, const answers& y) {
    return x.count == y.count && x.count_err == y.count_err && x.pages == y.pages && x.all == y.all &&
           x.search == y.search && x.missing_err == y.missing_err;
}

}  // namespace

TEST(Threads, EightThreadsMatchSingleThreadedAnswers) {
    std::vector<std::string> files;
    for (auto& e : std::filesystem::directory_iterator(TEST_DATA_DIR))
        if (e.path().extension() == ".pdf") files.push_back(e.path().string());
    std::sort(files.begin(), files.end());
    ASSERT_GE(files.size(), 8u);

    std::vector<answers> want;
    for (auto& f : files) want.push_back(compute(f));
    for (auto& w : want) {
        EXPECT_EQ(w.missing_err, "cannot open " + missing_path(w.path));
        for (auto& p : w.pages) EXPECT_NE(p.rfind("! ", 0), 0u) << w.path << ": " << p;
        EXPECT_EQ(w.search.find("!"), std::string::npos) << w.path;
    }

    const int THREADS = 8, ROUNDS = 2;
    std::vector<int> mismatches(THREADS, 0);
    std::vector<std::thread> pool;
    for (int t = 0; t < THREADS; t++) {
        pool.emplace_back([&, t]() {
            // Thread t walks the files from its own starting point, so at
            // any moment the threads work on different files.
            for (int r = 0; r < ROUNDS; r++)
                for (size_t k = 0; k < files.size(); k++) {
                    size_t i = (k + (size_t)t * files.size() / THREADS) % files.size();
                    if (!same(compute(files[i]), want[i])) mismatches[(size_t)t]++;
                }
            pdftext_cleanup();
        });
    }
    for (auto& th : pool) th.join();
    for (int t = 0; t < THREADS; t++) EXPECT_EQ(mismatches[(size_t)t], 0) << "thread " << t;
}

// A thread's result and message are its own: another thread's calls
// neither free nor overwrite them.
TEST(Threads, ResultsAndMessagesArePerThread) {
    std::string path = std::string(TEST_DATA_DIR) + "/latex_article.pdf";
    const char* mine = pdftext_extract_page(path.c_str(), 1);
    ASSERT_NE(mine, nullptr);
    std::string copy = mine;
    pdftext_page_count("/nonexistent/main.pdf");
    std::thread other([&]() {
        pdftext_extract_page(path.c_str(), 2);
        pdftext_page_count("/nonexistent/other.pdf");
        pdftext_cleanup();
    });
    other.join();
    EXPECT_EQ(std::string(mine), copy);
    EXPECT_STREQ(pdftext_last_error(), "cannot open /nonexistent/main.pdf");
}
