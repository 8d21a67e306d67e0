// Object streams: members of every object stream are decoded once into the
// document's arena and added to the object table.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "doc.h"
#include "inflate/inflate.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

const int64_t MAX_OBJSTM_RAW = 268435456;      // 2^28
// Most bytes one decoded object stream may hold, as for any other stream.
const uint64_t MAX_OBJSTM_BLOCK = 256u << 20;
// Most decoded object-stream bytes one document keeps.  Object streams
// hold only small dictionaries and arrays; 1 GiB of them would be tens of
// millions of objects, which no real file has.  Streams past it are
// skipped, so a file of object-stream bombs cannot claim 1000 times its
// size.
const uint64_t MAX_OBJSTM_TOTAL = 1u << 30;
const int MAX_MEMBERS = 100000;
const int MAX_MEMBER_LEN = 0x100000;

struct free_deleter {
    void operator()(void* p) const { free(p); }
};
using block = std::unique_ptr<uint8_t, free_deleter>;

// First value above `floor` - 1 of the integer after any occurrence of
// /name in [start, end); -1 when none.
int64_t name_value(const uint8_t* d, int size, int start, int end, const char* name, int floor) {
    int n = 0;
    while (name[n]) n++;
    for (int o = find_name(d, size, start, end, name); o >= 0; o = find_name(d, size, o + 1, end, name)) {
        int p = skip_ws(d, o + 1 + n, end);
        int v = parse_int_at(d, end, &p);
        if (v >= floor) return v;
    }
    return -1;
}

// Decodes one object stream into a block.  Without /FlateDecode the data is
// taken as it is.  A failed inflate attempt's block is freed at once.
block decode_objstm(const uint8_t* d, int size, const obj_entry& e, int dict_end, uint64_t room, uint64_t* len) {
    uint64_t L = (uint64_t)(e.data_end - e.data_off);
    const uint8_t* src = d + e.data_off;
    if (find_name(d, size, e.dict_off, dict_end, "FlateDecode") < 0) {
        // The bytes as they are: a block of their size.
        block b((uint8_t*)malloc((size_t)(L ? L : 1)));
        if (b) memcpy(b.get(), src, (size_t)L);
        *len = L;
        return b;
    }
    // A block never holds more than the document's object streams have
    // room for, so streams past the total cost little.
    const uint64_t most = std::min<uint64_t>(MAX_OBJSTM_BLOCK, room);
    uint64_t cap = std::min<uint64_t>(8 * L + 64, most);
    for (;;) {
        block b((uint8_t*)malloc((size_t)cap));
        if (!b) return nullptr;
        uint64_t n = 0;
        int r = inflate_decompress(src, L, b.get(), cap, &n);
        if (r == INF_OK) {
            // Give back the room the members do not use.
            uint8_t* p = (uint8_t*)realloc(b.get(), (size_t)(n ? n : 1));
            if (p) {
                (void)b.release();
                b.reset(p);
            }
            *len = n;
            return b;
        }
        if (r != INF_FULL || cap >= most) return nullptr;
        cap = std::min<uint64_t>(cap * 4, most);
    }
}

}  // namespace

void load_objstms(doc* dc) {
    const uint8_t* d = dc->data;
    const int size = dc->size;
    uint64_t kept = 0;  // decoded bytes in the arena
    // Members appended meanwhile are visited too and skipped as members.
    for (size_t k = 0; k < dc->objs.size() && kept < MAX_OBJSTM_TOTAL; k++) {
        const obj_entry e = dc->objs[k];
        if (e.in_objstm || !e.has_stream || e.dict_off < 0) continue;
        int dict_end = e.stream_kw_off > 0 ? e.stream_kw_off : size;
        if (find_name(d, size, e.dict_off, dict_end, "ObjStm") < 0) continue;
        if ((int64_t)e.data_end - e.data_off > MAX_OBJSTM_RAW) continue;

        uint64_t len = 0;
        block b = decode_objstm(d, size, e, dict_end, MAX_OBJSTM_TOTAL - kept, &len);
        if (!b || len > MAX_OBJSTM_TOTAL - kept) continue;
        int64_t N = name_value(d, size, e.dict_off, dict_end, "N", 1);
        int64_t F = name_value(d, size, e.dict_off, dict_end, "First", 0);
        if (F < 0 || N < 1 || N > MAX_MEMBERS || (uint64_t)F > len) continue;
        const uint8_t* data = b.get();
        // Decoded object streams are at most 8 GiB in theory but members are
        // addressed with int lengths; the header is read within int range.
        const int hdr_end = (int)std::min<uint64_t>(len, 0x7FFFFFFF);
        std::vector<int32_t> nums((size_t)N), offs((size_t)N);
        int p = 0;
        bool bad = false;
        for (int64_t i = 0; i < N && !bad; i++) {
            nums[(size_t)i] = read_int_adv(data, hdr_end, &p);
            offs[(size_t)i] = read_int_adv(data, hdr_end, &p);
            if (nums[(size_t)i] < 0 || offs[(size_t)i] < 0) bad = true;
        }
        if (bad) continue;
        size_t first_member = dc->objs.size();
        for (int64_t i = 0; i < N; i++) {
            int32_t num = nums[(size_t)i];
            if (num <= 0) continue;
            // 64-bit: F + offset never wraps.
            int64_t start = F + (int64_t)offs[(size_t)i];
            int64_t mlen = i + 1 < N ? (int64_t)offs[(size_t)i + 1] - offs[(size_t)i] : (int64_t)len - start;
            if (mlen < 1 || mlen > MAX_MEMBER_LEN) continue;
            // A member whose text would pass the end of the decoded data is
            // cut at the end of the data.
            if (start >= (int64_t)len) continue;
            if (start + mlen > (int64_t)len) mlen = (int64_t)len - start;
            obj_entry m;
            m.num = num;
            m.hdr_off = m.dict_off = m.stream_kw_off = m.data_off = m.data_end = m.endobj_off = -1;
            m.has_stream = 0;
            m.in_objstm = 1;
            m.body = data + start;
            m.body_len = (int32_t)mlen;
            dc->objs.push_back(m);
        }
        if (dc->objs.size() > first_member) {
            dc->arena.push_back(b.get());
            (void)b.release();
            kept += len;
        }
    }
}

}  // namespace pdftext
