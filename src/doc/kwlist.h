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
