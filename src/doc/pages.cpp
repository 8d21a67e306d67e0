// Page tree: chooses the catalog, finds the root of the page tree and walks
// it depth first into the page list.
#include <cstring>

#include "api.h"
#include "doc.h"
#include "kwlist.h"
#include "syntax/syntax.h"

namespace pdftext {

// Classifies an object by the first /Type whose value is a /Page-prefixed
// name: 1 /Page, 2 /Pages, 0 anything else.
int obj_type(const uint8_t* data, int size, const obj_entry& e) {
    byte_range r = dict_range(data, size, e);
    if (!r.ok()) return 0;
    const uint8_t* d = r.bytes;
    const int lim = r.end;
    const int total = e.in_objstm ? e.body_len : size;
    for (int t = find_name(d, total, r.start, lim, "Type"); t >= 0; t = find_name(d, total, t + 1, lim, "Type")) {
        int v = skip_ws(d, t + 5, lim);
        if (v >= lim) continue;
        if (v + 1 < lim && d[v] == '/' && v + 4 < lim && memcmp(d + v + 1, "Page", 4) == 0) {
            if (v + 5 >= lim || !is_alnum(d[v + 5])) return 1;
            if (d[v + 5] == 's') return (v + 6 >= lim || !is_alnum(d[v + 6])) ? 2 : 0;
            return 0;
        }
    }
    return 0;
}

namespace {

// Whether /name occurs in [start, end) of d.
bool has_name(const uint8_t* d, int total, int start, int end, const char* name) {
    return find_name(d, total, start, end, name) >= 0;
}

struct tree_walk {
    doc* dc;
    std::vector<uint8_t> visited;
    std::vector<int8_t> types;  // obj_type by object number, -1 = not yet known

    int type_of(const obj_entry& e) {
        int8_t& t = types[(size_t)e.num];
        if (t < 0) t = (int8_t)obj_type(dc->data, dc->size, e);
        return t;
    }

    // Reads "N G R" references from d[p..end) into kids until ']' or the
    // end; with `one` set, stops after the first reference.
    static void read_refs(const uint8_t* d, int p, int end, bool one, std::vector<int32_t>* kids) {
        while (p < end && d[p] != ']') {
            if (!is_alnum(d[p])) { p++; continue; }
            int start = p;
            uint32_t num = 0;
            while (p < end && is_digit(d[p])) {
                num = num * 10u + (uint32_t)(d[p] - '0');
                if (num > 0x7FFFFFFF) num = 0x7FFFFFFF;  // never a valid object number
                p++;
            }
            int q = p;
            bool ok = parse_int_at(d, end, &q) != -1 || q != p;
            if (ok) {
                q = skip_ws(d, q, end);
                ok = q < end && d[q] == 'R' && (q + 1 >= end || !is_alnum(d[q + 1]));
            }
            if (!ok) {
                p = start + 1;
                continue;
            }
            kids->push_back((int32_t)num);
            if (one || q + 1 >= end) return;
            p = q + 1;
        }
    }

    // The kid list of node e.  A /Kids without brackets is one reference;
    // when it names an array object, that array is the kid list.
    void kids_of(const obj_entry& e, std::vector<int32_t>* kids) {
        kids->clear();
        byte_range r = dict_range(dc->data, dc->size, e);
        if (!r.ok()) return;
        const uint8_t* d = r.bytes;
        const int total = e.in_objstm ? e.body_len : dc->size;
        int k = find_name(d, total, r.start, r.end, "Kids");
        if (k < 0) return;
        int p = skip_ws(d, k + 5, r.end);
        if (p >= r.end) return;
        if (d[p] == '[') {
            p = skip_ws(d, p + 1, r.end);
            if (p >= r.end) return;
            read_refs(d, p, r.end, false, kids);
            return;
        }
        if (!is_digit(d[p])) return;
        read_refs(d, p, r.end, true, kids);
        if (kids->size() != 1) return;
        const obj_entry* a = doc_find(dc, (*kids)[0]);
        if (!a || a->dict_off >= 0) return;
        // An indirect array: "N G obj [ ... ] endobj" or a member "[ ... ]".
        const uint8_t* ad;
        int ap, aend;
        if (a->in_objstm) {
            ad = a->body;
            ap = skip_ws(ad, 0, a->body_len);
            aend = a->body_len;
        } else {
            ad = dc->data;
            aend = a->endobj_off > 0 ? a->endobj_off : dc->size;
            ap = find_kw(ad, aend, a->hdr_off, "obj");
            if (ap < 0) return;
            ap = skip_ws(ad, ap + 3, aend);
        }
        if (ap >= aend || ad[ap] != '[') return;
        kids->clear();
        read_refs(ad, skip_ws(ad, ap + 1, aend), aend, false, kids);
    }

    // Walks the tree below `root` with an explicit stack (trees may be
    // deep).  -1 when the tree is broken, else the number of pages.
    int resolve(int root) {
        const obj_entry* e = doc_find(dc, root);
        if (!e) return -1;
        int t = type_of(*e);
        if (t == 1) {
            dc->pages.push_back({root});
            return 1;
        }
        if (t != 2) return -1;
        struct frame {
            std::vector<int32_t> kids;
            size_t next;
        };
        std::vector<frame> stack;
        visited[(size_t)root] = 1;
        stack.push_back({{}, 0});
        kids_of(*e, &stack.back().kids);
        if (stack.back().kids.empty()) return 0;
        while (!stack.empty()) {
            frame& f = stack.back();
            if (f.next == f.kids.size()) {
                stack.pop_back();
                continue;
            }
            int kid = f.kids[f.next++];
            const obj_entry* k = doc_find(dc, kid);
            if (!k) return -1;
            int kt = type_of(*k);
            if (kt == 1) {
                dc->pages.push_back({kid});
            } else if (kt == 2) {
                if (visited[(size_t)kid]) return -1;  // a cycle, or a node with two parents
                visited[(size_t)kid] = 1;
                frame nf{{}, 0};
                kids_of(*k, &nf.kids);
                if (!nf.kids.empty()) stack.push_back(std::move(nf));
            } else {
                return -1;
            }
        }
        return (int)dc->pages.size();
    }
};

// The catalog: the trailer's /Root when it names an object, else the first
// object that holds the name /Catalog, else object 1.
int choose_catalog(const doc* dc) {
    if (dc->root_num != -1 && doc_find(dc, dc->root_num)) return dc->root_num;
    // Ranges of direct objects may overlap (a dictionary without "endobj"
    // runs on), so /Catalog is looked up in a list of its occurrences.
    name_hits catalogs;
    catalogs.build(dc->data, dc->size, "Catalog");
    for (const obj_entry& e : dc->objs) {
        if (e.in_objstm) {
            if (e.body_len > 7 && has_name(e.body, e.body_len, 0, e.body_len, "Catalog")) return e.num;
        } else if (e.dict_off != -1) {
            int lim = e.endobj_off > 0 ? e.endobj_off : dc->size;
            if (catalogs.first_in(e.dict_off, lim) >= 0) return e.num;
        }
    }
    return 1;
}

}  // namespace

int load_pages(doc* dc, const char* path) {
    dc->catalog_num = choose_catalog(dc);
    const obj_entry* cat = doc_find(dc, dc->catalog_num);
    if (!cat) return 0;
    int root = -1;
    int ct = obj_type(dc->data, dc->size, *cat);
    if (ct == 1 || ct == 2) {
        root = dc->catalog_num;
    } else {
        byte_range r = dict_range(dc->data, dc->size, *cat);
        if (r.ok()) {
            const int total = cat->in_objstm ? cat->body_len : dc->size;
            for (int o = find_name(r.bytes, total, r.start, r.end, "Pages"); o >= 0;
                 o = find_name(r.bytes, total, o + 1, r.end, "Pages")) {
                int p = skip_ws(r.bytes, o + 6, r.end);
                int v = parse_int_at(r.bytes, r.end, &p);
                if (v > 0) {
                    root = v;
                    break;
                }
            }
        }
    }
    if (root <= 0) return 0;
    int n;
    try {
        tree_walk w{dc, std::vector<uint8_t>((size_t)dc->max_num + 1, 0),
                    std::vector<int8_t>((size_t)dc->max_num + 1, -1)};
        n = w.resolve(root);
    } catch (const std::bad_alloc&) {
        doc_free(dc);
        set_error("out of memory");
        return -1;
    }
    if (n < 0) {
        doc_free(dc);
        set_error("broken page tree in %s", path);
        return -1;
    }
    dc->has_pages = n != 0;
    if (!dc->has_pages) dc->pages.clear();
    return 0;
}

}  // namespace pdftext
