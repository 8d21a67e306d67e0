// The stream filter chain: /Filter names applied first to last.  Flate and
// LZW have modules of their own; ASCIIHex, ASCII85 and RunLength are here.
// Every stage's output is bounded by STREAM_LIMIT: a stage that would pass
// it fails the stream.
#include "filter.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "inflate/inflate.h"
#include "lzw/lzw.h"

namespace pdftext {

namespace {

struct free_deleter {
    void operator()(void* p) const { free(p); }
};
using block = std::unique_ptr<uint8_t, free_deleter>;

// A stage's growing output, bounded by `limit` (at most STREAM_LIMIT).
struct sink {
    block data;
    uint64_t len = 0, cap = 0;
    uint64_t limit;
    bool ok = true;

    sink(uint64_t first, uint64_t most) : limit(most) { grow_to(first < 16 ? 16 : first); }
    bool grow_to(uint64_t c) {
        if (c > limit) c = limit;
        if (c <= cap) return false;
        uint8_t* p = (uint8_t*)realloc(data.get(), (size_t)c);
        if (!p) return false;
        (void)data.release();
        data.reset(p);
        cap = c;
        return true;
    }
    // Makes room for n more bytes, doubling; false (and ok = false) when
    // the limit or memory is reached.
    bool room(uint64_t n) {
        if (len + n <= cap) return true;
        if (len + n > limit) return ok = false;
        uint64_t c = cap * 2;
        while (c < len + n) c *= 2;
        if (!grow_to(c)) return ok = false;
        return true;
    }
    void put(uint8_t c) {
        if (room(1)) data.get()[len++] = c;
    }
};

// ASCIIHex: digit pairs up to '>', other bytes ignored; a lone last digit
// before '>' gets a 0 low digit, one at the end of the data is dropped.
bool ahx(const uint8_t* in, uint64_t n, sink* s) {
    int pend = -1;
    for (uint64_t i = 0; i < n && s->ok; i++) {
        if (in[i] == '>') {
            if (pend >= 0) s->put((uint8_t)(pend << 4));
            break;
        }
        int v = hex_val(in[i]);
        if (v < 0) continue;
        if (pend < 0) pend = v;
        else {
            s->put((uint8_t)(pend * 16 + v));
            pend = -1;
        }
    }
    return s->ok;
}

// ASCII85: groups of five digits '!'..'u' into four bytes, 'z' for four
// zeros, up to '~'.  A final group of 2-4 digits is padded with 'u'.
bool a85(const uint8_t* in, uint64_t n, sink* s) {
    uint32_t acc = 0;
    int cnt = 0;
    for (uint64_t i = 0; i < n && s->ok; i++) {
        uint8_t c = in[i];
        if (c == '~') break;
        if (c == 'z' && cnt == 0) {
            for (int k = 0; k < 4; k++) s->put(0);
        } else if (c >= '!' && c <= 'u') {
            acc = acc * 85u + (uint32_t)(c - 33);
            if (++cnt == 5) {
                for (int k = 3; k >= 0; k--) s->put((uint8_t)(acc >> (8 * k)));
                acc = 0;
                cnt = 0;
            }
        }
    }
    if (cnt >= 2 && s->ok) {
        for (int k = cnt; k < 5; k++) acc = acc * 85u + 84u;
        for (int k = 0; k < cnt - 1; k++) s->put((uint8_t)(acc >> (24 - 8 * k)));
    }
    return s->ok;
}

// RunLength: a length byte 0-127 copies the next b+1 bytes, 129-255
// repeats the next byte 257-b times, 128 ends the data.
bool rle(const uint8_t* in, uint64_t n, sink* s) {
    uint64_t i = 0;
    while (i < n && s->ok) {
        uint8_t b = in[i];
        if (b == 128) break;
        if (b < 128) {
            uint64_t k = (uint64_t)b + 1;
            if (k > n - i - 1) k = n - i - 1;
            if (s->room(k)) {
                memcpy(s->data.get() + s->len, in + i + 1, (size_t)k);
                s->len += k;
            }
            if (k < (uint64_t)b + 1) break;
            i += (uint64_t)b + 2;
        } else {
            if (i + 1 >= n) break;
            uint64_t k = 257u - b;
            if (s->room(k)) {
                memset(s->data.get() + s->len, in[i + 1], (size_t)k);
                s->len += k;
            }
            i += 2;
        }
    }
    return s->ok;
}

// LZW, retried with double the capacity while the block is full.
bool lzw_all(const uint8_t* in, uint64_t n, uint8_t** res, uint64_t* res_len, uint64_t* work,
             uint64_t limit) {
    uint64_t cap = 8 * n + 1024;
    if (cap > limit) cap = limit;
    for (;;) {
        block b((uint8_t*)malloc((size_t)cap));
        if (!b) return false;
        uint64_t len = 0;
        if (lzw_decompress(in, n, b.get(), cap, &len) == 0) {
            *res = b.release();
            *res_len = len;
            *work += len;
            return true;
        }
        *work += cap;  // a full block: every byte was written
        if (cap >= limit) return false;
        cap = cap * 2 > limit ? limit : cap * 2;
    }
}

bool is(const char* name, const char* a, const char* b, const char* c = nullptr) {
    return !strcmp(name, a) || !strcmp(name, b) || (c && !strcmp(name, c));
}

// The /Filter names of a stream dictionary, at most 224 characters with
// one blank after each name; a name that does not fit is left out.
std::vector<std::string> filter_names(const uint8_t* d, int size, int start, int lim) {
    std::vector<std::string> names;
    int f = find_name(d, size, start, lim, "Filter");
    if (f < 0) return names;
    int p = skip_ws(d, f + 7, lim);
    if (p >= lim) return names;
    int room = 224;
    auto take = [&](int at) -> int {
        int q = at;
        while (q < lim && is_namech(d[q])) q++;
        int len = q - at;
        if (len >= 1 && len <= 223 && len + 1 <= room) {
            names.emplace_back((const char*)d + at, (size_t)len);
            room -= len + 1;
        }
        return q;
    };
    if (d[p] == '/') {
        take(p + 1);
    } else if (d[p] == '[') {
        p = skip_ws(d, p + 1, lim);
        while (p < lim && d[p] != ']') {
            if (d[p] == '/') p = take(p + 1);
            else p++;
        }
    }
    return names;
}

}  // namespace

namespace {

bool flate_counted(const uint8_t* in, uint64_t n, uint64_t first_cap, uint8_t** res, uint64_t* res_len,
                   uint64_t* work, uint64_t limit) {
    uint64_t cap = first_cap > limit ? limit : first_cap;
    for (;;) {
        block b((uint8_t*)malloc((size_t)(cap ? cap : 1)));
        if (!b) return false;
        uint64_t len = 0;
        int r = inflate_decompress(in, n, b.get(), cap, &len);
        if (r == INF_OK) {
            *res = b.release();
            *res_len = len;
            *work += len;
            return true;
        }
        // Only a full block is retried; a refused header fails at once.
        if (r == INF_FULL) *work += cap;
        if (r != INF_FULL || cap >= limit) return false;
        cap = cap * 2 > limit ? limit : cap * 2;
    }
}

// run_filter, adding the bytes its decoder wrote (failed attempts too) to
// *work.
bool filter_counted(const char* name, const uint8_t* in, uint64_t n, uint8_t** res, uint64_t* res_len,
                    bool* known, uint64_t* work, uint64_t limit) {
    *known = true;
    *res = nullptr;
    *res_len = 0;
    if (is(name, "FlateDecode", "Fl")) {
        // The first block is 16 times the input (bounded), doubled on demand.
        uint64_t first = (n + 64) * 16;
        return flate_counted(in, n, first, res, res_len, work, limit);
    }
    if (is(name, "LZWDecode", "LZW")) return lzw_all(in, n, res, res_len, work, limit);
    bool (*stage)(const uint8_t*, uint64_t, sink*) = nullptr;
    uint64_t first = 0;
    if (is(name, "ASCIIHexDecode", "AHx")) { stage = ahx; first = n / 2 + 2; }
    else if (is(name, "ASCII85Decode", "A85")) { stage = a85; first = 4 * n / 5 + 16; }
    else if (is(name, "RunLengthDecode", "RL", "RunLeng")) { stage = rle; first = 2 * n + 1024; }
    if (!stage) {
        *known = false;
        return false;
    }
    sink s(n ? first : 16, limit);
    if (!s.data) return false;
    bool ok = !n || stage(in, n, &s);
    *work += s.len;
    if (!ok) return false;
    *res_len = s.len;
    *res = s.data.release();
    return true;
}

}  // namespace

bool flate_all(const uint8_t* in, uint64_t n, uint64_t first_cap, uint8_t** res, uint64_t* res_len) {
    uint64_t work = 0;
    return flate_counted(in, n, first_cap, res, res_len, &work, STREAM_LIMIT);
}

bool run_filter(const char* name, const uint8_t* in, uint64_t n, uint8_t** res, uint64_t* res_len, bool* known) {
    uint64_t work = 0;
    return filter_counted(name, in, n, res, res_len, known, &work, STREAM_LIMIT);
}

int decode_stream(const uint8_t* data, int size, const obj_entry& e, buf* out, uint64_t* work,
                  uint64_t limit) {
    uint64_t unused = 0;
    if (!work) work = &unused;
    if (limit > STREAM_LIMIT) limit = STREAM_LIMIT;
    if (!e.has_stream || e.data_off < 0) return 0;
    int64_t raw = (int64_t)e.data_end - e.data_off;
    if (raw <= 0 || (uint64_t)raw > STREAM_LIMIT || e.data_end > size) return 0;
    *out = buf{};
    int lim = e.stream_kw_off > 0 ? e.stream_kw_off : size;
    std::vector<std::string> names = filter_names(data, size, e.dict_off, lim);

    const uint8_t* cur = data + e.data_off;  // the raw data is read in place
    uint64_t len = (uint64_t)raw;
    block owned;
    for (const std::string& name : names) {
        uint8_t* res = nullptr;
        uint64_t res_len = 0;
        bool known = true;
        bool ok = filter_counted(name.c_str(), cur, len, &res, &res_len, &known, work, limit);
        if (!known) continue;  // unknown filters pass their input on
        if (!ok) return 0;
        owned.reset(res);
        cur = res;
        len = res_len;
    }
    if (len > limit) return 0;
    // Copying a stream no filter decoded is work too (decoders count their
    // own output).
    if (cur == data + e.data_off) *work += len;
    if (dec_bytes(out, cur, len) != 0) {
        buf_free(out);
        return 0;
    }
    return 1;
}

}  // namespace pdftext
