// ToUnicode CMaps: the per-font code-to-text store and the readers of
// decoded CMap streams (bfchar/bfrange blocks and the first codespace
// range of an encoding CMap).
#include <cstdlib>
#include <cstring>

#include "font/font.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

bool has_bytes(const uint8_t* d, int len, int i, const char* kw, int n) {
    return (int64_t)i + n <= len && memcmp(d + i, kw, (size_t)n) == 0;
}

int skip_cspace(const uint8_t* d, int i, int len) {
    while (i < len && is_cspace(d[i])) i++;
    return i;
}

// Big-endian value of the first four bytes of a source code.
uint32_t code_value(const uint8_t* b, int n) {
    uint32_t v = 0;
    for (int k = 0; k < n && k < 4; k++) v = (v << 8) | b[k];
    return v;
}

}  // namespace

void tu_set(font* f, uint32_t code, const int32_t* cps, int n) {
    if (n <= 0 || code > 0xFFFF) return;
    if ((int64_t)code >= f->tu_index_size) {
        int64_t size;
        if (f->tu_index_size == 0) {
            size = code <= 255 ? 256 : 512;
        } else {
            size = (int64_t)f->tu_index_size * 2;
        }
        while (size <= (int64_t)code) size *= 2;
        int32_t* p = (int32_t*)realloc(f->tu_index, (size_t)size * sizeof(int32_t));
        if (!p) return;
        memset(p + f->tu_index_size, 0, (size_t)(size - f->tu_index_size) * sizeof(int32_t));
        f->tu_index = p;
        f->tu_index_size = (int32_t)size;
    }
    if (n == 1 && cps[0] > 0) {
        f->tu_index[code] = cps[0];
        return;
    }
    if (n > 16) n = 16;
    int64_t need = (int64_t)f->tu_pool_len + n;  // last slot written
    if (need >= TU_POOL_MAX) return;             // pool full: dropped
    if (need >= f->tu_pool_cap) {
        int64_t cap = f->tu_pool_cap == 0 ? 256 : (int64_t)f->tu_pool_cap * 2;
        while (cap <= need) cap *= 2;
        if (cap > TU_POOL_MAX) cap = TU_POOL_MAX;
        int32_t* p = (int32_t*)realloc(f->tu_pool, (size_t)cap * sizeof(int32_t));
        if (!p) return;
        f->tu_pool = p;
        f->tu_pool_cap = (int32_t)cap;
    }
    int32_t pos = f->tu_pool_len;
    f->tu_pool[pos] = n;
    memcpy(f->tu_pool + pos + 1, cps, (size_t)n * sizeof(int32_t));
    f->tu_pool_len = pos + n + 1;
    f->tu_index[code] = (int32_t)((uint32_t)pos | 0x80000000u);
}

int cm_hex(const uint8_t* d, int end, int pos, uint8_t* out, int max, int* count) {
    *count = 0;
    int i = pos + 1;
    if (pos < 0 || i >= end) return end;
    int written = 0;
    int hi = -1;  // pending high nibble
    for (; i < end; i++) {
        uint8_t c = d[i];
        if (c == '>') break;
        int v = hex_val(c);
        if (v < 0) continue;
        if (hi < 0) {
            hi = v;
        } else {
            if (written < max) out[written++] = (uint8_t)(hi << 4 | v);
            hi = -1;
        }
    }
    if (hi >= 0 && written < max) out[written++] = (uint8_t)(hi << 4);
    *count = written;
    return i < end ? i + 1 : end;
}

int cm_utf16(const uint8_t* b, int n, int32_t* out) {
    if (n < 1) return 0;
    if (n == 1) {
        out[0] = b[0];
        return 1;
    }
    int k = 0;
    int i = 0;
    while (i + 1 < n && k < 16) {
        uint32_t u = (uint32_t)b[i] << 8 | b[i + 1];
        i += 2;
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= n) {
                out[k++] = 0xFFFD;
                break;
            }
            uint32_t lo = (uint32_t)b[i] << 8 | b[i + 1];
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                out[k++] = (int32_t)(0x10000 + (u - 0xD800) * 0x400 + (lo - 0xDC00));
                i += 2;
            } else {
                out[k++] = 0xFFFD;
            }
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            out[k++] = 0xFFFD;
        } else {
            out[k++] = (int32_t)u;
        }
    }
    return k;
}

// One forward pass over the decoded CMap.  Only the four bfchar/bfrange
// block keywords are known; everything else is stepped over.
void read_tounicode(font* f, const uint8_t* d, int len) {
    enum { NONE, CHAR, RANGE } mode = NONE;
    uint8_t src[8];
    uint8_t dst[64];
    int32_t cps[16];
    int64_t budget = RANGE_BUDGET;
    int i = 0;
    while (i < len) {
        uint8_t c = d[i];
        if (c == '%') {
            while (i < len && d[i] != '\r' && d[i] != '\n') i++;
            continue;
        }
        if (c == 'b') {
            if (has_bytes(d, len, i, "beginbfchar", 11)) {
                mode = CHAR;
                i += 11;
            } else if (has_bytes(d, len, i, "beginbfrange", 12)) {
                mode = RANGE;
                i += 12;
            } else {
                i++;
            }
            continue;
        }
        if (c == 'e') {
            if (has_bytes(d, len, i, "endbfchar", 9)) {
                mode = NONE;
                i += 9;
            } else if (has_bytes(d, len, i, "endbfrange", 10)) {
                mode = NONE;
                i += 10;
            } else {
                i++;
            }
            continue;
        }
        if (c != '<' || mode == NONE) {
            i++;
            continue;
        }

        // One entry: source code, then a destination (char) or a high end
        // and destinations (range).
        int n = 0;
        int p = cm_hex(d, len, i, src, 8, &n);
        uint32_t lo = code_value(src, n);
        p = skip_cspace(d, p, len);
        if (p >= len) return;
        if (mode == CHAR) {
            if (d[p] == '<') {
                int m = 0;
                p = cm_hex(d, len, p, dst, 64, &m);
                tu_set(f, lo, cps, cm_utf16(dst, m, cps));
            } else if (d[p] == '/') {
                while (p < len && !is_cspace(d[p])) p++;
            }
            i = p;
            continue;
        }
        if (d[p] != '<') {
            i = p;
            continue;
        }
        p = cm_hex(d, len, p, src, 8, &n);
        uint32_t hi = n == 0 ? lo : code_value(src, n);
        if (hi < lo || hi - lo >= 0x10000u) hi = lo;
        p = skip_cspace(d, p, len);
        if (p >= len) return;
        if (d[p] == '<') {
            int m = 0;
            p = cm_hex(d, len, p, dst, 64, &m);
            int k = cm_utf16(dst, m, cps);
            uint32_t last = hi < 0xFFFFu ? hi : 0xFFFFu;
            if (k > 0 && lo <= last) {
                int64_t count = (int64_t)last - lo + 1;
                if (count > budget) count = budget;
                budget -= count;
                for (int64_t j = 0; j < count; j++) {
                    tu_set(f, lo + (uint32_t)j, cps, k);
                    cps[k - 1]++;
                }
            }
        } else if (d[p] == '[') {
            uint64_t cur = lo;
            p++;
            while (p < len && d[p] != ']') {
                if (d[p] != '<') {
                    p++;
                    continue;
                }
                int m = 0;
                p = cm_hex(d, len, p, dst, 64, &m);
                int k = cm_utf16(dst, m, cps);
                if (cur <= hi) tu_set(f, (uint32_t)cur, cps, k);
                cur++;
            }
            if (p < len) p++;  // the ']'
        }
        i = p;
    }
}

void read_codespace(font* f, const uint8_t* d, int len) {
    static const char kw[] = "begincodespacerange";
    const int n = 19;
    int k = -1;
    for (int i = 0; (int64_t)i + n < len; i++) {
        if (d[i] == 'b' && memcmp(d + i, kw, n) == 0) {
            k = i;
            break;
        }
    }
    if (k < 0) return;
    int p = k + n;
    while (p < len && d[p] != '<') p++;
    if (p >= len) return;
    uint8_t b[8];
    int count = 0;
    cm_hex(d, len, p, b, 8, &count);
    if (count == 1) f->one_byte_codes = 1;
}

}  // namespace pdftext
