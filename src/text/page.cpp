// Page extraction: the resources a page and its ancestors define, their
// fonts, the page's content through the interpreter, and the text.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

#include "text/text.h"

namespace pdftext {

namespace {

enum { MAX_PARENT_STEPS = 63 };

char* empty_text() {
    char* s = (char*)malloc(1);
    if (s) s[0] = 0;
    return s;
}

// Registers the dictionary that the first /Resources of a node names.
void node_resources(interp_state* st, const byte_range& r) {
    int at = find_name(r.bytes, r.end, r.start, r.end, "Resources");
    if (at < 0) return;
    int p = skip_ws(r.bytes, at + 10, r.end);
    if (p >= r.end) return;
    if (r.bytes[p] == '<') {
        register_res(st, r.bytes, p, r.end);
    } else if (is_digit(r.bytes[p])) {
        int q = p;
        int v = parse_int_at(r.bytes, r.end, &q);
        if (v <= 0) return;
        const obj_entry* e = doc_find(st->d, v);
        if (!e) return;
        byte_range rr = dict_range(st->doc_data, st->doc_size, *e);
        if (rr.ok()) register_res(st, rr.bytes, rr.start, rr.end);
    }
}

// Object number of the node's parent, or -1.
int node_parent(const byte_range& r) {
    for (int at = find_name(r.bytes, r.end, r.start, r.end, "Parent"); at >= 0;
         at = find_name(r.bytes, r.end, at + 1, r.end, "Parent")) {
        int p = skip_ws(r.bytes, at + 7, r.end);
        int v = parse_int_at(r.bytes, r.end, &p);
        if (v > 0) return v;
    }
    return -1;
}

}  // namespace

char* extract_page(const doc* d, int index) {
    std::unique_ptr<interp_state> st(new (std::nothrow) interp_state());
    if (!st) return empty_text();
    st->d = d;
    st->doc_data = d->data;
    st->doc_size = d->size;
    st->font_size = 10.0;
    st->visited = (uint8_t*)calloc((size_t)(d->max_num > 0 ? d->max_num : 0) + 1, 1);
    if (!st->visited) return empty_text();
    st->visited_max = d->max_num;

    const obj_entry* page = nullptr;
    if (index >= 0 && (size_t)index < d->pages.size())
        page = doc_find(d, d->pages[(size_t)index].page_num);

    if (page) {
        // Resources of the page, then of each ancestor, nearest first.
        const obj_entry* node = page;
        for (int steps = 0;;) {
            byte_range r = dict_range(d->data, d->size, *node);
            if (!r.ok()) break;
            node_resources(st.get(), r);
            int parent = node_parent(r);
            if (parent <= 0) break;
            node = doc_find(d, parent);
            if (!node || ++steps > MAX_PARENT_STEPS) break;
        }
        int n = st->res_count;
        for (int i = 0; i < n; i++) {
            res_dict rd = st->res_dicts[i];
            load_fonts_from(st.get(), rd.bytes, rd.end, rd.start);
        }
        buf block{};
        if (get_page_content(d, *page, &block))
            interp_content_full(st.get(), block.data, (int)block.len);
        buf_free(&block);
    }

    if (!st->out.data) return empty_text();
    char* text = (char*)malloc((size_t)st->out.len + 1);
    if (text) {
        memcpy(text, st->out.data, (size_t)st->out.len);
        text[st->out.len] = 0;
    }
    return text;  // the state releases fonts, flags and buffers
}

}  // namespace pdftext
