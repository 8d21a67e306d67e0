// Font records and font dictionaries: classification by /Subtype, the
// BaseFont name, widths of simple fonts, /DW and /W of composite fonts.
// Dictionaries are searched in place by name; there is no object parser.
#include "font/font.h"

#include <climits>
#include <cstdlib>
#include <cstring>

#include "filter/filter.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

int16_t clamp_width(int32_t v) { return (int16_t)(v > 32767 ? 32767 : v); }

// Position of the value after the first /name of the range (white space
// skipped), or -1 when the name is absent.
int value_of(const byte_range& r, const char* name) {
    int s = find_name(r.bytes, r.end, r.start, r.end, name);
    if (s < 0) return -1;
    return skip_ws(r.bytes, s + 1 + (int)strlen(name), r.end);
}

// The array that object `e` holds, from after its '[' and white space.  An
// array object has no dictionary range: a member's body must begin with
// '['; a direct object must have "obj", white space and '[' before endobj.
bool ref_array(const doc* d, const obj_entry& e, byte_range* out) {
    if (e.in_objstm) {
        if (!e.body || e.body_len < 1 || e.body[0] != '[') return false;
        *out = byte_range{e.body, skip_ws(e.body, 1, e.body_len), e.body_len};
        return true;
    }
    if (e.endobj_off <= 0 || e.hdr_off < 0 || e.endobj_off > d->size) return false;
    // One byte past endobj_off still lets the keyword test see the byte
    // that follows an "obj" ending right before it.
    int lim = e.endobj_off < d->size ? e.endobj_off + 1 : d->size;
    int k = find_kw(d->data, lim, e.hdr_off, "obj");
    if (k < 0 || k >= e.endobj_off) return false;
    int p = skip_ws(d->data, k + 3, e.endobj_off);
    if (p >= e.endobj_off || d->data[p] != '[') return false;
    *out = byte_range{d->data, skip_ws(d->data, p + 1, e.endobj_off), e.endobj_off};
    return true;
}

// Locates an array value at r.bytes[p]: inline (bounded by the range) or
// through an object reference.
bool array_at(const doc* d, const byte_range& r, int p, byte_range* out) {
    if (p < 0 || p >= r.end) return false;
    if (r.bytes[p] == '[') {
        *out = byte_range{r.bytes, skip_ws(r.bytes, p + 1, r.end), r.end};
        return true;
    }
    if (!is_digit(r.bytes[p])) return false;
    const obj_entry* e = ref_entry(d, r.bytes, r.end, p);
    return e && ref_array(d, *e, out);
}

// Decodes the stream of `e` and hands its bytes to `reader`, charging the
// decoding to `w` (when given) and reading nothing once it is spent.
void read_stream(const doc* d, const obj_entry& e, font* f,
                 void (*reader)(font*, const uint8_t*, int), work_budget* w) {
    if (w && !w->left()) return;
    uint64_t spent = 0;
    buf out{};
    int ok = decode_stream(d->data, d->size, e, &out, &spent, CMAP_STREAM_LIMIT);
    if (w) w->spent += spent;
    if (ok == 1 && out.data) {
        int n = out.len > (uint64_t)INT_MAX ? INT_MAX : (int)out.len;
        reader(f, out.data, n);
    }
    buf_free(&out);
}

// The stream named by the reference after /name, when it is a direct
// stream object.
const obj_entry* stream_ref(const doc* d, const byte_range& r, const char* name,
                            bool digit_only) {
    int p = value_of(r, name);
    if (p < 0 || p >= r.end) return nullptr;
    if (digit_only && !is_digit(r.bytes[p])) return nullptr;
    const obj_entry* e = ref_entry(d, r.bytes, r.end, p);
    if (!e || e->in_objstm || !e->has_stream) return nullptr;
    return e;
}

// BaseFont name: the run of name characters after /BaseFont and one '/',
// at most 127 bytes kept.
void read_basefont(const byte_range& r, char name[128]) {
    name[0] = 0;
    int p = value_of(r, "BaseFont");
    if (p < 0) return;
    if (p < r.end && r.bytes[p] == '/') p++;
    int q = p;
    while (q < r.end && is_namech(r.bytes[q])) q++;
    int n = q - p > 127 ? 127 : q - p;
    memcpy(name, r.bytes + p, (size_t)n);
    name[n] = 0;
}

bool first_subtype_is_type0(const byte_range& r) {
    int p = value_of(r, "Subtype");
    return p >= 0 && (int64_t)p + 6 <= r.end && memcmp(r.bytes + p, "/Type0", 6) == 0;
}

// 1 composite (/Type0), 0 simple (/Type1../Type9), 2 anything else.  The
// first /Subtype whose value begins with "/Type" decides.
int classify(const byte_range& r) {
    const uint8_t* b = r.bytes;
    for (int from = r.start;;) {
        int s = find_name(b, r.end, from, r.end, "Subtype");
        if (s < 0) return 2;
        int p = skip_ws(b, s + 8, r.end);
        if ((int64_t)p + 5 <= r.end && memcmp(b + p, "/Type", 5) == 0) {
            int ci = p + 5;
            if (ci >= r.end) return 2;
            uint8_t c = b[ci];
            bool alone = ci + 1 >= r.end || !is_alnum(b[ci + 1]);
            if (!alone) return 2;
            if (c == '0') return 1;
            if (c >= '1' && c <= '9') return 0;
            return 2;
        }
        from = s + 1;
    }
}

// /FirstChar and /Widths of a simple font into a fresh 256-entry table.
// `need_array`: take widths only when the /Widths array can be located.
// False when the table could not be allocated.
bool read_simple_widths(const doc* d, const byte_range& r, font* f, bool need_array) {
    byte_range arr{};
    bool has = array_at(d, r, value_of(r, "Widths"), &arr);
    if (need_array && !has) return true;
    int16_t* w = (int16_t*)calloc(256, sizeof(int16_t));
    if (!w) return false;
    f->widths = w;
    f->widths_owned = 1;
    if (!has) return true;
    int first = 0;
    int p = value_of(r, "FirstChar");
    if (p >= 0) {
        int v = parse_int_at(r.bytes, r.end, &p);
        if (v > 0) first = v;
    }
    const uint8_t* b = arr.bytes;
    int q = arr.start;
    for (int k = 0; k < 256; k++) {
        q = skip_ws(b, q, arr.end);
        if (q >= arr.end || b[q] == ']') break;
        int v = read_int_adv(b, arr.end, &q);
        if (v < 0) break;
        int64_t code = (int64_t)first + k;
        if (code <= 255) w[code] = clamp_width(v);
    }
    return true;
}

// Width table by CID while a /W array is read.
struct cid_table {
    int16_t* w = nullptr;
    int64_t cap = 0;
    int64_t high = -1;
    // False when the table could not grow.
    bool put(int64_t c, int32_t v) {
        if (c < 0 || c > 0xFFFF) return true;
        if (c >= cap) {
            int64_t n = cap == 0 ? 4096 : cap;
            while (n <= c) n *= 2;
            int16_t* p = (int16_t*)realloc(w, (size_t)n * sizeof(int16_t));
            if (!p) return false;
            for (int64_t i = cap; i < n; i++) p[i] = -1;
            w = p;
            cap = n;
        }
        w[c] = clamp_width(v);
        if (c > high) high = c;
        return true;
    }
};

// Reads a /W array ("c [w1 w2 ...]" runs and "first last w" ranges) from
// a.start up to a.end into f->cid_widths.
void read_w(const byte_range& a, font* f) {
    const uint8_t* b = a.bytes;
    const int end = a.end;
    cid_table t;
    int64_t pend[2];
    int np = 0;
    int64_t budget = RANGE_BUDGET;
    bool ok = true;
    int p = a.start;
    while (ok && p < end) {
        uint8_t c = b[p];
        if (is_ws(c)) {
            p++;
            continue;
        }
        if (c == ']') break;
        if (c == '[') {
            int64_t cid = np > 0 ? pend[np - 1] : -1;
            p = skip_ws(b, p + 1, end);
            while (p < end && b[p] != ']') {
                int v = read_int_adv(b, end, &p);
                if (v >= 0 && cid >= 0) {
                    if (!t.put(cid, v)) {
                        ok = false;
                        break;
                    }
                    cid++;
                }
                if (v < 0 && p < end && b[p] == 'R') p++;
                p = skip_ws(b, p, end);
            }
            if (p >= end) break;
            p++;
            np = 0;
            continue;
        }
        int v = read_int_adv(b, end, &p);
        if (v < 0) {
            if (p < end && b[p] == 'R') p++;
            continue;
        }
        if (np < 2) {
            pend[np++] = v;
            continue;
        }
        int64_t first = pend[0], last = pend[1];
        np = 0;
        if (first > last || last - first > 0xFFFF) continue;
        if (last > 0xFFFF) last = 0xFFFF;
        for (int64_t cid = first; cid <= last && budget > 0; cid++, budget--) {
            if (!t.put(cid, v)) {
                ok = false;
                break;
            }
        }
    }
    if (t.w && t.high >= 0) {
        f->cid_widths = t.w;
        f->cid_width_count = (uint32_t)(t.high + 1);
    } else {
        free(t.w);
    }
}

void read_composite(const doc* d, const byte_range& r, font* f, work_budget* w) {
    byte_range desc{};
    int p = value_of(r, "DescendantFonts");
    if (p >= 0 && p < r.end && r.bytes[p] == '[') p = skip_ws(r.bytes, p + 1, r.end);
    if (p >= 0 && p < r.end && is_digit(r.bytes[p])) {
        const obj_entry* e = ref_entry(d, r.bytes, r.end, p);
        // The array itself may be a separate object: take its first element.
        byte_range arr{};
        if (e && ref_array(d, *e, &arr)) {
            e = arr.start < arr.end && is_digit(arr.bytes[arr.start])
                    ? ref_entry(d, arr.bytes, arr.end, arr.start)
                    : nullptr;
        }
        if (e) desc = dict_range(d->data, d->size, *e);
    }
    f->kind = 1;
    f->default_width = 1000;
    if (const obj_entry* e = stream_ref(d, r, "Encoding", true))
        read_stream(d, *e, f, read_codespace, w);
    if (!desc.ok()) return;

    const uint8_t* b = desc.bytes;
    for (int from = desc.start;;) {
        int s = find_name(b, desc.end, from, desc.end, "DW");
        if (s < 0) break;
        int q = skip_ws(b, s + 3, desc.end);
        if (q < desc.end && b[q] == '[') q = skip_ws(b, q + 1, desc.end);
        int v = parse_int_at(b, desc.end, &q);
        if (v > 0) {
            f->default_width = v;
            break;
        }
        from = s + 1;
    }
    byte_range arr{};
    if (array_at(d, desc, value_of(desc, "W"), &arr)) read_w(arr, f);
}

}  // namespace

void font_release(font* f) {
    free(f->cid_widths);
    free(f->tu_index);
    free(f->tu_pool);
    free(f->differences);
    if (f->widths_owned) free(const_cast<int16_t*>(f->widths));
    *f = font{};
}

const obj_entry* ref_entry(const doc* d, const uint8_t* b, int end, int pos) {
    int num = parse_int_at(b, end, &pos);
    if (num < 1) return nullptr;
    return doc_find(d, num);
}

void font_parse(const doc* d, const obj_entry& e, font* f, work_budget* w) {
    font_release(f);
    if (!d || !d->data) return;
    byte_range r = dict_range(d->data, d->size, e);
    if (!r.ok()) return;

    if (const obj_entry* t = stream_ref(d, r, "ToUnicode", false))
        read_stream(d, *t, f, read_tounicode, w);

    int winansi = read_encoding(d, r, f);

    char name[128];
    read_basefont(r, name);

    // A standard font name gives built-in metrics whatever the subtype,
    // except for composite fonts.
    if (!first_subtype_is_type0(r) && name[0]) {
        if (const int16_t* w = std_font_widths(name)) {
            f->kind = 0;
            f->widths = w;
            f->widths_owned = 0;
            f->winansi = 1;
            return;
        }
    }

    int kind = classify(r);
    if (kind == 1) {
        read_composite(d, r, f, w);
        return;
    }
    // Simple and unclassified (TrueType and others) fonts share the
    // encoding rule; an unclassified font takes /Widths only when it has
    // them and keeps half-em advances otherwise.
    f->kind = kind;
    f->winansi = (uint8_t)winansi;
    if (!read_simple_widths(d, r, f, kind == 2)) f->kind = 2;
}

}  // namespace pdftext
