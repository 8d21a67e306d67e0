// Document handles: a document loaded once and asked for many pages.  The
// answers are those of the one-call exports, byte for byte, with the same
// messages; the fonts parsed for one page serve every later page.
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "api.h"
#include "doc/doc.h"
#include "pdftext.h"
#include "text/text.h"

// The name quoted in the messages about a document opened from memory.
static const char MEMORY_NAME[] = "<memory>";

struct pdftext_doc {
    pdftext::doc d;
    std::string name;  // the path, or MEMORY_NAME
};

using pdftext::guarded;
using pdftext::set_error;

namespace {

pdftext_doc* new_handle(const char* name) {
    pdftext_doc* h = new pdftext_doc();
    h->name = name;
    return h;
}

bool check(const pdftext_doc* h) {
    if (h) return true;
    set_error("NULL document handle");
    return false;
}

}  // namespace

extern "C" {

PDFTEXT_API const char* pdftext_version(void) { return PDFTEXT_VERSION_TEXT; }

PDFTEXT_API void pdftext_free(void* p) { free(p); }

PDFTEXT_API pdftext_doc* pdftext_open(const char* path) {
    return guarded<pdftext_doc*>(nullptr, [&]() -> pdftext_doc* {
        if (!path) {
            set_error("NULL path argument");
            return nullptr;
        }
        pdftext_doc* h = new_handle(path);
        if (pdftext::doc_load(path, &h->d) != 0) {
            delete h;
            return nullptr;
        }
        return h;
    });
}

PDFTEXT_API pdftext_doc* pdftext_open_memory(const void* data, size_t len) {
    return guarded<pdftext_doc*>(nullptr, [&]() -> pdftext_doc* {
        if (!data && len) {
            set_error("NULL data argument");
            return nullptr;
        }
        if (len == 0) {
            set_error("empty input file: %s", MEMORY_NAME);
            return nullptr;
        }
        // Offsets are 32-bit, as for files.
        if (len > 0x7FFFFFFF) {
            set_error("read error on %s", MEMORY_NAME);
            return nullptr;
        }
        uint8_t* copy = (uint8_t*)malloc(len);
        if (!copy) throw std::bad_alloc();
        memcpy(copy, data, len);
        pdftext_doc* h;
        try {
            h = new_handle(MEMORY_NAME);
        } catch (...) {
            free(copy);
            throw;
        }
        // The document owns the copy from here, on failure too.
        if (pdftext::doc_load_bytes(copy, (int32_t)len, MEMORY_NAME, &h->d) != 0) {
            delete h;
            return nullptr;
        }
        return h;
    });
}

PDFTEXT_API void pdftext_close(pdftext_doc* doc) { delete doc; }

PDFTEXT_API int pdftext_doc_page_count(pdftext_doc* doc) {
    return guarded(-1, [&]() -> int {
        if (!check(doc)) return -1;
        if (!doc->d.has_pages) {
            set_error("no pages found in %s", doc->name.c_str());
            return -1;
        }
        return (int)doc->d.pages.size();
    });
}

PDFTEXT_API char* pdftext_doc_page_text(pdftext_doc* doc, int page, size_t* len) {
    if (len) *len = 0;
    return guarded<char*>(nullptr, [&]() -> char* {
        if (!check(doc)) return nullptr;
        if (page < 1) {
            set_error("page number must be >= 1 (got %d)", page);
            return nullptr;
        }
        int n = doc->d.has_pages ? (int)doc->d.pages.size() : 0;
        if (page > n) {
            set_error("page %d out of range (document has %d pages)", page, n);
            return nullptr;
        }
        char* t = pdftext::extract_page(&doc->d, page - 1);
        if (!t) throw std::bad_alloc();
        if (len) *len = strlen(t);
        return t;
    });
}

PDFTEXT_API char* pdftext_doc_text(pdftext_doc* doc, size_t* len) {
    if (len) *len = 0;
    return guarded<char*>(nullptr, [&]() -> char* {
        if (!check(doc)) return nullptr;
        if (!doc->d.has_pages) {
            set_error("document has no page tree / pages: %s", doc->name.c_str());
            return nullptr;
        }
        return pdftext::join_pages_alloc(doc->d, len);
    });
}

PDFTEXT_API int pdftext_doc_search(pdftext_doc* doc, const char* phrase, int** pages) {
    if (pages) *pages = nullptr;
    return guarded(-1, [&]() -> int {
        if (!check(doc)) return -1;
        if (!phrase || !pages) {
            set_error("NULL argument");
            return -1;
        }
        if (!doc->d.has_pages) return 0;
        std::vector<int> hits = pdftext::search_pages(doc->d, phrase, (size_t)-1);
        if (hits.empty()) return 0;
        int* out = (int*)malloc(hits.size() * sizeof(int));
        if (!out) throw std::bad_alloc();
        memcpy(out, hits.data(), hits.size() * sizeof(int));
        *pages = out;
        return (int)hits.size();
    });
}

}  // extern "C"
