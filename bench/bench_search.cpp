// Search benchmark: a generated 5,000-page document, searched for a phrase
// on its last page and for one on no page, beside extract_all on it.
#include <chrono>
#include <cstdio>
#include <string>

#include "../tests/pdf_builder.h"
#include "pdftext.h"

int main() {
    std::vector<std::string> pages;
    for (int i = 0; i < 5000; i++) {
        std::string c = "BT /F1 11 Tf 72 720 Td 14 TL";
        for (int l = 0; l < 40; l++)
            c += " (Line " + std::to_string(l) + " of page " + std::to_string(i + 1) +
                 " holds some ordinary words to search through) '";
        pages.push_back(c + " ET");
    }
    pages.back() += " BT /F1 11 Tf 72 100 Td (the final needle) Tj ET";
    testpdf::temp_file f(testpdf::simple_doc(pages));
    auto time = [&](const char* what, auto fn) {
        double best = 1e30;
        for (int r = 0; r < 3; r++) {
            auto t0 = std::chrono::steady_clock::now();
            fn();
            double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
            best = ms < best ? ms : best;
        }
        printf("%-40s %8.1f ms\n", what, best);
        return best;
    };
    double all = time("extract_all, 5000 pages", [&] { pdftext_extract_all(f.c_str()); });
    double hit = time("search \"final needle\" (last page)", [&] { pdftext_search(f.c_str(), "final needle"); });
    time("search \"absent phrase\"", [&] { pdftext_search(f.c_str(), "absent phrase"); });
    printf("answer: %s\nsearch / extract_all = %.2f\n", pdftext_search(f.c_str(), "final needle"), hit / all);
    pdftext_cleanup();
    return 0;
}
