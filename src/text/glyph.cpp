// Glyph placement and text output: codes of a shown string, their
// advances, the spaces and line breaks their positions imply, and their
// Unicode text as UTF-8.
#include "text/text.h"

namespace pdftext {

namespace {

// Control characters that a code's own value must not bring into the text
// (a carriage return would break lines, a form feed would split pages).
inline bool is_ctrl(uint32_t cp) { return (cp >= 1 && cp <= 0x1F) || cp == 0x7F; }

// Spaces for a gap of `units` widths of one space, rounded, 1 to 8.  The
// count is clamped while still a double, so huge or infinite gaps are safe.
inline int space_count(double units) {
    double q = units + 0.5;
    if (!(q < 8.0)) return 8;
    int n = (int)q;
    return n < 1 ? 1 : n;
}

// utf8_emit with the common case of an ASCII code point inline.
inline void emit_cp(buf* out, uint32_t c) {
    if (c - 1 < 0x7F && c != 0x0C) {
        if (out->len > TEXT_LIMIT - 1) return;
        buf_byte(out, (uint8_t)c);
        return;
    }
    utf8_emit(out, c);
}

}  // namespace

void text_put(buf* out, const void* bytes, uint64_t n) {
    if (n > TEXT_LIMIT || out->len > TEXT_LIMIT - n) return;
    buf_bytes(out, bytes, n);
}

void utf8_emit(buf* out, uint32_t c) {
    if (c == 0 || c == 0x0C) return;
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = 0xFFFD;
    uint8_t b[4];
    int n;
    if (c < 0x80) {
        b[0] = (uint8_t)c;
        n = 1;
    } else if (c < 0x800) {
        b[0] = (uint8_t)(0xC0 | (c >> 6));
        b[1] = (uint8_t)(0x80 | (c & 0x3F));
        n = 2;
    } else if (c < 0x10000) {
        b[0] = (uint8_t)(0xE0 | (c >> 12));
        b[1] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
        b[2] = (uint8_t)(0x80 | (c & 0x3F));
        n = 3;
    } else {
        b[0] = (uint8_t)(0xF0 | (c >> 18));
        b[1] = (uint8_t)(0x80 | ((c >> 12) & 0x3F));
        b[2] = (uint8_t)(0x80 | ((c >> 6) & 0x3F));
        b[3] = (uint8_t)(0x80 | (c & 0x3F));
        n = 4;
    }
    text_put(out, b, (uint64_t)n);
}

int tu_emit(interp_state* st, const font& f, int code) {
    if (!f.tu_index || code < 0 || code >= f.tu_index_size) return 0;
    int32_t v = f.tu_index[code];
    if (v == 0) return 0;
    if (v > 0) {
        emit_cp(&st->out, (uint32_t)v);
        return 1;
    }
    int64_t p = (int64_t)((uint32_t)v & 0x7FFFFFFFu);
    if (!f.tu_pool || p >= f.tu_pool_len) return 0;
    int32_t n = f.tu_pool[p];
    if (n <= 0) return 1;
    int64_t last = p + (int64_t)n;
    if (last >= f.tu_pool_len) last = (int64_t)f.tu_pool_len - 1;
    for (int64_t i = p + 1; i <= last; i++)
        if (f.tu_pool[i] != 0) emit_cp(&st->out, (uint32_t)f.tu_pool[i]);
    return 1;
}

namespace {

// The placement state of glyph_layout, held in locals while one string is
// shown: the text appends cannot then be taken to change it, and the
// thresholds, which depend only on the font size and the scales, are worked
// out once.
struct layout {
    double x, y, prev_x, prev_y, prev_end_x;
    unsigned has_prev;
    double t, base, m;  // line threshold, space base, line margin

    explicit layout(const interp_state* st)
        : x(st->x), y(st->y), prev_x(st->prev_x), prev_y(st->prev_y), prev_end_x(st->prev_end_x),
          has_prev(st->has_prev) {
        if (st->font_size > 1.0) {
            t = 0.2 * st->font_size;
            base = st->font_size;
        } else {
            t = 2.0;
            base = 10.0;
        }
        if (st->scale_x > 1e-9) base *= st->scale_x;
        if (st->scale_y > 1e-9) t *= st->scale_y;
        m = t < 0.5 ? t : 0.5;
    }
    void store(interp_state* st) const {
        st->x = x;
        st->prev_x = prev_x;
        st->prev_y = prev_y;
        st->prev_end_x = prev_end_x;
        st->has_prev = has_prev;
    }

    // One glyph of advance a: a line break when the baseline moved by more
    // than the margin, else spaces for a gap wider than 0.12 of the base.
    inline void place(buf* out, double a, double end_extra, double after) {
        if (has_prev) {
            double dy = y - prev_y;
            if (dy < -m || dy > m) {
                text_put(out, "\n", 1);
            } else {
                double gap = x - prev_end_x;
                if (gap > 0.05 * base && gap > 0.12 * base)
                    text_put(out, "        ", (uint64_t)space_count(gap / (base * 0.5)));
            }
        }
        prev_x = x;
        prev_y = y;
        has_prev = 1;
        prev_end_x = x + a + end_extra;
        x = prev_end_x + after;
    }
};

}  // namespace

void glyph_layout(interp_state* st, double a, double end_extra, double after) {
    layout l(st);
    l.place(&st->out, a, end_extra, after);
    l.store(st);
}

void emit_glyphs(interp_state* st, const font& f, const uint8_t* s, int n) {
    if (!s || n <= 0) return;
    double sx = st->scale_x > 1e-9 ? st->scale_x : 1.0;
    double h = st->hscale > 1e-6 ? st->hscale : 1.0;
    // Character and word spacing are in unscaled text units.
    double cs = st->char_spacing * sx * h;
    double ws = st->word_spacing * sx * h;
    const double size = st->font_size;
    buf* out = &st->out;
    layout l(st);

    if (f.kind == 1) {
        int bpc = f.one_byte_codes ? 1 : 2;
        for (int i = 0; i + bpc <= n; i += bpc) {
            uint32_t code = bpc == 1 ? s[i] : (uint32_t)s[i] << 8 | s[i + 1];
            int32_t w = f.default_width;
            if (f.cid_widths && code < f.cid_width_count && f.cid_widths[code] >= 0)
                w = f.cid_widths[code];
            double adv = w / 1000.0 * size * sx * h;
            // Word spacing applies to the single-byte code 32 only.
            l.place(out, adv, bpc == 1 && code == 32 ? ws : 0.0, cs);
            if (tu_emit(st, f, (int)code)) continue;
            uint32_t cp = code;
            if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
            if (!is_ctrl(cp)) emit_cp(out, cp);
        }
        l.store(st);
        return;
    }

    for (int i = 0; i < n; i++) {
        uint8_t b = s[i];
        double width = f.widths ? f.widths[b] / 1000.0 : 0.5;
        double adv = width * size * sx * h;
        l.place(out, adv, b == 32 ? ws : 0.0, cs);
        if (tu_emit(st, f, b)) continue;
        uint32_t cp = b;
        if (f.differences && f.differences[b] != 0) {
            cp = f.differences[b];
        } else {
            if (f.winansi && b >= 0x80 && b <= 0x9F) cp = winansi_cp(b);
            // The code's own value: control bytes give no text.
            if (is_ctrl(cp)) continue;
        }
        emit_cp(out, cp);
    }
    l.store(st);
}

}  // namespace pdftext
