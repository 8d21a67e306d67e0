// Scanning primitives: pure functions over a byte array, no allocation.
#include "syntax.h"

#include <cstring>

namespace pdftext {

// Returns the first index at or after pos whose byte is not PDF white space.
int skip_ws(const uint8_t* d, int pos, int end) {
    if (pos >= end) return pos;
    while (pos < end && is_ws(d[pos])) pos++;
    return pos;
}

// First delimited occurrence of kw at or after start.  The byte before a
// candidate is examined even at the start, so a match never begins inside
// a word that started before the range.
int find_kw(const uint8_t* d, int end, int start, const char* kw) {
    int n = (int)strlen(kw);
    if (start < 0) start = 0;
    if (n == 0) return -1;
    const uint8_t first = (uint8_t)kw[0];
    for (int i = start; (int64_t)i + n <= end; i++) {
        if (d[i] != first) {
            const void* p = memchr(d + i, first, (size_t)(end - n + 1 - i));
            if (!p) return -1;
            i = (int)((const uint8_t*)p - d);
        }
        if (memcmp(d + i, kw, (size_t)n) != 0) continue;
        if (i > 0 && is_alnum(d[i - 1])) continue;
        if (i + n < end && is_alnum(d[i + n])) continue;
        return i;
    }
    return -1;
}

int kw_at(const uint8_t* d, int pos, int end, const char* kw) {
    int n = (int)strlen(kw);
    if (pos < 0 || (int64_t)pos + n > end) return 0;
    if (memcmp(d + pos, kw, (size_t)n) != 0) return 0;
    if (pos > 0 && is_alnum(d[pos - 1])) return 0;
    if (pos + n == end) return 1;
    return is_alnum(d[pos + n]) ? 0 : 1;
}

// First "/name" in [start, min(size, end)) not followed by a name character.
// The byte before the slash is not examined.
int find_name(const uint8_t* d, int size, int start, int end, const char* name) {
    int lim = size < end ? size : end;
    int n = (int)strlen(name);
    if (start < 0) start = 0;
    for (int i = start; (int64_t)i + 1 + n <= lim; i++) {
        if (d[i] != '/') {
            const void* p = memchr(d + i, '/', (size_t)(lim - n - i));
            if (!p) return -1;
            i = (int)((const uint8_t*)p - d);
        }
        if (memcmp(d + i + 1, name, (size_t)n) != 0) continue;
        if (i + 1 + n < lim && is_namech(d[i + 1 + n])) continue;
        return i;
    }
    return -1;
}

// Reads [-]digits after white space.  Values wrap in 32 bits (done in
// unsigned arithmetic).  -1 with *pos unchanged when no digit follows.
int parse_int_at(const uint8_t* d, int end, int* pos) {
    int i = skip_ws(d, *pos, end);
    if (i >= end) return -1;
    bool neg = false;
    if (d[i] == '-') {
        i++;
        if (i >= end) return -1;
        neg = true;
    }
    uint32_t v = 0;
    int start = i;
    while (i < end && is_digit(d[i])) v = v * 10u + (uint32_t)(d[i++] - '0');
    if (i == start) return -1;
    *pos = i;
    if (neg) v = 0u - v;
    return (int)v;
}

// Integer reader for number lists: always stores a position, so a caller
// looping over a list moves past a bad byte (but stays on an 'R').
int read_int_adv(const uint8_t* d, int end, int* pos) {
    int i = *pos;
    if (i >= end) { *pos = i; return -1; }
    i = skip_ws(d, i, end);
    if (i >= end) { *pos = end; return -1; }
    bool neg = false;
    if (d[i] == '+' || d[i] == '-') {
        neg = d[i] == '-';
        i++;
        if (i >= end) { *pos = end; return -1; }
    }
    uint32_t v = 0;
    int start = i;
    while (i < end && is_digit(d[i])) v = v * 10u + (uint32_t)(d[i++] - '0');
    if (i > start) {
        *pos = i;
        if (neg) v = 0u - v;
        return (int)v;
    }
    *pos = d[i] == 'R' ? i : i + 1;
    return -1;
}

// PDF real number without exponent.  The fraction accumulates with a scale
// multiplied by 0.1 per digit.
double parse_double_at(const uint8_t* d, int end, int* pos) {
    int i = skip_ws(d, *pos, end);
    if (i >= end) return 0.0;
    bool neg = false;
    if (d[i] == '-') { neg = true; i++; }
    else if (d[i] == '+') i++;
    if (i >= end) return 0.0;
    double v = 0.0;
    bool any = false;
    while (is_digit(d[i])) {
        v = v * 10.0 + (d[i] - '0');
        any = true;
        if (++i >= end) { *pos = end; return neg ? -v : v; }
    }
    if (d[i] == '.') {
        i++;
        if (i < end) {
            double scale = 1.0;
            while (is_digit(d[i])) {
                scale *= 0.1;
                v += (d[i] - '0') * scale;
                any = true;
                if (++i >= end) { *pos = end; return neg ? -v : v; }
            }
        }
    }
    if (!any) return 0.0;
    *pos = i;
    return neg ? -v : v;
}

// Finds the "stream" keyword after the dictionary at (or after) pos:
// counts << and >>, skips literal strings, and tests for the keyword after
// the >> that brings the depth back to 0.
int dict_stream_kw(const uint8_t* d, int end, int pos) {
    int depth = 0;
    int i = pos < 0 ? 0 : pos;
    while (i < end) {
        uint8_t c = d[i];
        if (c == '<') {
            if (i + 1 >= end) return -1;
            if (d[i + 1] == '<') { depth++; i += 2; }
            else i++;
        } else if (c == '>') {
            if (i + 1 >= end) return -1;
            if (d[i + 1] == '>') {
                depth--;
                if (depth == 0) {
                    int s = skip_ws(d, i + 2, end);
                    return kw_at(d, s, end, "stream") ? s : -1;
                }
                i += 2;
            } else {
                i++;
            }
        } else if (c == '(') {
            int nest = 1;
            i++;
            if (i >= end) return -1;
            for (;;) {
                if (i >= end) return -1;
                uint8_t e = d[i];
                if (e == '\\') { i += 2; continue; }
                if (e == '(') nest++;
                else if (e == ')' && --nest == 0) { i++; break; }
                i++;
            }
            if (i >= end) return -1;
        } else {
            i++;
        }
    }
    return -1;
}

}  // namespace pdftext
