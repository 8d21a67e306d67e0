// The library's C interface: the exported functions, the last error
// message and the ownership of returned text.  No C++ exception leaves an
// exported function; every failure becomes the library's message.
#include "pdftext.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "api.h"
#include "doc/doc.h"
#include "text/text.h"

namespace {

// The three process-wide globals.
char g_err[1024];
char* g_result;  // the last returned text, owned by the library
// The search answer: room for the complete JSON of the most hits a
// search collects (4096 numbers of up to 10 digits and their commas).
const int MAX_HITS = 4096;
char g_search[64 + MAX_HITS * 11];

const char EMPTY_ANSWER[] = "{\"found\":false,\"pages\":[],\"count\":0}";

// Frees the old result and keeps the new one (which exists already).
const char* store_result(char* text) {
    free(g_result);
    g_result = text;
    return text;
}

char* dup_text(const std::string& s) {
    char* p = (char*)malloc(s.size() + 1);
    if (p) memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

// Runs body and turns any escaping exception into the library's message
// and the failure value.
template <typename T, typename F>
T guarded(T fail, F body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        pdftext::set_error("out of memory");
    } catch (...) {
        pdftext::set_error("internal error");
    }
    return fail;
}

// Text of all pages, joined by form feeds: a form feed follows every page
// but the last, except while nothing has been written yet.  Null on
// failure with the message written.
char* extract_pages_range(const char* path, int* count) {
    if (count) *count = 0;
    pdftext::doc d;
    if (pdftext::doc_load(path, &d) != 0) return nullptr;
    if (!d.has_pages) {
        pdftext::set_error("document has no page tree / pages: %s", path);
        return nullptr;
    }
    int n = (int)d.pages.size();
    if (count) *count = n;
    std::string all;
    for (int i = 0; i < n; i++) {
        char* t = pdftext::extract_page(&d, i);
        if (!t) throw std::bad_alloc();
        all += t;
        free(t);
        if (i != n - 1 && !all.empty()) all += '\f';
    }
    char* out = dup_text(all);
    if (!out) throw std::bad_alloc();
    return out;
}

// Search normalisation: white space, form feeds and the UTF-8 no-break
// space (C2 A0) are removed, ASCII letters lower-cased.
std::string normalise(const char* s, size_t n) {
    std::string r;
    r.reserve(n);
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c == 9 || c == 10 || c == 12 || c == 13 || c == 32) continue;
        if (c == 0xC2 && i + 1 < n && (unsigned char)s[i + 1] == 0xA0) {
            i++;
            continue;
        }
        if (c >= 'A' && c <= 'Z') c = (unsigned char)(c + 32);
        r += (char)c;
    }
    return r;
}

void write_answer(const int* hits, int count) {
    size_t cap = sizeof g_search, len = 0;
    len += (size_t)snprintf(g_search, cap, "{\"found\":%s,\"pages\":[", count ? "true" : "false");
    for (int i = 0; i < count && len < cap; i++)
        len += (size_t)snprintf(g_search + len, cap - len, "%s%ld", i ? "," : "", (long)hits[i]);
    if (len < cap) snprintf(g_search + len, cap - len, "],\"count\":%d}", count);
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

using pdftext::set_error;

extern "C" {

PDFTEXT_API int pdftext_init(void) {
    g_err[0] = 0;
    return 1;
}

PDFTEXT_API void pdftext_cleanup(void) {
    g_err[0] = 0;
    free(g_result);
    g_result = nullptr;
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
        char* t = extract_pages_range(path, nullptr);
        return t ? store_result(t) : nullptr;
    });
}

PDFTEXT_API int pdftext_to_file(const char* path, const char* out_path) {
    return guarded(0, [&]() -> int {
        if (!path || !out_path) {
            set_error("NULL path argument");
            return 0;
        }
        char* t = extract_pages_range(path, nullptr);
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
    g_search[0] = 0;
    auto empty = []() -> const char* {
        memcpy(g_search, EMPTY_ANSWER, sizeof EMPTY_ANSWER);
        return g_search;
    };
    if (!path || !query) {
        set_error("NULL argument");
        return empty();
    }
    if (!*query) return empty();
    const char* r = guarded<const char*>(nullptr, [&]() -> const char* {
        pdftext::doc d;
        if (pdftext::doc_load(path, &d) != 0 || !d.has_pages) return empty();
        std::string phrase = normalise(query, std::min<size_t>(strlen(query), 255));
        // A phrase of white space alone matches no page.
        if (phrase.empty()) return empty();
        std::vector<int> hits;
        int n = (int)d.pages.size();
        std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher(phrase.begin(), phrase.end());
        for (int i = 0; i < n; i++) {
            char* t = pdftext::extract_page(&d, i);
            if (!t) continue;  // a page whose text cannot be made does not match
            std::string norm = normalise(t, strlen(t));
            free(t);
            if (std::search(norm.cbegin(), norm.cend(), searcher) != norm.cend()) {
                hits.push_back(i + 1);
                if ((int)hits.size() == MAX_HITS) break;
            }
        }
        write_answer(hits.data(), (int)hits.size());
        return g_search;
    });
    return r ? r : empty();
}

}  // extern "C"
