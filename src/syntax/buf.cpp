// The growable byte buffer.  Capacities are 1 MiB times a power of two.
#include "syntax.h"

#include <cstdlib>
#include <cstring>

namespace pdftext {

static const uint64_t FIRST_BLOCK = 0x100000;

// Doubles cap (starting from `from`) until it holds need; 0 on overflow.
static uint64_t grown(uint64_t from, uint64_t need) {
    uint64_t c = from;
    while (c < need) {
        if (c > UINT64_MAX / 2) return 0;
        c *= 2;
    }
    return c;
}

uint8_t* buf_grow_bytes(buf* b, const void* src, uint64_t n) {
    if (!b->data) {
        b->data = (uint8_t*)malloc(FIRST_BLOCK);
        b->len = 0;
        if (!b->data) { b->cap = 0; return nullptr; }
        b->cap = FIRST_BLOCK;
    }
    if (n > UINT64_MAX - b->len - 1) { buf_free(b); return nullptr; }
    uint64_t need = b->len + n + 1;
    if (b->cap < need) {
        uint64_t c = grown(b->cap, need);
        uint8_t* p = c && c <= SIZE_MAX ? (uint8_t*)realloc(b->data, (size_t)c) : nullptr;
        if (!p) { buf_free(b); return nullptr; }
        b->data = p;
        b->cap = c;
    }
    if (n) memcpy(b->data + b->len, src, (size_t)n);
    b->len += n;
    b->data[b->len] = 0;
    return b->data;
}

int dec_bytes(buf* b, const void* src, uint64_t n) {
    if (n > UINT64_MAX - b->len - 1) return -1;
    uint64_t need = b->len + n + 1;
    if (!b->data || b->cap < need) {
        uint64_t c = grown(b->cap ? b->cap : FIRST_BLOCK, need);
        uint8_t* p = c && c <= SIZE_MAX ? (uint8_t*)realloc(b->data, (size_t)c) : nullptr;
        if (!p) return -1;
        b->data = p;
        b->cap = c;
    }
    if (n) memcpy(b->data + b->len, src, (size_t)n);
    b->len += n;
    b->data[b->len] = 0;
    return 0;
}

bool buf_reserve(buf* b, uint64_t need) {
    if (b->data && b->cap >= need) return true;
    uint64_t c = b->cap ? b->cap : 64;
    while (c < need) {
        if (c > UINT64_MAX / 2) return false;
        c *= 2;
    }
    uint8_t* p = c <= SIZE_MAX ? (uint8_t*)realloc(b->data, (size_t)c) : nullptr;
    if (!p) return false;
    b->data = p;
    b->cap = c;
    return true;
}

void buf_free(buf* b) {
    free(b->data);
    b->data = nullptr;
    b->len = 0;
    b->cap = 0;
}

}  // namespace pdftext
