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

// A classic table at x: every "trailer" after it, in file order, may set
// /Root (later ones override) and /Encrypt.
void classic_trailers(doc* dc, int x) {
    const uint8_t* d = dc->data;
    const int size = dc->size;
    kw_list startxrefs;
    startxrefs.build(d, size, "startxref");
    for (int t = find_kw(d, size, x + 4, "trailer"); t >= 0; t = find_kw(d, size, t + 7, "trailer")) {
        int p = skip_ws(d, t + 7, size);
        if (p >= size) continue;
        int end = startxrefs.first_from(p);
        if (end < 0) end = size;
        if (p >= end || d[p] != '<') continue;
        for (int o = find_name(d, size, p, end, "Root"); o >= 0; o = find_name(d, size, o + 1, end, "Root")) {
            int q = skip_ws(d, o + 5, end);
            int v = parse_int_at(d, end, &q);
            if (v >= 0) {
                dc->root_num = v;
                break;
            }
        }
        if (find_name(d, size, p, end, "Encrypt") >= 0) dc->encrypted = 1;
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
    kw_list startxrefs;
    startxrefs.build(d, size, "startxref");
    for (int t = find_kw(d, size, 0, "trailer"); t >= 0 && !dc->encrypted; t = find_kw(d, size, t + 7, "trailer")) {
        int p = skip_ws(d, t + 7, size);
        if (p >= size || d[p] != '<') continue;
        int end = startxrefs.first_from(p);
        if (end < 0) end = size;
        if (find_name(d, size, p, end, "Encrypt") >= 0) dc->encrypted = 1;
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
