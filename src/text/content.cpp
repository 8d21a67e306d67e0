// Page content access: the decoded /Contents of a page or form, and the
// lookup of XObject names in the registered resources.
#include <cstdlib>
#include <cstring>

#include "filter/filter.h"
#include "text/text.h"

namespace pdftext {

enum { MAX_PARTS = 64 };

// Most bytes the decoders may write for the parts of one page's content,
// counting retries and parts that fail or do not fit.  Once it is spent
// the remaining parts are not decoded: 64 parts that each inflate to
// nearly the stream limit would otherwise cost 16 GiB of work for at most
// CONTENT_LIMIT bytes of content.  Real pages decode a few MiB.
constexpr uint64_t CONTENT_WORK_LIMIT = 2 * CONTENT_LIMIT;

// Reads the object numbers of a /Contents array whose '[' is at p.
// Returns how many were stored (0..64).
static int content_array(const uint8_t* b, int end, int p, int* nums) {
    int n = 0;
    p = skip_ws(b, p + 1, end);
    while (p < end && b[p] != ']' && n < MAX_PARTS) {
        uint8_t c = b[p];
        if (!is_digit(c)) {  // white space and stray bytes alike
            p++;
            continue;
        }
        int q = p;
        int v = parse_int_at(b, end, &q);
        int after = q;  // past N unless "N G R" follows
        int g = skip_ws(b, q, end);
        if (g < end && is_digit(b[g])) {
            int r = g;
            parse_int_at(b, end, &r);
            r = skip_ws(b, r, end);
            if (r < end && b[r] == 'R' && (r + 1 >= end || !is_alnum(b[r + 1]))) after = r + 1;
        }
        if (v > 0) nums[n++] = v;
        p = after;
    }
    return n;
}

int get_page_content(const doc* d, const obj_entry& e, buf* out, work_budget* w, uint64_t limit) {
    if (limit > CONTENT_LIMIT) limit = CONTENT_LIMIT;
    if (limit == 0 || !w->left()) return 0;
    byte_range r = dict_range(d->data, d->size, e);
    if (!r.ok()) return 0;

    // A form XObject is its own content.
    if (!e.in_objstm && e.has_stream &&
        find_name(r.bytes, r.end, r.start, r.end, "XObject") >= 0) {
        return decode_stream(d->data, d->size, e, out, &w->spent, limit);
    }

    int nums[MAX_PARTS];
    int count = 0;
    for (int at = find_name(r.bytes, r.end, r.start, r.end, "Contents"); at >= 0;
         at = find_name(r.bytes, r.end, at + 1, r.end, "Contents")) {
        int p = skip_ws(r.bytes, at + 9, r.end);
        if (p >= r.end) continue;
        if (is_digit(r.bytes[p])) {
            int q = p;
            int v = parse_int_at(r.bytes, r.end, &q);
            if (v > 0) {
                nums[0] = v;
                count = 1;
                break;
            }
        } else if (r.bytes[p] == '[') {
            count = content_array(r.bytes, r.end, p, nums);
            if (count > 0) break;
        }
    }

    int result = 0;
    uint64_t work = 0;
    for (int i = 0; i < count && work < CONTENT_WORK_LIMIT && w->left(); i++) {
        const obj_entry* pe = doc_find(d, nums[i]);
        if (!pe) continue;
        buf part{};
        uint64_t before = work;
        int ok = decode_stream(d->data, d->size, *pe, &part, &work);
        w->spent += work - before;
        if (!ok) {
            buf_free(&part);
            continue;
        }
        if (!result) {
            if (part.len > limit) {
                buf_free(&part);
                continue;
            }
            *out = part;
            result = 1;
            continue;
        }
        // Later parts follow one space, as long as the whole stays within
        // the content limit; a part that does not fit or cannot be
        // appended leaves no trace.
        if (part.len <= limit - 1 && out->len <= limit - 1 - part.len) {
            uint64_t before = out->len;
            if (dec_bytes(out, " ", 1) == 0 && dec_bytes(out, part.data, part.len) != 0) {
                out->len = before;
                out->data[before] = 0;
            }
        }
        buf_free(&part);
    }
    return result;
}

// Name table of the dictionary range of object `num`, or 0 pairs.
static int names_of_object(const interp_state* st, int num, name_table* t) {
    const obj_entry* e = doc_find(st->d, num);
    if (!e) return 0;
    byte_range r = dict_range(st->doc_data, st->doc_size, *e);
    if (!r.ok()) return 0;
    return parse_name_refs(r.bytes, r.end, r.start, t);
}

// The pairs of the first usable /XObject value of a resource dictionary.
static int xobject_pairs(const interp_state* st, const res_dict& rd, name_table* t) {
    for (int at = find_name(rd.bytes, rd.end, rd.start, rd.end, "XObject"); at >= 0;
         at = find_name(rd.bytes, rd.end, at + 1, rd.end, "XObject")) {
        int p = skip_ws(rd.bytes, at + 8, rd.end);
        if (p >= rd.end) return 0;
        if (rd.bytes[p] == '<') return parse_name_refs(rd.bytes, rd.end, p, t);
        if (is_digit(rd.bytes[p])) {
            int q = p;
            int v = parse_int_at(rd.bytes, rd.end, &q);
            if (v > 0) return names_of_object(st, v, t);
        }
    }
    return 0;
}

int find_form_xobject(interp_state* st, const char* name) {
    if (!st->d) return -1;
    for (int i = 0; i < st->res_count && i < MAX_RES; i++) {
        // Each dictionary's table is read once per page and kept; without
        // memory for it, it is read into the scratch table every time.
        name_table* t = st->xobj_tables[i];
        int count;
        if (t) {
            count = st->xobj_counts[i];
        } else {
            t = (name_table*)malloc(sizeof(name_table));
            if (t) {
                st->xobj_tables[i] = t;
            } else {
                t = &st->names;
            }
            count = xobject_pairs(st, st->res_dicts[i], t);
            st->xobj_counts[i] = count;
        }
        for (int k = 0; k < count; k++)
            if (strcmp(t->names[k], name) == 0) return t->nums[k];
    }
    return -1;
}

}  // namespace pdftext
