// Object discovery: reads the file, finds every object by scanning for
// "N G obj" headers, settles stream extents, prunes headers that are only
// text inside other streams, and keeps one entry per object number.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unordered_map>

#include "api.h"
#include "doc.h"
#include "kwlist.h"
#include "syntax/syntax.h"

namespace pdftext {

namespace {

const int32_t MAX_OBJ_NUM = 0x7FFFFF;  // 8388607

// The end of a dictionary as dict_stream_kw finds it, with the closing
// position of every nested "<<" and "(" remembered.  Scans that start at
// later headers inside an unterminated dictionary then jump over what an
// earlier scan has read, so a file of a million "1 0 obj <<" is read a
// bounded number of times instead of once per header.
struct dict_scanner {
    const uint8_t* d;
    int end;
    std::unordered_map<int32_t, int32_t> memo_dict;  // "<<" at q -> its ">>", or -1
    std::unordered_map<int32_t, int32_t> memo_str;   // "(" at q -> index after ")", or -1

    struct frame {
        int32_t q;    // where the construct opened
        int32_t pos;  // scan position inside it
        bool dict;
    };
    std::vector<frame> stack;

    // Closing position of the construct opened at q: for a dictionary the
    // index of its closing ">>", for a string the index after its ")";
    // -1 when the bytes end first.
    int close_of(int q0, bool dict0) {
        auto& m0 = dict0 ? memo_dict : memo_str;
        auto hit = m0.find(q0);
        if (hit != m0.end()) return hit->second;
        stack.clear();
        stack.push_back({q0, dict0 ? q0 + 2 : q0 + 1, dict0});
        int result = -1;
        while (!stack.empty()) {
            frame& f = stack.back();
            int r = -2;  // -2: still scanning; -3: a nested frame was pushed
            if (f.dict) {
                while (r == -2) {
                    int i = f.pos;
                    if (i >= end) { r = -1; break; }
                    uint8_t c = d[i];
                    if (c == '<') {
                        if (i + 1 >= end) { r = -1; break; }
                        if (d[i + 1] != '<') { f.pos = i + 1; continue; }
                        auto m = memo_dict.find(i);
                        if (m == memo_dict.end()) { stack.push_back({i, i + 2, true}); r = -3; break; }
                        if (m->second < 0) { r = -1; break; }
                        f.pos = m->second + 2;
                    } else if (c == '>') {
                        if (i + 1 >= end) { r = -1; break; }
                        if (d[i + 1] == '>') { r = i; break; }
                        f.pos = i + 1;
                    } else if (c == '(') {
                        auto m = memo_str.find(i);
                        if (m == memo_str.end()) { stack.push_back({i, i + 1, false}); r = -3; break; }
                        if (m->second < 0) { r = -1; break; }
                        f.pos = m->second;
                    } else {
                        const void* p = memchr_any(d + i, end - i);
                        f.pos = p ? (int)((const uint8_t*)p - d) : end;
                    }
                }
            } else {
                while (r == -2) {
                    int i = f.pos;
                    if (i >= end) { r = -1; break; }
                    uint8_t c = d[i];
                    if (c == '\\') {
                        f.pos = i + 2;
                    } else if (c == '(') {
                        auto m = memo_str.find(i);
                        if (m == memo_str.end()) { stack.push_back({i, i + 1, false}); r = -3; break; }
                        if (m->second < 0) { r = -1; break; }
                        f.pos = m->second;
                    } else if (c == ')') {
                        r = i + 1 >= end ? -1 : i + 1;
                    } else {
                        f.pos = i + 1;
                    }
                }
            }
            if (r == -3) continue;
            // Frame done with result r: remember it and resume the parent.
            const bool was_dict = f.dict;
            (was_dict ? memo_dict : memo_str)[f.q] = r;
            stack.pop_back();
            result = r;
            if (!stack.empty()) {
                frame& p = stack.back();
                if (r < 0) {
                    // The parent cannot close either: the bytes ended inside it.
                    while (!stack.empty()) {
                        frame& g = stack.back();
                        (g.dict ? memo_dict : memo_str)[g.q] = -1;
                        stack.pop_back();
                    }
                    result = -1;
                    break;
                }
                p.pos = was_dict ? r + 2 : r;
            }
        }
        return result;
    }

    // Next byte that matters inside a dictionary.
    static const void* memchr_any(const uint8_t* p, int n) {
        for (int k = 0; k < n; k++)
            if (p[k] == '<' || p[k] == '>' || p[k] == '(') return p + k;
        return nullptr;
    }

    int stream_after(int i) {
        int s = skip_ws(d, i, end);
        return kw_at(d, s, end, "stream") ? s : -1;
    }

    // Same answer as dict_stream_kw(d, end, pos).
    int find(int pos) {
        int depth = 0;
        int i = pos;
        while (i < end) {
            uint8_t c = d[i];
            if (c == '<') {
                if (i + 1 >= end) return -1;
                if (d[i + 1] == '<') {
                    if (depth == 0) {
                        int cl = close_of(i, true);
                        return cl < 0 ? -1 : stream_after(cl + 2);
                    }
                    depth++;
                    i += 2;
                } else {
                    i++;
                }
            } else if (c == '>') {
                if (i + 1 >= end) return -1;
                if (d[i + 1] == '>') {
                    // Only reached below depth 0 (a start that is not "<<").
                    if (--depth == 0) return stream_after(i + 2);
                    i += 2;
                } else {
                    i++;
                }
            } else if (c == '(') {
                int s = close_of(i, false);
                if (s < 0) return -1;
                i = s;
            } else {
                i++;
            }
        }
        return -1;
    }
};

// Offset of the first stream byte after the keyword at kw: one end-of-line
// marker (CR, LF or CR LF, after optional spaces and tabs) is passed over.
int stream_data_off(const uint8_t* d, int size, int kw) {
    int p = kw + 6;
    if (p >= size) return p;
    int q = p;
    while (q < size && (d[q] == ' ' || d[q] == '\t')) q++;
    int m = (q < size && (d[q] == '\r' || d[q] == '\n')) ? q : p;
    return (d[m] == '\r' && m + 1 < size && d[m + 1] == '\n') ? m + 2 : m + 1;
}

// Reads the header that ends just before the "obj" at i.  Returns the
// object number (1..INT32_MAX) and its first digit's offset, or -1.
int32_t header_before(const uint8_t* d, int i, int32_t* hdr_off) {
    int j = i - 1;
    while (j >= 0 && is_cspace(d[j])) j--;
    if (j < 0 || !is_digit(d[j])) return -1;
    while (j >= 0 && is_digit(d[j])) j--;
    int gen_start = j + 1;
    if (gen_start == 0) return -1;
    if (!is_cspace(d[j])) return -1;
    while (j >= 0 && is_cspace(d[j])) j--;
    if (j < 0 || !is_digit(d[j])) return -1;
    int num_end = j;
    while (j >= 0 && is_digit(d[j])) j--;
    int num_start = j + 1;
    if (num_start > 0 && is_alnum(d[num_start - 1])) return -1;
    // Numbers that do not fit 31 bits are rejected; leading zeros are fine.
    uint64_t v = 0;
    for (int k = num_start; k <= num_end; k++) {
        v = v * 10 + (uint64_t)(d[k] - '0');
        if (v > 0x7FFFFFFF) return -1;
    }
    if (v < 1) return -1;
    *hdr_off = num_start;
    return (int32_t)v;
}

obj_entry blank_entry() {
    obj_entry e;
    e.num = 0;
    e.hdr_off = e.dict_off = e.stream_kw_off = e.data_off = e.data_end = e.endobj_off = -1;
    e.has_stream = e.in_objstm = 0;
    e.body = nullptr;
    e.body_len = 0;
    return e;
}

// The value of a /Length entry: a direct length, or an object number when
// it is followed by "G R".  Returns false when this occurrence is unusable.
bool read_length(const uint8_t* d, int lim, int v, int64_t* len, bool* indirect) {
    *indirect = false;
    if (d[v] == '[') {
        int64_t last = -1;
        int p = v + 1;
        while (p < lim) {
            p = skip_ws(d, p, lim);
            if (p >= lim || d[p] == ']') break;
            int q = p;
            int x = parse_int_at(d, lim, &q);
            if (q == p) { p++; continue; }
            if (x >= 0) last = x;
            p = q;
        }
        if (last < 0) return false;
        *len = last;
        return true;
    }
    if (!is_digit(d[v]) && d[v] != '-') return false;
    int p = v;
    int L = parse_int_at(d, lim, &p);
    if (L < 0) return false;
    *len = L;
    int q = skip_ws(d, p, lim);
    if (q < lim && is_digit(d[q])) {
        int r = q;
        parse_int_at(d, lim, &r);
        r = skip_ws(d, r, lim);
        if (r < lim && d[r] == 'R' && (r + 1 >= lim || !is_alnum(d[r + 1]))) *indirect = true;
    }
    return true;
}

// The integer an indirect /Length names: "N G obj <int>".
int64_t length_object_value(const uint8_t* d, int size, const obj_entry& e) {
    int p = e.hdr_off;
    if (parse_int_at(d, size, &p) < 0) return -1;
    p = skip_ws(d, p, size);
    if (p < size && is_digit(d[p])) parse_int_at(d, size, &p);
    p = skip_ws(d, p, size);
    if (kw_at(d, p, size, "obj")) p = skip_ws(d, p + 3, size);
    int v = parse_int_at(d, size, &p);
    return v;
}

}  // namespace

void scan_objects(doc* dc) {
    const uint8_t* d = dc->data;
    const int size = dc->size;
    std::vector<obj_entry>& objs = dc->objs;
    if (size <= 3) return;

    kw_list endobjs, endstreams;
    endobjs.build(d, size, "endobj");
    endstreams.build(d, size, "endstream");
    dict_scanner ds{d, size, {}, {}, {}};

    // Headers are visited from the last to the first, so that a scan that
    // runs into a later header's dictionary finds that dictionary's end
    // already known.
    std::vector<int32_t> obj_kws;
    for (int i = find_kw(d, size, 0, "obj"); i >= 0 && i <= size - 4; i = find_kw(d, size, i + 3, "obj"))
        obj_kws.push_back(i);
    std::vector<obj_entry> found;
    found.reserve(obj_kws.size());
    for (size_t k = obj_kws.size(); k-- > 0;) {
        int i = obj_kws[k];
        obj_entry e = blank_entry();
        e.num = header_before(d, i, &e.hdr_off);
        if (e.num < 0) continue;
        int p = skip_ws(d, i + 3, size);
        if (p < size && d[p] == '<') {
            e.dict_off = p;
            int s = ds.find(p);
            if (s >= 0) {
                e.has_stream = 1;
                e.stream_kw_off = s;
                e.data_off = stream_data_off(d, size, s);
            } else {
                e.endobj_off = endobjs.first_from(p);
                if (e.endobj_off < 0) continue;
            }
        } else {
            e.endobj_off = endobjs.first_from(i + 3);
            if (e.endobj_off < 0) continue;
        }
        found.push_back(e);
    }
    std::reverse(found.begin(), found.end());
    ds.memo_dict.clear();
    ds.memo_str.clear();

    // First slot of each object number, for indirect lengths.
    std::vector<std::pair<int32_t, int32_t>> by_num;
    by_num.reserve(found.size());
    for (size_t s = 0; s < found.size(); s++) by_num.push_back({found[s].num, (int32_t)s});
    std::sort(by_num.begin(), by_num.end());
    auto first_with = [&](int num) -> const obj_entry* {
        auto it = std::lower_bound(by_num.begin(), by_num.end(), std::make_pair((int32_t)num, (int32_t)-1));
        if (it == by_num.end() || it->first != num) return nullptr;
        return &found[(size_t)it->second];
    };

    // Stream extents.
    for (obj_entry& e : found) {
        if (!e.has_stream) continue;
        int lim = e.stream_kw_off;
        int64_t length = -1;
        for (int o = find_name(d, size, e.dict_off, lim, "Length"); o >= 0;
             o = find_name(d, size, o + 1, lim, "Length")) {
            int v = o + 7;
            if (v >= lim) break;
            v = skip_ws(d, v, lim);
            if (v >= lim) break;
            bool indirect = false;
            int64_t L;
            if (!read_length(d, lim, v, &L, &indirect)) continue;
            if (indirect) {
                const obj_entry* t = first_with((int)L);
                if (t && !t->has_stream) length = length_object_value(d, size, *t);
            } else {
                length = L;
            }
            break;
        }
        bool settled = false;
        if (length >= 0) {
            // 64-bit: a length near 2^31 must not wrap past the file's end.
            int64_t end = (int64_t)e.data_off + length;
            if (end < size) {
                int q = (int)end;
                while (q < size && is_cspace(d[q])) q++;
                if (q < size && (int64_t)q + 9 <= size && memcmp(d + q, "endstream", 9) == 0) {
                    e.data_end = (int)end;
                    settled = true;
                }
            }
        }
        if (!settled) {
            int r = endstreams.first_from(e.data_off + 1);
            if (r < 0) e.data_end = size;
            else if (r <= e.data_off) e.data_end = r;
            else if (d[r - 1] == '\n') e.data_end = (r - 1 > e.data_off && d[r - 2] == '\r') ? r - 2 : r - 1;
            else if (d[r - 1] == '\r') e.data_end = r - 1;
            else e.data_end = r;
        }
        if (e.data_end < e.data_off) e.data_end = e.data_off;
        e.endobj_off = endobjs.first_from(e.data_end + 1);
    }

    // Pruning, in file order, keeping the order of what stays: a stream
    // without "endobj" goes, and so does a header inside the data of a
    // stream that stayed.  Headers come in increasing offset order, so the
    // stream ranges that have begun by a header are tracked by the largest
    // end among them.
    int32_t active_end = -1;
    objs.clear();
    objs.reserve(found.size());
    std::vector<std::pair<int32_t, int32_t>> heap;  // min-heap by data_off
    auto cmp = [](const std::pair<int32_t, int32_t>& a, const std::pair<int32_t, int32_t>& b) {
        return a.first > b.first;
    };
    for (obj_entry& e : found) {
        while (!heap.empty() && heap.front().first <= e.hdr_off) {
            active_end = std::max(active_end, heap.front().second);
            std::pop_heap(heap.begin(), heap.end(), cmp);
            heap.pop_back();
        }
        if (e.has_stream && e.endobj_off < 0) continue;
        if (e.hdr_off < active_end) continue;
        if (e.has_stream) {
            heap.push_back({e.data_off, e.data_end});
            std::push_heap(heap.begin(), heap.end(), cmp);
        }
        objs.push_back(e);
    }
}

// An object stream itself: a direct stream whose dictionary names /ObjStm.
static bool is_objstm(const doc* dc, const obj_entry& e) {
    if (e.in_objstm || !e.has_stream || e.dict_off < 0) return false;
    byte_range r = dict_range(dc->data, dc->size, e);
    return find_name(r.bytes, dc->size, r.start, r.end, "ObjStm") >= 0;
}

void dedup_objects(doc* dc) {
    std::vector<obj_entry>& objs = dc->objs;
    int32_t max_num = 0;
    for (const obj_entry& e : objs)
        if (e.num <= MAX_OBJ_NUM && e.num > max_num) max_num = e.num;
    std::vector<int32_t> direct((size_t)max_num + 1, -1), member((size_t)max_num + 1, -1);
    std::vector<uint8_t> stm(objs.size(), 0);
    for (size_t i = 0; i < objs.size(); i++) {
        const obj_entry& e = objs[i];
        if (e.num < 0 || e.num > max_num) continue;
        if (e.in_objstm) member[(size_t)e.num] = (int32_t)i;
        else if (is_objstm(dc, e)) stm[i] = 1;
        else direct[(size_t)e.num] = (int32_t)i;
    }
    std::vector<obj_entry> kept;
    kept.reserve(objs.size());
    int32_t kept_max = 0;
    for (size_t i = 0; i < objs.size(); i++) {
        const obj_entry& e = objs[i];
        if (e.num < 0 || e.num > max_num) continue;
        if (!e.in_objstm) {
            if (stm[i] || direct[(size_t)e.num] != (int32_t)i) continue;
        } else {
            if (direct[(size_t)e.num] >= 0 || member[(size_t)e.num] != (int32_t)i) continue;
        }
        kept.push_back(e);
        if (e.num > kept_max) kept_max = e.num;
    }
    objs.swap(kept);
    dc->max_num = kept_max;
    dc->index.assign((size_t)kept_max + 1, -1);
    for (size_t i = 0; i < objs.size(); i++) dc->index[(size_t)objs[i].num] = (int32_t)i;
}

int doc_load_bytes(uint8_t* data, int32_t size, const char* name, doc* dc) {
    doc_free(dc);
    dc->data = data;
    dc->size = size;
    try {
        bool walked = trailer_walk(dc);
        scan_objects(dc);
        if (!walked) encrypt_fallback(dc);
        load_objstms(dc);
        dedup_objects(dc);
    } catch (const std::bad_alloc&) {
        doc_free(dc);
        set_error("out of memory");
        return -1;
    }
    if (dc->objs.empty()) {
        doc_free(dc);
        set_error("no PDF objects found \xE2\x80\x94 not a PDF: %s", name);
        return -1;
    }
    if (dc->encrypted) {
        doc_free(dc);
        set_error("encrypted PDFs are not supported: %s", name);
        return -1;
    }
    return load_pages(dc, name);
}

// Size of an open file; -1 when it cannot be told.
static int64_t file_size(FILE* f) {
#if defined(_WIN32)
    if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
    int64_t n = _ftelli64(f);
    if (_fseeki64(f, 0, SEEK_SET) != 0) return -1;
#else
    if (fseeko(f, 0, SEEK_END) != 0) return -1;
    int64_t n = (int64_t)ftello(f);
    if (fseeko(f, 0, SEEK_SET) != 0) return -1;
#endif
    return n;
}

int doc_load(const char* path, doc* dc) {
    doc_free(dc);
    if (!path) {
        set_error("NULL path argument");
        return -1;
    }
    FILE* f = file_open(path, "rb");
    if (!f) {
        set_error("cannot open %s", path);
        return -1;
    }
    int64_t n = file_size(f);
    if (n <= 0) {
        fclose(f);
        set_error("empty input file: %s", path);
        return -1;
    }
    // Offsets are 32-bit: a file of 2 GiB or more cannot be addressed.
    uint8_t* data = n <= 0x7FFFFFFF ? (uint8_t*)malloc((size_t)n) : nullptr;
    if (!data || fread(data, 1, (size_t)n, f) != (size_t)n) {
        fclose(f);
        free(data);
        set_error("read error on %s", path);
        return -1;
    }
    fclose(f);
    return doc_load_bytes(data, (int32_t)n, path, dc);
}

}  // namespace pdftext
