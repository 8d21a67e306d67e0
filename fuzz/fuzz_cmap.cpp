// Fuzz target: the ToUnicode CMap reader and the codespace reader.
//
// The input is read as a decoded ToUnicode CMap into a fresh font, and as
// an encoding CMap; then codes named by the input are looked up through
// tu_emit.  Checks, besides crashes: the store stays within its bounds
// (index size a power of two up to the code space, pool within its cap),
// every stored sequence lies inside the pool, and looked-up text is
// valid UTF-8.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "font/font.h"
#include "text/text.h"

using namespace pdftext;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz_cmap: %s\n", what);
        abort();
    }
}

bool valid_utf8(const uint8_t* s, uint64_t n) {
    uint64_t i = 0;
    while (i < n) {
        unsigned c = s[i];
        unsigned len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (len == 0 || i + len > n) return false;
        for (unsigned k = 1; k < len; k++)
            if ((s[i + k] & 0xC0) != 0x80) return false;
        i += len;
    }
    return true;
}

void check_store(const font& f) {
    const int32_t size = f.tu_index_size;
    check(size == 0 || (size >= 256 && size <= 65536 && (size & (size - 1)) == 0),
          "index size is not a power of two within the code space");
    check((size == 0) == (f.tu_index == nullptr), "index pointer and size disagree");
    check(f.tu_pool_len >= 0 && f.tu_pool_len <= f.tu_pool_cap && f.tu_pool_cap <= TU_POOL_MAX,
          "pool length beyond its capacity");
    for (int32_t c = 0; c < size; c++) {
        int32_t v = f.tu_index[c];
        if (v >= 0) continue;
        int64_t p = (int64_t)((uint32_t)v & 0x7FFFFFFFu);
        check(f.tu_pool && p < f.tu_pool_len, "sequence outside the pool");
        int32_t n = f.tu_pool[p];
        check(n >= 1 && n <= 16 && p + n < f.tu_pool_len, "sequence length outside the pool");
    }
}

struct font_guard {
    font f;
    ~font_guard() { font_release(&f); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 24)) return 0;
    const int len = (int)size;

    font_guard g;
    read_tounicode(&g.f, data, len);
    check_store(g.f);
    read_codespace(&g.f, data, len);
    check(g.f.one_byte_codes == 0 || g.f.one_byte_codes == 1, "one_byte_codes is not a flag");

    // A second CMap read into the same font adds to the store.
    read_tounicode(&g.f, data, len / 2);
    check_store(g.f);

    // Look up a few codes: from the first bytes of the input, both ends of
    // the code space and just past the index.
    std::unique_ptr<interp_state> st(new interp_state());
    uint32_t codes[8] = {0, 0xFFFF, (uint32_t)g.f.tu_index_size, 0x41};
    int nc = 4;
    for (size_t i = 0; i + 1 < size && nc < 8; i += 2) codes[nc++] = (uint32_t)data[i] << 8 | data[i + 1];
    for (int k = 0; k < nc; k++) tu_emit(st.get(), g.f, (int)codes[k]);
    tu_emit(st.get(), g.f, -1);
    check(valid_utf8(st->out.data, st->out.len), "looked-up text is not UTF-8");
    return 0;
}
