// Simple-font encodings: the /Differences array of a font's /Encoding and
// whether that encoding is WinAnsiEncoding.
#include <cstdlib>
#include <cstring>

#include "font/font.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

// "/WinAnsiEncoding" as a whole name at b[p].
bool winansi_name_at(const uint8_t* b, int p, int end) {
    static const char nm[] = "/WinAnsiEncoding";
    const int n = (int)sizeof nm - 1;
    if (p < 0 || (int64_t)p + n > end || memcmp(b + p, nm, n) != 0) return false;
    return p + n == end || !is_namech(b[p + n]);
}

bool name_delim(uint8_t c) {
    switch (c) {
    case ' ': case '\t': case '\r': case '\n': case '/': case '[': case ']':
    case '<': case '>': case '(': case ')': case '%':
        return true;
    default:
        return false;
    }
}

// Codes are read as unsigned decimals that saturate far above 255, so a
// huge code never wraps back into the table.
constexpr uint64_t CODE_CAP = uint64_t(1) << 40;

void read_differences(const byte_range& r, font* f) {
    const uint8_t* b = r.bytes;
    const int end = r.end;
    int s = find_name(b, end, r.start, end, "Differences");
    if (s < 0) return;
    int p = skip_ws(b, s + 12, end);
    if (p >= end || b[p] != '[') return;
    if (!f->differences) {
        f->differences = (uint16_t*)calloc(256, sizeof(uint16_t));
        if (!f->differences) return;
    }
    uint64_t code = 0;
    char name[64];
    p++;
    while (p < end) {
        uint8_t c = b[p];
        if (c == ']') break;
        if (is_digit(c)) {
            uint64_t v = 0;
            while (p < end && is_digit(b[p])) {
                if (v < CODE_CAP) v = v * 10 + (uint64_t)(b[p] - '0');
                p++;
            }
            code = v;
            continue;
        }
        if (c != '/') {
            p++;
            continue;
        }
        int q = p + 1;
        while (q < end && !name_delim(b[q])) q++;
        if (code <= 255) {
            int n = q - (p + 1);
            if (n > 63) n = 63;
            memcpy(name, b + p + 1, (size_t)n);
            name[n] = 0;
            uint32_t cp = glyph_to_unicode(name);
            if (cp >= 1 && cp <= 0xFFFF) f->differences[code] = (uint16_t)cp;
        }
        code++;
        p = q;
    }
}

// The first /BaseEncoding of the range names WinAnsiEncoding.
bool base_is_winansi(const uint8_t* b, int start, int end) {
    int s = find_name(b, end, start, end, "BaseEncoding");
    if (s < 0) return false;
    return winansi_name_at(b, skip_ws(b, s + 13, end), end);
}

}  // namespace

int read_encoding(const doc* d, const byte_range& r, font* f) {
    const uint8_t* b = r.bytes;
    int s = find_name(b, r.end, r.start, r.end, "Encoding");
    if (s < 0) return 0;
    int p = skip_ws(b, s + 9, r.end);
    if (p >= r.end) return 0;
    if (is_digit(b[p])) {
        const obj_entry* e = ref_entry(d, b, r.end, p);
        if (!e) return 0;
        byte_range er = dict_range(d->data, d->size, *e);
        if (!er.ok()) return 0;
        read_differences(er, f);
        return base_is_winansi(er.bytes, er.start, er.end);
    }
    if (b[p] == '<' && p + 1 < r.end && b[p + 1] == '<') {
        // An inline dictionary: /Differences is searched up to the end of
        // the font dictionary, /BaseEncoding only inside the inline one.
        read_differences(byte_range{b, p, r.end}, f);
        return base_is_winansi(b, p, skip_inline_dict(b, r.end, p));
    }
    return winansi_name_at(b, p, r.end);
}

}  // namespace pdftext
