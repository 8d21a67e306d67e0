// PDF string syntax: literal "( ... )" and hexadecimal "< ... >" strings,
// and inline dictionaries of content streams.
#include "syntax.h"

namespace pdftext {

// Appends one byte; a null `out` only measures (used when a string is
// merely skipped, so no scratch block is needed).
static inline void put(buf* out, uint8_t c) {
    if (out) buf_byte(out, c);
}

// Literal string: balanced parentheses, backslash escapes (\n \r \t \b \f
// \( \) \\, line continuations, 1-3 octal digits; any other escaped byte
// stands for itself).  Raw CR and LF are kept as they are.
int parse_literal_string2(const uint8_t* d, int end, int open, buf* out, int* resume) {
    int i = open + 1;
    if (i >= end) { *resume = i; return 0; }
    int depth = 1;
    while (i < end) {
        // A run of bytes that stand for themselves, nested parentheses
        // included, is appended at once.
        int run = i;
        while (i < end) {
            uint8_t c = d[i];
            if (c == '\\') break;
            if (c == '(') depth++;
            else if (c == ')' && --depth == 0) break;
            i++;
        }
        if (out && i > run) buf_bytes(out, d + run, (uint64_t)(i - run));
        if (i >= end) break;
        if (d[i] == ')') { *resume = i + 1; return 1; }
        // A backslash escape.
        if (i + 1 >= end) { *resume = i; return 0; }
        uint8_t e = d[i + 1];
        switch (e) {
        case 'n': put(out, 0x0A); i += 2; break;
        case 'r': put(out, 0x0D); i += 2; break;
        case 't': put(out, 0x09); i += 2; break;
        case 'b': put(out, 0x08); i += 2; break;
        case 'f': put(out, 0x0C); i += 2; break;
        case '\n': i += 2; break;
        case '\r':
            if (i + 2 >= end) { *resume = i + 2; return 0; }
            i += d[i + 2] == '\n' ? 3 : 2;
            break;
        default:
            if (e >= '0' && e <= '7') {
                unsigned v = 0;
                int j = i + 1, k = 0;
                while (k < 3 && j < end && d[j] >= '0' && d[j] <= '7') {
                    v = v * 8 + (unsigned)(d[j] - '0');
                    j++;
                    k++;
                }
                put(out, (uint8_t)(v & 0xFF));
                i = j;
            } else {
                put(out, e);  // \( \) \\ and unknown escapes
                i += 2;
            }
        }
    }
    *resume = i;
    return 0;
}

// Hexadecimal string: digit pairs, high nibble first; other bytes ignored;
// a lone last digit before '>' counts as its high nibble.
void parse_hex_string2(const uint8_t* d, int end, int open, buf* out, int* resume) {
    int i = open + 1;
    if (i >= end) { *resume = i; return; }
    int pending = -1;
    for (; i < end; i++) {
        uint8_t c = d[i];
        if (c == '>') {
            if (pending >= 0) put(out, (uint8_t)(pending << 4));
            *resume = i + 1;
            return;
        }
        int v = hex_val(c);
        if (v < 0) continue;
        if (pending < 0) pending = v;
        else {
            put(out, (uint8_t)(pending * 16 + v));
            pending = -1;
        }
    }
    *resume = end;
}

// Steps over a dictionary, counting nested << >>, skipping literal strings
// and comments.  Returns the index just after the closing >>.
int skip_inline_dict(const uint8_t* d, int end, int pos) {
    if (pos >= end) return pos;
    int depth = 0;
    while (pos < end) {
        uint8_t c = d[pos];
        if (c == '<') {
            if (pos + 1 >= end) return pos + 1;
            if (d[pos + 1] == '<') { depth++; pos += 2; }
            else pos++;
        } else if (c == '>') {
            if (pos + 1 >= end) return pos + 1;
            if (d[pos + 1] == '>') {
                pos += 2;
                if (--depth == 0) return pos;
            } else {
                pos++;
            }
        } else if (c == '(') {
            int r = pos;
            int ok = parse_literal_string2(d, end, pos, nullptr, &r);
            pos = (ok || r > pos) ? r : pos + 1;
        } else if (c == '%') {
            while (pos < end && d[pos] != '\r' && d[pos] != '\n') pos++;
            if (pos >= end) return end;
        } else {
            pos++;
        }
    }
    return pos;
}

}  // namespace pdftext
