// The document model: the loaded file, its object table and page list.
#include "doc.h"

#include <cstdlib>

namespace pdftext {

byte_range dict_range(const uint8_t* data, int size, const obj_entry& e) {
    if (e.in_objstm) return {e.body, 0, e.body_len};
    if (e.dict_off < 0) return {nullptr, 0, 0};
    int lim = e.stream_kw_off > 0 ? e.stream_kw_off : e.endobj_off > 0 ? e.endobj_off : size;
    return {data, e.dict_off, lim};
}

void doc_free(doc* d) {
    free(d->data);
    d->data = nullptr;
    d->size = 0;
    for (uint8_t* b : d->arena) free(b);
    std::vector<uint8_t*>().swap(d->arena);
    std::vector<obj_entry>().swap(d->objs);
    std::vector<page_ref>().swap(d->pages);
    std::vector<int32_t>().swap(d->index);
    font_cache_free(d->fonts);
    d->fonts = nullptr;
    std::vector<node_memo>().swap(d->nodes);
    d->root_num = -1;
    d->encrypted = 0;
    d->catalog_num = -1;
    d->max_num = 0;
    d->has_pages = 0;
}

const obj_entry* doc_find(const doc* d, int num) {
    if (num < 0) return nullptr;
    if (!d->index.empty()) {
        if ((size_t)num >= d->index.size()) return nullptr;
        int32_t s = d->index[(size_t)num];
        return s < 0 ? nullptr : &d->objs[(size_t)s];
    }
    for (const obj_entry& e : d->objs)
        if (e.num == num) return &e;
    return nullptr;
}

}  // namespace pdftext
