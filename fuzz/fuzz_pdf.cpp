// Fuzz target: a whole file through every export that reads a document.
//
// The input is written to a temporary file (one per process) and handed to
// page count, extract-all, extract-page 1 and search.  Besides crashes the
// target checks what must hold for any input:
//  - a failed call leaves a message, a successful one returns text;
//  - page count, extract-all and extract-page 1 agree on whether the file
//    has pages;
//  - returned text is valid UTF-8 (the library writes nothing else), page
//    text holds no form feed, and the document text has fewer form feeds
//    than pages;
//  - the document text begins with the text of page 1;
//  - the search answer is the JSON of a hit list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(_WIN32)
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "pdftext.h"

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz_pdf: %s\n", what);
        abort();
    }
}

bool valid_utf8(const unsigned char* s, size_t n) {
    size_t i = 0;
    while (i < n) {
        unsigned c = s[i];
        size_t len;
        uint32_t cp;
        if (c < 0x80) { i++; continue; }
        if (c >= 0xC2 && c <= 0xDF) { len = 2; cp = c & 0x1F; }
        else if (c >= 0xE0 && c <= 0xEF) { len = 3; cp = c & 0x0F; }
        else if (c >= 0xF0 && c <= 0xF4) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > n) return false;
        for (size_t k = 1; k < len; k++) {
            if ((s[i + k] & 0xC0) != 0x80) return false;
            cp = cp << 6 | (s[i + k] & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return false;
        if (cp >= 0xD800 && cp <= 0xDFFF) return false;
        i += len;
    }
    return true;
}

const std::string& temp_path() {
    static const std::string path = [] {
        const char* dir = getenv("TMPDIR");
        std::string p = dir && *dir ? dir : "/tmp";
        return p + "/fuzz_pdf-" + std::to_string((long)getpid()) + ".pdf";
    }();
    return path;
}

void remove_temp() { remove(temp_path().c_str()); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool registered = atexit(remove_temp) == 0;
    (void)registered;
    const char* path = temp_path().c_str();
    FILE* f = fopen(path, "wb");
    if (!f) return 0;
    size_t w = size ? fwrite(data, 1, size, f) : 0;
    if (fclose(f) != 0 || w != size) return 0;

    pdftext_init();
    int pages = pdftext_page_count(path);
    check(pages == -1 || pages >= 1, "page count below -1 or 0");
    check(pages != -1 || *pdftext_last_error(), "page count failed without a message");

    pdftext_init();
    std::string all;
    const char* t = pdftext_extract_all(path);
    const bool have_all = t != nullptr;
    if (t) {
        all = t;
        check(valid_utf8((const unsigned char*)t, all.size()), "document text is not UTF-8");
        size_t ff = 0;
        for (char c : all) ff += c == '\f';
        check(pages >= 1 && ff < (size_t)pages, "more form feeds than page breaks");
    } else {
        check(*pdftext_last_error(), "extract_all failed without a message");
        check(pages == -1, "extract_all failed on a file with pages");
    }

    pdftext_init();
    const char* p1 = pdftext_extract_page(path, 1);
    if (p1) {
        size_t n = strlen(p1);
        check(pages >= 1, "page 1 of a file without pages");
        check(valid_utf8((const unsigned char*)p1, n), "page text is not UTF-8");
        check(memchr(p1, '\f', n) == nullptr, "form feed inside page text");
        check(have_all && all.compare(0, n, p1) == 0, "document text does not begin with page 1");
    } else {
        check(*pdftext_last_error(), "extract_page failed without a message");
        check(pages == -1, "extract_page 1 failed on a file with pages");
    }

    const char* s = pdftext_search(path, "the");
    check(s != nullptr && strncmp(s, "{\"found\":", 9) == 0, "search answer is not JSON");
    bool found = strncmp(s, "{\"found\":true", 13) == 0;
    check(!found || pages >= 1, "search hits in a file without pages");

    pdftext_cleanup();
    return 0;
}
