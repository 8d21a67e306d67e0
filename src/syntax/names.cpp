// Resource name tables: the "/Name N 0 R" pairs of a /Font or /XObject
// dictionary.
#include "syntax.h"

#include <cstring>

namespace pdftext {

// Collects up to 128 (name, object number) pairs of the dictionary that
// starts at s.  Only the first integer after a name is taken, and names in
// nested dictionaries count too.  A name is 1 to 63 regular characters.
int parse_name_refs(const uint8_t* d, int end, int s, name_table* t) {
    if (end <= s) return 0;
    // The dictionary's end: the >> that closes the first <<.
    int dend = end;
    int depth = 0;
    for (int i = s; i < end;) {
        uint8_t c = d[i];
        if (c == '<') {
            if (i + 1 >= end) { dend = end; break; }
            if (d[i + 1] == '<') { depth++; i += 2; }
            else i++;
        } else if (c == '>') {
            if (i + 1 >= end) { dend = end; break; }
            if (d[i + 1] == '>') {
                if (--depth == 0) { dend = i + 1; break; }
                i += 2;
            } else {
                i++;
            }
        } else if (c == '(') {
            int r = i;
            int ok = parse_literal_string2(d, end, i, nullptr, &r);
            i = (ok || r > i) ? r : i + 1;
        } else {
            i++;
        }
    }
    if (dend <= s + 1) return 0;

    int count = 0;
    for (int j = s; j + 1 < dend;) {
        if (d[j] != '/') { j++; continue; }
        int k = j + 1;
        // A name runs over regular characters, so /F1.0 is one name.
        while (k < dend && is_regular(d[k])) k++;
        int len = k - (j + 1);
        if (len < 1 || len > NAME_LEN - 1 || k >= dend) { j++; continue; }
        int p = skip_ws(d, k, dend);
        if (p >= dend || !is_digit(d[p])) { j++; continue; }
        int q = p;
        int v = parse_int_at(d, dend, &q);
        if (v <= 0) { j++; continue; }
        memcpy(t->names[count], d + j + 1, (size_t)len);
        t->names[count][len] = 0;
        t->nums[count] = v;
        count++;
        if (count == NAME_SLOTS || q + 2 >= dend) break;
        j = q + 1;
    }
    return count;
}

}  // namespace pdftext
