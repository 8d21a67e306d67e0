// Fonts and character mapping.
#pragma once

#include <cstdint>

#include "doc/doc.h"
#include "filter/filter.h"

namespace pdftext {

// One loaded font.  The empty record has kind 2, default_width 1000 and
// every other field zero.  A record owns cid_widths, tu_index, tu_pool,
// differences, and widths when widths_owned is 1; font_release frees them.
// A by-value copy is a view that owns nothing.
struct font {
    int32_t kind = 2;                   // 0 simple, 1 composite, 2 unclassified
    const int16_t* widths = nullptr;    // 256 entries, or a built-in table
    int32_t widths_owned = 0;
    uint8_t winansi = 0;
    int16_t* cid_widths = nullptr;      // by code; -1 = not given
    uint32_t cid_width_count = 0;
    int32_t default_width = 1000;
    int32_t* tu_index = nullptr;        // ToUnicode index by code
    int32_t tu_index_size = 0;
    uint16_t* differences = nullptr;    // 256 code points, 0 = none
    int32_t one_byte_codes = 0;
    int32_t* tu_pool = nullptr;         // ToUnicode sequences
    int32_t tu_pool_len = 0;
    int32_t tu_pool_cap = 0;
};

// Frees what the record owns and resets it to the empty record.
void font_release(font* f);

// Most bytes a font's ToUnicode or encoding CMap may decode to: a full
// two-byte code space of long sequences takes a few MiB of text.
constexpr uint64_t CMAP_STREAM_LIMIT = 16u << 20;

// Reads the font dictionary of entry `e` into `f` (reset first).  Never
// fails: at worst `f` stays the empty record.  The CMap streams it decodes
// are charged to `w` (when given); once `w` is spent they are not read.
void font_parse(const doc* d, const obj_entry& e, font* f, work_budget* w = nullptr);

// The record of font object `e` through the document's font cache.  Fills
// `out` with a view of the cached record and returns false, or (when the
// cache is full, memory runs out or `w` is spent) with a record of the
// caller's own that the caller releases with font_release, and returns
// true.  A record parsed without its streams is never cached.
bool font_get(const doc* d, const obj_entry& e, font* out, work_budget* w = nullptr);

// --- ToUnicode ------------------------------------------------------------

// Maps `code` (0..0xFFFF) to cps[0..n); dropped when it cannot be stored.
void tu_set(font* f, uint32_t code, const int32_t* cps, int n);
// Reads a decoded ToUnicode CMap into f's tu_map.
void read_tounicode(font* f, const uint8_t* d, int len);
// One-byte codes from the first codespace range of an encoding CMap.
void read_codespace(font* f, const uint8_t* d, int len);
int cm_hex(const uint8_t* d, int end, int pos, uint8_t* out, int max, int* count);
int cm_utf16(const uint8_t* b, int n, int32_t* out);

// Most tu_pool slots one font holds (16 MiB); sequences beyond are dropped,
// as on an allocation failure.  A full code space of 16-point sequences
// needs 65536 * 17 slots.
constexpr int32_t TU_POOL_MAX = 1 << 22;
// Most codes (or CIDs) that the ranges of one CMap (or one /W array) may
// write: 16 times the code space.  Ranges past it store nothing.
constexpr int64_t RANGE_BUDGET = int64_t(16) * 65536;

// --- steps of font_parse, exposed for tests ------------------------------

// Entry of the object reference at b[pos..end) (white space skipped first),
// or null when there is no positive object number or no such object.
const obj_entry* ref_entry(const doc* d, const uint8_t* b, int end, int pos);
// Reads the /Encoding of the font dictionary `r`: fills f->differences
// from its /Differences array.  Returns 1 when the encoding is
// WinAnsiEncoding: the name itself, or a dictionary (inline or referenced)
// whose /BaseEncoding is /WinAnsiEncoding.
int read_encoding(const doc* d, const byte_range& r, font* f);

// --- glyph names and standard fonts --------------------------------------

// Code point of a glyph name (without '/'), or 0.
uint32_t glyph_to_unicode(const char* name);
// Windows-1252 value of byte b (bytes outside 0x80-0x9F and the five
// unassigned positions map to themselves).
uint32_t winansi_cp(uint8_t b);
// First occurrence of pattern in text ignoring ASCII case, or null.
const char* tw_strcasestr(const char* text, const char* pattern);
// Built-in width table for a BaseFont name, or null.
const int16_t* std_font_widths(const char* basefont);

}  // namespace pdftext
