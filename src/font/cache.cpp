// The document's font cache: every font object is parsed once per loaded
// document and its record is shared by all pages, forms and calls that
// name it.  font_parse reads only the document and the font object, so a
// cached record is the record a fresh parse would give.
//
// A document is used by one thread at a time, so the cache takes no lock.
// Its records stay until the document is freed; past FONT_CACHE_LIMIT
// bytes of tables, further fonts are parsed for the caller alone, as if
// there were no cache, so that hostile files with very many large
// ToUnicode maps cost no more memory than a page could hold at once.
#include <cstdlib>
#include <new>
#include <vector>

#include "font/font.h"

namespace pdftext {

namespace {

constexpr uint64_t FONT_CACHE_LIMIT = uint64_t(256) << 20;

enum : int32_t { UNSEEN = -1, NOT_CACHED = -2 };

// Bytes of the tables a record owns.
uint64_t font_bytes(const font& f) {
    uint64_t n = sizeof(font);
    if (f.widths_owned) n += 256 * sizeof(int16_t);
    n += (uint64_t)f.cid_width_count * sizeof(int16_t);
    if (f.tu_index_size > 0) n += (uint64_t)f.tu_index_size * sizeof(int32_t);
    if (f.tu_pool_cap > 0) n += (uint64_t)f.tu_pool_cap * sizeof(int32_t);
    if (f.differences) n += 256 * sizeof(uint16_t);
    return n;
}

}  // namespace

struct font_cache {
    std::vector<int32_t> slot;  // by object number: UNSEEN, NOT_CACHED or an index
    std::vector<font> fonts;    // owned records
    uint64_t bytes = 0;

    ~font_cache() {
        for (font& f : fonts) font_release(&f);
    }
};

void font_cache_free(font_cache* c) { delete c; }

bool font_get(const doc* d, const obj_entry& e, font* out, work_budget* w) {
    font_cache* c = d->fonts;
    size_t num = (size_t)(e.num > 0 ? e.num : 0);
    try {
        if (!c) {
            c = new font_cache();
            d->fonts = c;
        }
        if (c->slot.size() <= num) c->slot.resize(num + 1, UNSEEN);
        int32_t s = c->slot[num];
        if (s >= 0) {
            *out = c->fonts[(size_t)s];  // a view
            return false;
        }
        if (s == UNSEEN && c->bytes < FONT_CACHE_LIMIT && (!w || w->left())) {
            // Room first: once parsed, the record must not be lost to a
            // failed push_back.
            if (c->fonts.size() == c->fonts.capacity()) c->fonts.reserve(c->fonts.size() * 2 + 8);
            font f;
            font_parse(d, e, &f, w);
            if (w && !w->left()) {
                // The budget ran out during the parse, which may have left
                // a CMap unread: the record serves this call alone.
                *out = f;
                return true;
            }
            c->bytes += font_bytes(f);
            c->slot[num] = (int32_t)c->fonts.size();
            c->fonts.push_back(f);
            *out = f;
            return false;
        }
        if (w && !w->left()) {
            // Parsed without its CMaps for this call alone; the font stays
            // unseen so that a later call parses it whole.
            font_parse(d, e, out, w);
            return true;
        }
        c->slot[num] = NOT_CACHED;
    } catch (const std::bad_alloc&) {
        // Without room for the cache the font is parsed for the caller.
    }
    font_parse(d, e, out, w);
    return true;
}

}  // namespace pdftext
