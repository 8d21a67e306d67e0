// Document loading: the loaded document, its object table and page list.
#pragma once

#include <cstdint>
#include <vector>

namespace pdftext {

// One object of the file.  Offsets are indices into doc::data, -1 = absent.
struct obj_entry {
    int32_t num;
    int32_t hdr_off;        // first digit of "N G obj"; -1 for members
    int32_t dict_off;       // the '<' that opens the dictionary, or -1
    int32_t stream_kw_off;  // the "stream" keyword, or -1
    int32_t data_off;       // first byte of stream data, or -1
    int32_t data_end;       // one past the stream data, or -1
    int32_t endobj_off;     // "endobj", or -1
    int32_t has_stream;
    int32_t in_objstm;      // read out of an object stream
    const uint8_t* body;    // member text (owned by the document's arena)
    int32_t body_len;
};

// A byte range to search: bytes[start, end).
struct byte_range {
    const uint8_t* bytes;
    int start;
    int end;
    bool ok() const { return bytes != nullptr; }
};

// The dictionary range of an entry: a member's whole body, or the file
// bytes from dict_off up to stream_kw_off, else endobj_off, else size.
// A direct object without a dictionary has no range.
byte_range dict_range(const uint8_t* data, int size, const obj_entry& e);

struct page_ref {
    int32_t page_num;
};

// What a page's text needs of one page-tree node, read once per document:
// the offset of its first /Resources value in its dictionary range and
// its parent.  Pages that share ancestors (a /Kids of a million entries)
// would otherwise rescan them page after page.
struct node_memo {
    int32_t res_at = -2;  // -1 none, -2 not read yet
    int32_t parent = -1;  // object number, -1 none
};

struct doc;
struct font_cache;
// Frees the fonts a document has parsed (font/cache.cpp).
void font_cache_free(font_cache* c);
// Frees everything the document owns and resets it; harmless on an empty
// or already released record.
void doc_free(doc* d);

struct doc {
    uint8_t* data = nullptr;   // the whole file
    int32_t size = 0;
    int32_t root_num = -1;     // /Root of the newest trailer, -1 = none
    int32_t encrypted = 0;
    std::vector<obj_entry> objs;          // one entry per object number
    std::vector<uint8_t*> arena;          // decoded object streams
    std::vector<page_ref> pages;          // document order
    int32_t catalog_num = -1;
    int32_t max_num = 0;
    int32_t has_pages = 0;
    // Slot in objs of each object number 0..max_num, -1 = none.  Built
    // after de-duplication; gives the same answer as a first-match scan.
    std::vector<int32_t> index;
    // Fonts parsed so far, shared by the pages of this document; filled
    // while pages are extracted (hence mutable: extraction takes the
    // document as const).  A document serves one thread at a time.
    mutable font_cache* fonts = nullptr;
    // By object number, filled as pages are extracted (same reason).
    mutable std::vector<node_memo> nodes;

    doc() = default;
    doc(const doc&) = delete;
    doc& operator=(const doc&) = delete;
    ~doc() { doc_free(this); }
};

// Entry of object `num`, or null.
const obj_entry* doc_find(const doc* d, int num);

// Loads `path`.  0 on success; -1 with the message set (nothing allocated
// remains).
int doc_load(const char* path, doc* d);

// Loads a document from bytes the caller hands over (taken with malloc;
// the document frees them).  `name` is quoted in messages.
int doc_load_bytes(uint8_t* data, int32_t size, const char* name, doc* d);

// --- steps of loading, exposed for tests -----------------------------------

// Trailer walk: sets root_num and encrypted.  Returns false when the walk
// reached no cross-reference section at all.
bool trailer_walk(doc* d);
// For files whose walk reached no section: /Encrypt in any "trailer"
// dictionary or cross-reference stream dictionary marks the file encrypted.
void encrypt_fallback(doc* d);
// Object scan, stream extents, pruning: fills d->objs in file order.
void scan_objects(doc* d);
// Object streams: appends members.
void load_objstms(doc* d);
// One entry per object number; sets max_num and the index.
void dedup_objects(doc* d);
// Catalog and page list.  0, or -1 with the message set.
int load_pages(doc* d, const char* path);
// 1 /Type /Page, 2 /Type /Pages, 0 otherwise.
int obj_type(const uint8_t* data, int size, const obj_entry& e);

}  // namespace pdftext
