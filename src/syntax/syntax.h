// Syntax scanning: byte-level reading of PDF syntax in memory.
//
// Every function works on a byte array and int indices into it, with an
// exclusive end index.  None reads a byte at or beyond the end it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace pdftext {

// --- character classes -----------------------------------------------------

// PDF white space: NUL, HT, LF, FF, CR, SP (not VT).
inline bool is_ws(uint8_t c) {
    return c == 0 || c == 9 || c == 10 || c == 12 || c == 13 || c == 32;
}
// The C library's isspace set in the default locale: HT, LF, VT, FF, CR, SP.
inline bool is_cspace(uint8_t c) { return c == 32 || (c >= 9 && c <= 13); }
inline bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }
inline bool is_alpha(uint8_t c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
// Keyword neighbour: ASCII letter or digit.
inline bool is_alnum(uint8_t c) { return is_digit(c) || is_alpha(c); }
// Name character: ASCII letter, digit, '+', '-', '_'.
inline bool is_namech(uint8_t c) { return is_alnum(c) || c == '+' || c == '-' || c == '_'; }
// PDF delimiters: ( ) < > [ ] { } / %.
inline bool is_delim(uint8_t c) {
    return c == '(' || c == ')' || c == '<' || c == '>' || c == '[' || c == ']' ||
           c == '{' || c == '}' || c == '/' || c == '%';
}
// PDF regular character: neither white space nor a delimiter.  Resource
// names run over these ("/F1.0", "/TT2.1").
inline bool is_regular(uint8_t c) { return !is_ws(c) && !is_delim(c); }
inline int hex_val(uint8_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// --- scanning primitives ------------------------------------------------------

int skip_ws(const uint8_t* d, int pos, int end);
int find_kw(const uint8_t* d, int end, int start, const char* kw);
int kw_at(const uint8_t* d, int pos, int end, const char* kw);
int find_name(const uint8_t* d, int size, int start, int end, const char* name);
int parse_int_at(const uint8_t* d, int end, int* pos);
int read_int_adv(const uint8_t* d, int end, int* pos);
double parse_double_at(const uint8_t* d, int end, int* pos);
int dict_stream_kw(const uint8_t* d, int end, int pos);

// --- growable byte buffer -----------------------------------------------------

// A record of all zeros is an empty buffer.  After every successful append
// data[len] is 0.  The holder owns `data` and releases it with buf_free.
struct buf {
    uint8_t* data;
    uint64_t len;
    uint64_t cap;
};

// Appends n bytes.  Growth doubles from a first block of 1 MiB.  On
// failure the buffer is emptied (contents lost) and null is returned.
// Appends that fit the block are done inline (the text is built a few
// bytes at a time); the rest go through buf_grow_bytes.
uint8_t* buf_grow_bytes(buf* b, const void* src, uint64_t n);
inline uint8_t* buf_bytes(buf* b, const void* src, uint64_t n) {
    if (b->data && b->cap > b->len && n < b->cap - b->len) {
        if (n) std::memcpy(b->data + b->len, src, (size_t)n);
        b->len += n;
        b->data[b->len] = 0;
        return b->data;
    }
    return buf_grow_bytes(b, src, n);
}
// One byte, the same as buf_bytes(b, &c, 1).
inline void buf_byte(buf* b, uint8_t c) {
    if (b->data && b->cap > b->len && b->cap - b->len > 1) {
        b->data[b->len++] = c;
        b->data[b->len] = 0;
        return;
    }
    buf_grow_bytes(b, &c, 1);
}
// Appends n bytes for decoded stream data; on failure returns -1 and leaves
// the buffer exactly as it was.
int dec_bytes(buf* b, const void* src, uint64_t n);
void buf_free(buf* b);

// Appends into `b` at its current size without the 1 MiB first block: used
// for scratch buffers that are reused (the growth policy does not change
// what is stored).  Returns false when memory ran out (buffer unchanged).
bool buf_reserve(buf* b, uint64_t need);

// Owns a buf for the length of a scope.
struct buf_owner {
    buf b{};
    buf_owner() = default;
    buf_owner(const buf_owner&) = delete;
    buf_owner& operator=(const buf_owner&) = delete;
    ~buf_owner() { buf_free(&b); }
};

// --- strings --------------------------------------------------------------

// Decodes the literal string whose '(' is at `open`, appending to `out`.
// Returns 1 when the closing ')' was found; *resume is the index to go on at.
int parse_literal_string2(const uint8_t* d, int end, int open, buf* out, int* resume);
// Decodes the hexadecimal string whose '<' is at `open`.
void parse_hex_string2(const uint8_t* d, int end, int open, buf* out, int* resume);
// Steps over an inline dictionary whose first '<' is at pos.
int skip_inline_dict(const uint8_t* d, int end, int pos);

// --- resource name tables ----------------------------------------------------

enum { NAME_SLOTS = 128, NAME_LEN = 64 };
struct name_table {
    char names[NAME_SLOTS][NAME_LEN];
    int nums[NAME_SLOTS];
};
// Collects the /Name N ... pairs of the dictionary that starts at s.
int parse_name_refs(const uint8_t* d, int end, int s, name_table* t);

}  // namespace pdftext
