// Page-by-page benchmark: the text of every page, one page at a time,
// through one document handle versus one pdftext_extract_page call (one
// load) per page.
//
//   bench_pages [FILE.pdf]   (without FILE: a generated 1,200-page document)
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "../tests/pdf_builder.h"
#include "pdftext.h"

static double now_ms() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

int main(int argc, char** argv) {
    std::string path;
    testpdf::temp_file* generated = nullptr;
    if (argc > 1) {
        path = argv[1];
    } else {
        std::vector<std::string> pages;
        for (int i = 0; i < 1200; i++) {
            std::string c = "BT /F1 11 Tf 72 720 Td 14 TL";
            for (int l = 0; l < 40; l++)
                c += " (Line " + std::to_string(l) + " of page " + std::to_string(i + 1) + " in ordinary words) '";
            pages.push_back(c + " ET");
        }
        generated = new testpdf::temp_file(testpdf::simple_doc(pages));
        path = generated->path;
    }
    int n = pdftext_page_count(path.c_str());
    if (n < 1) {
        fprintf(stderr, "bench_pages: %s\n", pdftext_last_error());
        return 1;
    }
    size_t bytes_handle = 0, bytes_calls = 0;
    double t0 = now_ms();
    pdftext_doc* d = pdftext_open(path.c_str());
    for (int p = 1; p <= n; p++) {
        size_t len = 0;
        char* t = pdftext_doc_page_text(d, p, &len);
        bytes_handle += len;
        pdftext_free(t);
    }
    pdftext_close(d);
    double handle_ms = now_ms() - t0;

    t0 = now_ms();
    for (int p = 1; p <= n; p++) {
        const char* t = pdftext_extract_page(path.c_str(), p);
        if (t) bytes_calls += strlen(t);
    }
    double calls_ms = now_ms() - t0;
    pdftext_cleanup();

    printf("%s: %d pages\n", argc > 1 ? path.c_str() : "generated document", n);
    printf("handle, every page        %10.1f ms  (%.3f ms/page)\n", handle_ms, handle_ms / n);
    printf("extract_page, every page  %10.1f ms  (%.3f ms/page)\n", calls_ms, calls_ms / n);
    printf("speed-up %.1fx, same bytes: %s\n", calls_ms / handle_ms, bytes_handle == bytes_calls ? "yes" : "NO");
    delete generated;
    return bytes_handle == bytes_calls ? 0 : 1;
}
