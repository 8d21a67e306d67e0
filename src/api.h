// Library interface internals: the error writer, the guard of the C
// boundary and the work the two APIs share.
#pragma once

#include <cstddef>
#include <cstdio>
#include <new>
#include <vector>

namespace pdftext {

struct doc;

// Formats the message into the calling thread's last-error text (cut to
// 1023 bytes, always NUL-terminated).
#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
void set_error(const char* fmt, ...);

// Empties the calling thread's last-error text.
void clear_error();

// Runs body and turns any escaping exception into the library's message
// and the failure value, so that nothing crosses the C boundary.
template <typename T, typename F>
T guarded(T fail, F body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        set_error("out of memory");
    } catch (...) {
        set_error("internal error");
    }
    return fail;
}

// Most bytes of the joined text of a document, so that its length fits an
// int as a page's does.  Pages sharing one huge content stream could
// otherwise ask for their count times a page's limit.
constexpr size_t DOC_TEXT_LIMIT = 0x7FFFFFFF;

// Text of all pages of a loaded document joined by form feeds, as a
// malloc'ed NUL-terminated block the caller frees; its length in *len.
// Pages past `limit` (DOC_TEXT_LIMIT; lower in tests) count as empty.
// Throws std::bad_alloc when memory runs out.
char* join_pages_alloc(const doc& d, size_t* len, size_t limit = DOC_TEXT_LIMIT);

// 1-based numbers of the pages whose normalised text holds the normalised
// query (white space, form feeds and no-break spaces removed, ASCII letters
// lower-cased; the query cut to 255 bytes), at most max_hits of them.  A
// query that normalises to nothing matches no page.
std::vector<int> search_pages(const doc& d, const char* query, size_t max_hits);

// fopen for the paths the exports take (UTF-8 byte strings).
FILE* file_open(const char* path, const char* mode);

}  // namespace pdftext
