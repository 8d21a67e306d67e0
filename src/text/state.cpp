// The interpreter state: resource registration, font selection by name,
// and loading the fonts a resource dictionary names.
#include <cstdlib>
#include <cstring>

#include "text/text.h"

namespace pdftext {

interp_state::~interp_state() { state_release(this); }

void state_release(interp_state* st) {
    for (int i = 0; i < st->font_count && i < MAX_FONTS; i++) {
        if (st->font_owned[i]) font_release(&st->fonts[i]);
        st->fonts[i] = font();
        st->font_owned[i] = 0;
    }
    st->font_count = 0;
    st->cur_font = font();
    st->has_font = 0;
    buf_free(&st->out);
    for (buf& b : st->pending) buf_free(&b);
    buf_free(&st->array_str);
    for (int i = 0; i < MAX_RES; i++) {
        free(st->xobj_tables[i]);
        st->xobj_tables[i] = nullptr;
    }
    free(st->visited);
    st->visited = nullptr;
    st->visited_max = 0;
}

void register_res(interp_state* st, const uint8_t* bytes, int start, int end) {
    for (int i = 0; i < st->res_count; i++)
        if (st->res_dicts[i].bytes == bytes && st->res_dicts[i].start == start) return;
    if (st->res_count >= MAX_RES) return;
    // Its fonts and XObjects are looked up by scanning [start, end) once
    // or twice per page: pages sharing a huge dictionary pay for it each.
    if (st->work) {
        if (!st->work->left()) return;
        st->work->spent += (uint64_t)(end > start ? end - start : 0);
    }
    st->res_dicts[st->res_count++] = res_dict{bytes, start, end};
}

void select_font(interp_state* st, const char* name, int has_name) {
    if (has_name) {
        for (int i = 0; i < st->font_count; i++) {
            if (strcmp(st->font_names[i], name) == 0) {
                st->font_index = i;
                st->has_font = 1;
                st->cur_font = st->fonts[i];
                return;
            }
        }
    }
    st->has_font = 0;
    st->font_index = -1;
    st->cur_font = font();
}

void load_fonts_from(interp_state* st, const uint8_t* bytes, int len, int pos) {
    if (!st->d) return;
    name_table* t = &st->names;
    int count = 0;
    int at = find_name(bytes, len, pos, len, "Font");
    for (;;) {
        if (at < 0) return;
        int p = skip_ws(bytes, at + 5, len);
        if (p >= len) return;
        if (bytes[p] == '<') {
            count = parse_name_refs(bytes, len, p, t);
            break;
        }
        if (is_digit(bytes[p])) {
            int q = p;
            int num = parse_int_at(bytes, len, &q);
            if (num > 0) {
                const obj_entry* e = doc_find(st->d, num);
                if (!e) return;
                byte_range r = dict_range(st->doc_data, st->doc_size, *e);
                if (!r.ok()) return;
                count = parse_name_refs(r.bytes, r.end, r.start, t);
                if (count == 0) return;
                break;
            }
        }
        // Not a dictionary or a reference: try the next /Font.
        at = find_name(bytes, len, at + 1, len, "Font");
    }
    for (int i = 0; i < count; i++) {
        if (st->font_count >= MAX_FONTS) return;
        const obj_entry* e = doc_find(st->d, t->nums[i]);
        if (!e) continue;
        int slot = st->font_count;
        st->font_owned[slot] = font_get(st->d, *e, &st->fonts[slot], st->work) ? 1 : 0;
        memcpy(st->font_names[slot], t->names[i], sizeof st->font_names[slot]);
        st->font_names[slot][63] = 0;
        st->font_count++;
    }
}

}  // namespace pdftext
