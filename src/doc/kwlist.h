// Positions of every whole-word occurrence of a keyword.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "syntax/syntax.h"

namespace pdftext {

// A whole-word test looks only at the bytes around a match, so "the first
// occurrence at or after p" does not depend on where a search starts and
// is answered by a binary search instead of a scan to the end of the file.
struct kw_list {
    std::vector<int32_t> at;
    void build(const uint8_t* d, int size, const char* kw) {
        int n = (int)strlen(kw);
        for (int i = find_kw(d, size, 0, kw); i >= 0; i = find_kw(d, size, i + n, kw)) at.push_back(i);
    }
    int first_from(int p) const {
        auto it = std::lower_bound(at.begin(), at.end(), p);
        return it == at.end() ? -1 : *it;
    }
};

}  // namespace pdftext

namespace pdftext {

// Every "/name" in a file, for answering find_name(d, size, start, end,
// name) >= 0 over many overlapping ranges without rescanning them.
struct name_hits {
    const uint8_t* d = nullptr;
    int size = 0;
    int n = 0;                      // length of the name without the slash
    std::vector<int32_t> at;        // every "/name", followed by anything
    std::vector<int32_t> next_good; // index of the next one not followed by a name character

    void build(const uint8_t* data, int sz, const char* name) {
        d = data;
        size = sz;
        n = (int)strlen(name);
        for (int i = 0; i + 1 + n <= size; i++) {
            const void* p = memchr(d + i, '/', (size_t)(size - n - i));
            if (!p) break;
            i = (int)((const uint8_t*)p - d);
            if (memcmp(d + i + 1, name, (size_t)n) == 0) at.push_back(i);
        }
        next_good.assign(at.size() + 1, (int32_t)at.size());
        for (size_t k = at.size(); k-- > 0;)
            next_good[k] = good(at[k]) ? (int32_t)k : next_good[k + 1];
    }
    bool good(int o) const { return o + 1 + n >= size || !is_namech(d[o + 1 + n]); }
    // The same answer as find_name(d, size, start, end, name) (end <= size).
    int first_in(int start, int end) const {
        auto it = std::lower_bound(at.begin(), at.end(), start);
        size_t k = (size_t)next_good[(size_t)(it - at.begin())];
        int best = -1;
        if (k < at.size() && at[k] + 1 + n <= end) best = at[k];
        // A name that ends exactly at the range's end matches whatever follows.
        int b = end - 1 - n;
        if (b >= start && (best < 0 || b < best) && std::binary_search(at.begin(), at.end(), b)) best = b;
        return best;
    }
};

}  // namespace pdftext
