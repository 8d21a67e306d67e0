// The work the one-call exports and the document handles share: the text
// of all pages of a loaded document, and the page search.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>

#include "api.h"
#include "doc/doc.h"
#include "text/text.h"

namespace pdftext {

namespace {

struct free_deleter {
    void operator()(void* p) const { free(p); }
};
using owned_text = std::unique_ptr<char, free_deleter>;

// A malloc'ed block that doubles as it grows, handed over at the end.
struct block {
    owned_text data;
    size_t len = 0, cap = 0;

    void append(const char* s, size_t n) {
        if (cap - len < n + 1) {
            // Doubling stops at the limit the joined text keeps to.
            size_t want = std::max(len + n + 1, std::min(cap * 2, DOC_TEXT_LIMIT + 1));
            char* p = (char*)realloc(data.get(), want);
            if (!p) throw std::bad_alloc();
            data.release();
            data.reset(p);
            cap = want;
        }
        memcpy(data.get() + len, s, n);
        len += n;
        data.get()[len] = 0;
    }
};

// Search normalisation: white space, form feeds and the UTF-8 no-break
// space (C2 A0) are removed, ASCII letters lower-cased.
void normalise(const char* s, size_t n, std::string* r) {
    r->clear();
    r->reserve(n);
    for (size_t i = 0; i < n; i++) {
        unsigned char c = (unsigned char)s[i];
        if (c == 9 || c == 10 || c == 12 || c == 13 || c == 32) continue;
        if (c == 0xC2 && i + 1 < n && (unsigned char)s[i + 1] == 0xA0) {
            i++;
            continue;
        }
        if (c >= 'A' && c <= 'Z') c = (unsigned char)(c + 32);
        *r += (char)c;
    }
}

}  // namespace

// A form feed follows every page but the last, except while nothing has
// been written yet, so leading empty pages leave no form feeds.  A page
// whose text would take the whole past the limit counts as empty.
char* join_pages_alloc(const doc& d, size_t* len, size_t limit) {
    if (limit > DOC_TEXT_LIMIT) limit = DOC_TEXT_LIMIT;
    block all;
    all.append("", 0);
    work_budget w(d);
    size_t n = d.pages.size();
    for (size_t i = 0; i < n && all.len < limit; i++) {  // a full text takes nothing more
        owned_text t(extract_page(&d, (int)i, &w));
        if (!t) throw std::bad_alloc();
        size_t k = strlen(t.get());
        if (k <= limit - all.len) all.append(t.get(), k);
        t.reset();
        if (i != n - 1 && all.len && all.len < limit) all.append("\f", 1);
    }
    if (len) *len = all.len;
    return all.data.release();
}

std::vector<int> search_pages(const doc& d, const char* query, size_t max_hits) {
    std::vector<int> hits;
    std::string phrase, norm;
    normalise(query, std::min<size_t>(strlen(query), 255), &phrase);
    if (phrase.empty() || max_hits == 0) return hits;
    std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher(phrase.begin(), phrase.end());
    work_budget w(d);
    size_t n = d.pages.size();
    for (size_t i = 0; i < n; i++) {
        owned_text t(extract_page(&d, (int)i, &w));
        if (!t) continue;  // a page whose text cannot be made does not match
        normalise(t.get(), strlen(t.get()), &norm);
        if (std::search(norm.cbegin(), norm.cend(), searcher) != norm.cend()) {
            hits.push_back((int)i + 1);
            if (hits.size() == max_hits) break;
        }
    }
    return hits;
}

}  // namespace pdftext
