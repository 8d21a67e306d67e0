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

// Offset of the first /Resources value in a node's range, or -1.
int resources_at(const byte_range& r) {
    int at = find_name(r.bytes, r.end, r.start, r.end, "Resources");
    if (at < 0) return -1;
    int p = skip_ws(r.bytes, at + 10, r.end);
    return p < r.end ? p : -1;
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

// The memo of node `num` (range r), read on first use.  Without memory
// for the table the node is read afresh.
node_memo memo_of(const doc* d, int num, const byte_range& r) {
    std::vector<node_memo>& m = d->nodes;
    size_t slot = (size_t)num;
    if (num >= 0 && num <= d->max_num && m.size() <= slot) {
        try {
            m.resize((size_t)d->max_num + 1);
        } catch (const std::bad_alloc&) {
        }
    }
    if (slot < m.size() && m[slot].res_at != -2) return m[slot];
    node_memo n;
    n.res_at = resources_at(r);
    n.parent = node_parent(r);
    if (slot < m.size()) m[slot] = n;
    return n;
}

// Registers the dictionary the node's /Resources value (at p) names.
void node_resources(interp_state* st, const byte_range& r, int p) {
    if (p < 0 || p >= r.end) return;
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

}  // namespace

char* extract_page(const doc* d, int index, work_budget* w) {
    work_budget own(*d);
    std::unique_ptr<interp_state> st(new (std::nothrow) interp_state());
    if (!st) return empty_text();
    st->d = d;
    st->doc_data = d->data;
    st->doc_size = d->size;
    st->font_size = 10.0;
    st->work = w ? w : &own;

    const obj_entry* page = nullptr;
    if (index >= 0 && (size_t)index < d->pages.size())
        page = doc_find(d, d->pages[(size_t)index].page_num);

    if (page) {
        // Resources of the page, then of each ancestor, nearest first.
        const obj_entry* node = page;
        for (int steps = 0;;) {
            byte_range r = dict_range(d->data, d->size, *node);
            if (!r.ok()) break;
            node_memo m = memo_of(d, node->num, r);
            node_resources(st.get(), r, m.res_at);
            if (m.parent <= 0) break;
            node = doc_find(d, m.parent);
            if (!node || ++steps > MAX_PARENT_STEPS) break;
        }
        int n = st->res_count;
        for (int i = 0; i < n; i++) {
            res_dict rd = st->res_dicts[i];
            load_fonts_from(st.get(), rd.bytes, rd.end, rd.start);
        }
        buf block{};
        if (get_page_content(d, *page, &block, st->work)) {
            st->held = block.len;
            interp_content_full(st.get(), block.data, (int)block.len);
        }
        buf_free(&block);
    }

    // Text is work too: a small content stream can make a page's worth of
    // text through long ToUnicode sequences.
    st->work->spent += st->out.len;
    if (!st->out.data) return empty_text();
    // The text block is handed over, trimmed to its length and the NUL,
    // rather than copied: a page's text may be 1 GiB.
    buf out = st->out;
    char* text = (char*)realloc(out.data, (size_t)out.len + 1);
    if (!text) {
        if (out.cap <= out.len) return nullptr;  // the state frees the block
        text = (char*)out.data;
    }
    st->out = buf{};
    text[out.len] = 0;
    return text;  // the state releases fonts, flags and scratch buffers
}

}  // namespace pdftext
