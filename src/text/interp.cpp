// The content stream interpreter: one forward pass over decoded content,
// acting on the text operators, q/Q, Do and inline images.
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "text/text.h"

namespace pdftext {

namespace {

enum { STACK_MAX = 32, OP_MAX = 15, SCRATCH_FIRST = 256 };

// Locals of one interpretation level, kept small: forms recurse through
// interp_content_full.
struct operands {
    double v[STACK_MAX];
    int n = 0;
    char name[64] = {};
    int has_name = 0;

    double last(double dflt) const { return n > 0 ? v[n - 1] : dflt; }
};

inline double sx_of(const interp_state* st) { return st->scale_x > 1e-9 ? st->scale_x : 1.0; }
inline double sy_of(const interp_state* st) { return st->scale_y > 1e-9 ? st->scale_y : 1.0; }

// Empties a reused scratch buffer, giving it a small first block so that
// the string decoders grow it from there instead of from 1 MiB.
void scratch_reset(buf* b) {
    if (!b->data) buf_reserve(b, SCRATCH_FIRST);
    b->len = 0;
    if (b->data) b->data[0] = 0;
}

inline bool is_ctrl(uint32_t cp) { return (cp >= 1 && cp <= 0x1F) || cp == 0x7F; }

// Shows decoded string bytes: through the selected font, or byte by byte
// as code points when none is selected (control bytes give nothing).
void show(interp_state* st, const buf& s) {
    if (!s.data || s.len == 0) return;
    int n = s.len > (uint64_t)CONTENT_LIMIT ? (int)CONTENT_LIMIT : (int)s.len;
    if (st->has_font) {
        emit_glyphs(st, st->cur_font, s.data, n);
        return;
    }
    for (int i = 0; i < n; i++)
        if (!is_ctrl(s.data[i])) utf8_emit(&st->out, s.data[i]);
}

void show_pending(interp_state* st, buf* pending) {
    show(st, *pending);
    pending->len = 0;
    if (pending->data) pending->data[0] = 0;
}

void next_line(interp_state* st) {
    st->line_y -= st->leading * sy_of(st);
    st->x = st->line_x;
    st->y = st->line_y;
}

void move_line(interp_state* st, const operands& o, bool set_leading) {
    double tx = 0, ty = 0;
    if (o.n >= 2) {
        tx = o.v[o.n - 2];
        ty = o.v[o.n - 1];
    } else if (o.n == 1) {
        ty = o.v[0];
    }
    if (set_leading) st->leading = -ty;
    st->line_x += tx * sx_of(st);
    st->line_y += ty * sy_of(st);
    st->x = st->line_x;
    st->y = st->line_y;
}

void save_q(interp_state* st) {
    if (st->q_depth >= 0 && st->q_depth < MAX_Q) {
        int k = st->q_depth;
        st->saved_font_index[k] = st->has_font ? st->font_index : -1;
        st->saved_font_size[k] = st->font_size;
        st->saved_char_spacing[k] = st->char_spacing;
        st->saved_word_spacing[k] = st->word_spacing;
    }
    if (st->q_depth < INT32_MAX) st->q_depth++;
}

void restore_q(interp_state* st) {
    if (st->q_depth <= 0) return;
    st->q_depth--;
    if (st->q_depth >= MAX_Q) return;
    int k = st->q_depth;
    int i = st->saved_font_index[k];
    if (i >= 0 && i < st->font_count) {
        st->cur_font = st->fonts[i];
        st->has_font = 1;
        st->font_index = i;
    }
    st->font_size = st->saved_font_size[k];
    st->char_spacing = st->saved_char_spacing[k];
    st->word_spacing = st->saved_word_spacing[k];
}

// A TJ number: moves the position back by v thousandths of the font size;
// a move right of more than half a quarter em (and 0.05 em) becomes spaces.
void array_move(interp_state* st, double v) {
    double sx = sx_of(st);
    double d = -v / 1000.0 * st->font_size * sx;
    double unit = 0.25 * st->font_size * sx;
    if (d > 0.5 * unit && d > 0.05 * st->font_size * sx) {
        double q = d / unit + 0.5;  // clamped before it becomes a count
        int n = !(q < 8.0) ? 8 : (int)q;
        if (n < 1) n = 1;
        text_put(&st->out, "        ", (uint64_t)n);
    }
    st->x += d;
}

inline bool ends_image(uint8_t c) { return c == 0 || c == 9 || c == 10 || c == 13 || c == 32; }

// Index at which scanning resumes after inline image data starting at p
// (just after "ID"), or -1 when no " EI" ends it.
int skip_image(const uint8_t* d, int len, int p) {
    for (int i = p; i + 3 < len; i++) {
        if (d[i + 1] != 'E') continue;  // cheap first test
        if (ends_image(d[i]) && d[i + 2] == 'I' && (ends_image(d[i + 3]) || d[i + 3] == 'Q'))
            return i + 3;
    }
    return -1;
}

// The form's own resource dictionary, registered and its fonts loaded.
void form_resources(interp_state* st, const byte_range& r) {
    for (int at = find_name(r.bytes, r.end, r.start, r.end, "Resources"); at >= 0;
         at = find_name(r.bytes, r.end, at + 1, r.end, "Resources")) {
        int p = skip_ws(r.bytes, at + 10, r.end);
        if (p >= r.end) return;
        if (r.bytes[p] == '<') {
            register_res(st, r.bytes, p, r.end);
            load_fonts_from(st, r.bytes, r.end, p);
            return;
        }
        if (is_digit(r.bytes[p])) {
            int q = p;
            int v = parse_int_at(r.bytes, r.end, &q);
            if (v > 0) {
                const obj_entry* e = doc_find(st->d, v);
                if (!e) return;
                // Direct objects and object-stream members alike.
                byte_range rr = dict_range(st->doc_data, st->doc_size, *e);
                if (!rr.ok()) return;
                register_res(st, rr.bytes, rr.start, rr.end);
                load_fonts_from(st, rr.bytes, rr.end, rr.start);
                return;
            }
        }
    }
}

void do_xobject(interp_state* st, const operands& o) {
    if (!o.has_name || !st->d) return;
    int num = find_form_xobject(st, o.name);
    if (num <= 0) return;
    const obj_entry* e = doc_find(st->d, num);
    if (!e) return;
    // Each form runs once per page.  Without memory for the flags no form
    // runs: unflagged, forms calling each other would run 128^8 times.
    if (!st->visited) {
        st->visited = (uint8_t*)calloc((size_t)(st->d->max_num > 0 ? st->d->max_num : 0) + 1, 1);
        if (!st->visited) return;
        st->visited_max = st->d->max_num;
    }
    if (num > st->visited_max || st->visited[num]) return;
    st->visited[num] = 1;
    if (st->form_depth > MAX_FORM_DEPTH) return;
    byte_range r = dict_range(st->doc_data, st->doc_size, *e);
    if (r.ok()) {
        if (!e->in_objstm) {
            int at = find_name(r.bytes, r.end, r.start, r.end, "Subtype");
            if (at >= 0) {
                int p = skip_ws(r.bytes, at + 8, r.end);
                if (p >= r.end || r.end - p < 5 || memcmp(r.bytes + p, "/Form", 5) != 0) return;
            }
        }
        form_resources(st, r);
    }
    buf block{};
    if (get_page_content(st->d, *e, &block, st->work, CONTENT_LIMIT - st->held)) {
        st->form_depth++;
        st->held += block.len;
        interp_content_full(st, block.data, (int)block.len);
        st->held -= block.len;
        st->form_depth--;
    }
    buf_free(&block);
}

}  // namespace

void interp_content_full(interp_state* st, const uint8_t* d, int len) {
    if (st->form_depth < 0 || st->form_depth >= INTERP_LEVELS) return;
    buf* pending = &st->pending[st->form_depth];
    scratch_reset(pending);
    if (len <= 0 || !d) return;

    operands o;
    int pos = 0;
    while (pos < len) {
        uint8_t c = d[pos];
        if (is_ws(c)) {
            pos++;
        } else if (c == '%') {
            while (pos < len && d[pos] != '\n' && d[pos] != '\r') pos++;
        } else if (c == '+' || c == '-' || c == '.' || is_digit(c)) {
            int q = pos;
            double v = parse_double_at(d, len, &q);
            if (o.n < STACK_MAX) o.v[o.n++] = v;
            else o.n = 0;
            pos = q > pos ? q : pos + 1;
        } else if (c == '(') {
            scratch_reset(pending);
            int r = pos;
            int ok = parse_literal_string2(d, len, pos, pending, &r);
            pos = (ok || r > pos) ? r : pos + 1;
        } else if (c == '<') {
            if (pos + 1 < len && d[pos + 1] == '<') {
                int r = skip_inline_dict(d, len, pos);
                pos = r > pos ? r : pos + 1;
            } else {
                scratch_reset(pending);
                int r = pos;
                parse_hex_string2(d, len, pos, pending, &r);
                pos = r > pos ? r : pos + 1;
            }
        } else if (c == '[') {
            pos++;
            buf* s = &st->array_str;
            while (pos < len) {
                uint8_t a = d[pos];
                if (a == '(') {
                    scratch_reset(s);
                    int r = pos;
                    int ok = parse_literal_string2(d, len, pos, s, &r);
                    pos = (ok || r > pos) ? r : pos + 1;
                    show(st, *s);
                } else if (a == '<') {
                    if (pos + 1 < len && d[pos + 1] == '<') {
                        int r = skip_inline_dict(d, len, pos);
                        pos = r > pos ? r : pos + 1;
                    } else {
                        scratch_reset(s);
                        int r = pos;
                        parse_hex_string2(d, len, pos, s, &r);
                        pos = r > pos ? r : pos + 1;
                        show(st, *s);
                    }
                } else if (a == '+' || a == '-' || a == '.' || is_digit(a)) {
                    int q = pos;
                    double v = parse_double_at(d, len, &q);
                    pos = q > pos ? q : pos + 1;
                    array_move(st, v);
                } else if (a == ']' || a == ')' || a == '>' || a == '}') {
                    pos++;
                    break;
                } else {
                    pos++;
                }
            }
            if (s->data) s->len = 0;
        } else if (c == '/') {
            pos++;
            if (pos >= len) break;
            int k = 0;
            while (pos < len && k < 63 && is_regular(d[pos])) o.name[k++] = (char)d[pos++];
            o.name[k] = 0;
            o.has_name = k > 0;
        } else if (c == '\'' || c == '"') {
            pos++;
            if (c == '"' && o.n >= 2) {
                st->word_spacing = o.v[o.n - 2];
                st->char_spacing = o.v[o.n - 1];
            }
            next_line(st);
            show_pending(st, pending);
            o.n = 0;
        } else if (is_alpha(c)) {
            char op[OP_MAX + 1];
            int k = 0;
            while (pos < len && k < OP_MAX && is_alpha(d[pos])) op[k++] = (char)d[pos++];
            op[k] = 0;
            if (k == 1 && op[0] == 'T' && pos < len && d[pos] == '*') {
                pos++;
                op[1] = '*';
                op[2] = 0;
                k = 2;
            }
            if (k > 2) continue;
            bool acted = true;
            if (k == 1) {
                if (op[0] == 'q') save_q(st);
                else if (op[0] == 'Q') restore_q(st);
                else acted = false;
            } else if (op[0] == 'T') {
                switch (op[1]) {
                case 'd': move_line(st, o, false); break;
                case 'D': move_line(st, o, true); break;
                case '*': next_line(st); break;
                case 'L': st->leading = o.last(0); break;
                case 'm':
                    if (o.n >= 6) {
                        const double* m = o.v + o.n - 6;
                        st->line_x = st->x = m[4];
                        st->line_y = st->y = m[5];
                        st->scale_x = std::sqrt(m[0] * m[0] + m[1] * m[1]);
                        st->scale_y = std::sqrt(m[2] * m[2] + m[3] * m[3]);
                    }
                    break;
                case 'z': st->hscale = o.n > 0 ? o.v[o.n - 1] / 100.0 : 1.0; break;
                case 'f': {
                    double size = o.last(10.0);
                    select_font(st, o.name, o.has_name);
                    st->font_size = size > 0 ? size : 10.0;
                    break;
                }
                case 'j': show_pending(st, pending); break;
                case 'c': st->char_spacing = o.last(0); break;
                case 'w': st->word_spacing = o.last(0); break;
                default: acted = false;
                }
            } else if (op[0] == 'B' && op[1] == 'T') {
                st->line_x = st->line_y = st->x = st->y = 0;
                st->scale_x = st->scale_y = 1.0;
                st->leading = 0;
            } else if (op[0] == 'E' && op[1] == 'T') {
            } else if (op[0] == 'D' && op[1] == 'o') {
                do_xobject(st, o);
            } else if (op[0] == 'I' && op[1] == 'D') {
                int r = skip_image(d, len, pos);
                if (r < 0) break;
                pos = r;
            } else {
                acted = false;
            }
            if (acted) o.n = 0;
        } else {
            pos++;  // ) * > ] } and other bytes
        }
    }
    pending->len = 0;
}

}  // namespace pdftext
