// Trailer and cross-reference walk: only two facts are wanted from the
// cross-reference sections, the catalog's object number (/Root) and
// whether the file is encrypted (/Encrypt).  Objects are never located
// through the sections.
#include <cstring>

#include "doc.h"
#include "kwlist.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

const int MAX_XREF_STREAMS = 32;

// Integer after the first /name in [start, end), or -2 when the name is
// absent (-1 when no integer follows).
int first_name_int(const uint8_t* d, int size, int start, int end, const char* name, bool* found) {
    int o = find_name(d, size, start, end, name);
    *found = o >= 0;
    if (o < 0) return -1;
    int p = skip_ws(d, o + 1 + (int)strlen(name), end);
    return parse_int_at(d, end, &p);
}

// The "trailer" dictionaries of a file: each runs from its "<<" to the
// next "startxref" (or the end of the file).  Ranges of consecutive
// trailers without a "startxref" between them overlap, so names are looked
// up in precomputed lists instead of rescanning every range.
struct trailers {
    const uint8_t* d;
    int size;
    kw_list startxrefs, words;
    name_hits roots, encrypts;
    std::vector<int32_t> root_value;  // value after each /Root, -1 = unusable
    std::vector<int32_t> next_usable; // index of the next /Root with a value

    trailers(const uint8_t* data, int sz) : d(data), size(sz) {
        startxrefs.build(d, size, "startxref");
        words.build(d, size, "trailer");
        roots.build(d, size, "Root");
        encrypts.build(d, size, "Encrypt");
        // The value after a /Root is read up to the range's end, which for
        // every range holding it is the next "startxref".
        root_value.resize(roots.at.size());
        for (size_t k = 0; k < roots.at.size(); k++) {
            int end = startxrefs.first_from(roots.at[k]);
            if (end < 0) end = size;
            int q = skip_ws(d, roots.at[k] + 5, end);
            root_value[k] = roots.good(roots.at[k]) ? parse_int_at(d, end, &q) : -1;
        }
        next_usable.assign(roots.at.size() + 1, (int32_t)roots.at.size());
        for (size_t k = roots.at.size(); k-- > 0;)
            next_usable[k] = root_value[k] >= 0 ? (int32_t)k : next_usable[k + 1];
    }
    // Range of the trailer keyword at t, or false when it has none.
    bool range(int t, int* p, int* end) const {
        *p = skip_ws(d, t + 7, size);
        if (*p >= size) return false;
        *end = startxrefs.first_from(*p);
        if (*end < 0) *end = size;
        return *p < *end && d[*p] == '<';
    }
    // The first /Root in [p, end) with a value of 0 or more, or -1.
    int root_in(int p, int end) const {
        auto it = std::lower_bound(roots.at.begin(), roots.at.end(), p);
        size_t k = (size_t)next_usable[(size_t)(it - roots.at.begin())];
        return k < roots.at.size() && roots.at[k] + 5 < end ? root_value[k] : -1;
    }
    bool encrypt_in(int p, int end) const { return encrypts.first_in(p, end) >= 0; }
};

// A classic table at x: every "trailer" after it, in file order, may set
// /Root (later ones override) and /Encrypt.
void classic_trailers(doc* dc, int x) {
    trailers tr(dc->data, dc->size);
    auto it = std::lower_bound(tr.words.at.begin(), tr.words.at.end(), x + 4);
    for (; it != tr.words.at.end(); ++it) {
        int p, end;
        if (!tr.range(*it, &p, &end)) continue;
        int v = tr.root_in(p, end);
        if (v >= 0) dc->root_num = v;
        if (tr.encrypt_in(p, end)) dc->encrypted = 1;
    }
}

}  // namespace

bool trailer_walk(doc* dc) {
    const uint8_t* d = dc->data;
    const int size = dc->size;
    int sx = -1;
    for (int k = find_kw(d, size, 0, "startxref"); k >= 0; k = find_kw(d, size, k + 9, "startxref")) sx = k;
    if (sx < 0) return false;
    int p = sx + 9;
    int v = parse_int_at(d, size, &p);
    if (v < 0 || v >= size) return false;

    bool reached = false;
    for (int n = 0; n < MAX_XREF_STREAMS; n++) {
        int i = skip_ws(d, v, size);
        if (i >= size) break;
        if (kw_at(d, i, size, "xref")) {
            classic_trailers(dc, i);
            return true;
        }
        if (!is_digit(d[i])) break;
        // A cross-reference stream: "N [G] obj << ... >> stream".
        while (i < size && is_digit(d[i])) i++;
        i = skip_ws(d, i, size);
        if (i < size && is_digit(d[i])) parse_int_at(d, size, &i);
        i = skip_ws(d, i, size);
        if (!kw_at(d, i, size, "obj")) break;
        reached = true;
        int start = skip_ws(d, i + 3, size);
        int end = size;
        if (start < size && d[start] == '<') {
            int s = dict_stream_kw(d, size, start);
            if (s >= 0) end = s;
        }
        bool has_prev, has_root, has_enc;
        int prev = first_name_int(d, size, start, end, "Prev", &has_prev);
        int root = first_name_int(d, size, start, end, "Root", &has_root);
        first_name_int(d, size, start, end, "Encrypt", &has_enc);
        if (has_root && dc->root_num == -1 && root >= 0) dc->root_num = root;
        if (has_enc) dc->encrypted = 1;
        if (!has_prev || prev < 0 || prev >= size) break;
        v = prev;
    }
    return reached;
}

void encrypt_fallback(doc* dc) {
    const uint8_t* d = dc->data;
    const int size = dc->size;
    trailers tr(d, size);
    for (int t : tr.words.at) {
        int p, end;
        if (tr.range(t, &p, &end) && tr.encrypt_in(p, end)) dc->encrypted = 1;
    }
    for (const obj_entry& e : dc->objs) {
        if (dc->encrypted) break;
        if (!e.has_stream) continue;
        byte_range r = dict_range(d, size, e);
        if (find_name(d, size, r.start, r.end, "XRef") >= 0 && find_name(d, size, r.start, r.end, "Encrypt") >= 0)
            dc->encrypted = 1;
    }
}

}  // namespace pdftext
