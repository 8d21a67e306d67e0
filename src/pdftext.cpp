// The library's one-call C interface: the eight exports, the last error
// message and the ownership of returned text.  No C++ exception leaves an
// exported function; every failure becomes the library's message.
//
// The three globals are per thread, so threads working on their own files
// never see each other's results or messages; a single-threaded caller
// sees what it always did.
#include "pdftext.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "api.h"
#include "doc/doc.h"
#include "text/text.h"

namespace {

// The last returned text, owned by the library and freed when the next one
// replaces it, at pdftext_cleanup, or when its thread ends.
struct result_slot {
    char* text = nullptr;
    void reset(char* t) {
        free(text);
        text = t;
    }
    ~result_slot() { free(text); }
};

// The search answer: room for the complete JSON of the most hits a search
// collects (4096 numbers of up to 10 digits and their commas).  Taken on
// the thread's first search, freed when the thread ends.
const int MAX_HITS = 4096;
const size_t SEARCH_CAP = 64 + MAX_HITS * 11;
struct search_slot {
    char* text = nullptr;
    char* get() {
        if (!text) text = (char*)calloc(SEARCH_CAP, 1);
        return text;
    }
    ~search_slot() { free(text); }
};

thread_local char g_err[1024];
thread_local result_slot g_result;
thread_local search_slot g_search;

const char EMPTY_ANSWER[] = "{\"found\":false,\"pages\":[],\"count\":0}";

const char* store_result(char* text) {
    g_result.reset(text);
    return text;
}

// Text of all pages, joined by form feeds.  Null on failure with the
// message written.
char* extract_pages_range(const char* path) {
    pdftext::doc d;
    if (pdftext::doc_load(path, &d) != 0) return nullptr;
    if (!d.has_pages) {
        pdftext::set_error("document has no page tree / pages: %s", path);
        return nullptr;
    }
    return pdftext::join_pages_alloc(d, nullptr);
}

void write_answer(char* out, const std::vector<int>& hits) {
    size_t cap = SEARCH_CAP, len = 0;
    int count = (int)hits.size();
    len += (size_t)snprintf(out, cap, "{\"found\":%s,\"pages\":[", count ? "true" : "false");
    for (int i = 0; i < count && len < cap; i++)
        len += (size_t)snprintf(out + len, cap - len, "%s%d", i ? "," : "", hits[(size_t)i]);
    if (len < cap) snprintf(out + len, cap - len, "],\"count\":%d}", count);
}

}  // namespace

namespace pdftext {

void set_error(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(g_err, sizeof g_err, fmt, ap);
    va_end(ap);
}

void clear_error() { g_err[0] = 0; }

}  // namespace pdftext

using pdftext::guarded;
using pdftext::set_error;

extern "C" {

PDFTEXT_API int pdftext_init(void) {
    g_err[0] = 0;
    return 1;
}

PDFTEXT_API void pdftext_cleanup(void) {
    g_err[0] = 0;
    g_result.reset(nullptr);
}

PDFTEXT_API const char* pdftext_last_error(void) { return g_err; }

PDFTEXT_API int pdftext_page_count(const char* path) {
    return guarded(-1, [&]() -> int {
        pdftext::doc d;
        if (pdftext::doc_load(path, &d) != 0) return -1;
        if (!d.has_pages) {
            set_error("no pages found in %s", path);
            return -1;
        }
        return (int)d.pages.size();
    });
}

PDFTEXT_API const char* pdftext_extract_page(const char* path, int page) {
    return guarded<const char*>(nullptr, [&]() -> const char* {
        if (!path) {
            set_error("NULL path argument");
            return nullptr;
        }
        if (page < 1) {
            set_error("page number must be >= 1 (got %d)", page);
            return nullptr;
        }
        pdftext::doc d;
        if (pdftext::doc_load(path, &d) != 0) return nullptr;
        int n = d.has_pages ? (int)d.pages.size() : 0;
        if (page > n) {
            set_error("page %d out of range (document has %d pages)", page, n);
            return nullptr;
        }
        char* t = pdftext::extract_page(&d, page - 1);
        if (!t) throw std::bad_alloc();
        return store_result(t);
    });
}

PDFTEXT_API const char* pdftext_extract_all(const char* path) {
    return guarded<const char*>(nullptr, [&]() -> const char* {
        if (!path) {
            set_error("NULL path argument");
            return nullptr;
        }
        char* t = extract_pages_range(path);
        return t ? store_result(t) : nullptr;
    });
}

PDFTEXT_API int pdftext_to_file(const char* path, const char* out_path) {
    return guarded(0, [&]() -> int {
        if (!path || !out_path) {
            set_error("NULL path argument");
            return 0;
        }
        char* t = extract_pages_range(path);
        if (!t) return 0;
        FILE* f = pdftext::file_open(out_path, "wb");
        if (!f) {
            free(t);
            set_error("cannot write %s", out_path);
            return 0;
        }
        size_t len = strlen(t);
        size_t w = fwrite(t, 1, len, f);
        free(t);
        // A write that fails only when the data is flushed shows at close.
        int closed = fclose(f);
        if (w != len || closed != 0) {
            set_error("write error on %s", out_path);
            return 0;
        }
        g_err[0] = 0;
        return 1;
    });
}

PDFTEXT_API const char* pdftext_search(const char* path, const char* query) {
    // A message after the call means this call failed.
    g_err[0] = 0;
    char* answer = g_search.get();
    static const char* const empty_static = EMPTY_ANSWER;
    if (!answer) {
        // Without room for the answer buffer the constant answer serves.
        set_error("out of memory");
        return empty_static;
    }
    auto empty = [answer]() -> const char* {
        memcpy(answer, EMPTY_ANSWER, sizeof EMPTY_ANSWER);
        return answer;
    };
    if (!path || !query) {
        set_error("NULL argument");
        return empty();
    }
    if (!*query) return empty();
    const char* r = guarded<const char*>(nullptr, [&]() -> const char* {
        pdftext::doc d;
        if (pdftext::doc_load(path, &d) != 0 || !d.has_pages) return empty();
        std::vector<int> hits = pdftext::search_pages(d, query, MAX_HITS);
        write_answer(answer, hits);
        return answer;
    });
    return r ? r : empty();
}

}  // extern "C"
