// Hostile PDF files, made byte by byte: decompression bombs, page trees
// that loop or explode, forms that call each other, huge operator and
// object counts.  Shared by tests/test_hostile.cpp and the peak-memory
// measurement in bench/hostile/.
#pragma once

#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "pdf_builder.h"

namespace hostile {

// zlib stream of `n` copies of `unit` (repeated cyclically), compressed
// in chunks so that the plain bytes are never held at once.
inline std::string deflate_repeat(const std::string& unit, uint64_t n) {
    std::string chunk;
    while (chunk.size() < (1u << 20)) chunk += unit;
    chunk.resize((1u << 20) - (1u << 20) % unit.size());
    z_stream s{};
    if (deflateInit(&s, 9) != Z_OK) abort();
    std::string out;
    char ob[1 << 16];
    uint64_t left = n;
    do {
        uint64_t take = left < chunk.size() ? left : chunk.size();
        left -= take;
        s.next_in = (Bytef*)chunk.data();
        s.avail_in = (uInt)take;
        do {
            s.next_out = (Bytef*)ob;
            s.avail_out = sizeof ob;
            deflate(&s, left ? Z_NO_FLUSH : Z_FINISH);
            out.append(ob, sizeof ob - s.avail_out);
        } while (s.avail_out == 0);
    } while (left);
    deflateEnd(&s);
    return out;
}

inline std::string deflate_fill(const std::string& head, char fill, uint64_t n,
                                const std::string& tail = "");
// zlib stream of `s` itself.
inline std::string deflate_text(const std::string& s) { return deflate_fill(s, ' ', s.size()); }

// zlib stream of `head`, then `fill` bytes, then `tail`: `n` bytes in all
// (at least head and tail).
inline std::string deflate_fill(const std::string& head, char fill, uint64_t n,
                                const std::string& tail) {
    std::string out;
    z_stream s{};
    if (deflateInit(&s, 9) != Z_OK) abort();
    const std::string chunk(1u << 20, fill);
    char ob[1 << 16];
    uint64_t fixed = head.size() + tail.size();
    uint64_t left = n > fixed ? n - fixed : 0;
    // head, the fill in chunks, tail
    auto feed = [&](const char* p, uint64_t len, bool last) {
        s.next_in = (Bytef*)p;
        s.avail_in = (uInt)len;
        do {
            s.next_out = (Bytef*)ob;
            s.avail_out = sizeof ob;
            deflate(&s, last ? Z_FINISH : Z_NO_FLUSH);
            out.append(ob, sizeof ob - s.avail_out);
        } while (s.avail_out == 0);
    };
    feed(head.data(), head.size(), false);
    while (left) {
        uint64_t take = left < chunk.size() ? left : chunk.size();
        left -= take;
        feed(chunk.data(), take, false);
    }
    feed(tail.data(), tail.size(), true);
    deflateEnd(&s);
    return out;
}

const uint64_t MiB = 1u << 20;

// builder::finish for files of very many objects: the same xref table and
// trailer, made in one pass over the objects.
inline std::string finish(testpdf::builder& b, int root = 1) {
    int maxn = 0;
    for (auto& o : b.offs) maxn = o.first > maxn ? o.first : maxn;
    std::vector<long long> at((size_t)maxn + 1, -1);
    for (auto& o : b.offs) at[(size_t)o.first] = (long long)o.second;
    std::string& out = b.out;
    const size_t xref = out.size();
    out += "xref\n0 " + std::to_string(maxn + 1) + "\n0000000000 65535 f \n";
    for (int n = 1; n <= maxn; n++) {
        char line[32];
        snprintf(line, sizeof line, "%010lld %05d %c \n", at[(size_t)n] < 0 ? 0 : at[(size_t)n], 0,
                 at[(size_t)n] < 0 ? 'f' : 'n');
        out += line;
    }
    out += "trailer\n<< /Size " + std::to_string(maxn + 1) + " /Root " + std::to_string(root) +
           " 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return out;
}

// Page content: a font and one line of text.
const std::string HELLO = "BT /F1 12 Tf 72 700 Td (hello) Tj ET";
const std::string FONT = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";

// Catalog 1, pages node 2, one page 3 with content 4 and font 5; `content`
// is the raw stream data, `filter` the /Filter entry (may be empty).
inline std::string one_page(const std::string& content, const std::string& filter = "",
                            const std::string& page_extra = "", const std::string& more = "") {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> " + page_extra +
                 " >> /Contents 4 0 R >>");
    b.stream(4, filter, content);
    b.obj(5, FONT);
    b.raw(more);
    return finish(b);
}

// Content that inflates to `n` bytes of white space after the text.
inline std::string content_bomb(uint64_t n) {
    return one_page(deflate_fill(HELLO, ' ', n), "/Filter /FlateDecode");
}

// Flate over Flate: the inner stream is itself a bomb.
inline std::string chain_bomb(uint64_t n) {
    return one_page(deflate_text(deflate_fill(HELLO, ' ', n)),
                    "/Filter [/FlateDecode /FlateDecode]");
}

// A page whose content has `parts` parts, each inflating to `each` bytes
// of white space, and text at the start of part `text_part` (default: the
// last).
inline std::string parts_near_limit(int parts, uint64_t each, int text_part = -1) {
    if (text_part < 0) text_part = parts - 1;
    testpdf::builder b;
    std::string list;
    for (int i = 0; i < parts; i++) list += std::to_string(10 + i) + " 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents [" + list + "] >>");
    b.obj(5, FONT);
    // One compressed block serves every part (same bytes, /Length each).
    const std::string z = deflate_fill("", ' ', each);
    for (int i = 0; i < parts; i++)
        b.stream(10 + i, "/Filter /FlateDecode", i != text_part ? z : deflate_fill(HELLO, ' ', each));
    return finish(b);
}

// `fonts` fonts sharing one ToUnicode CMap that inflates to `n` bytes of
// bfchar entries, each mapping code 0x41 to 16 code points.
inline std::string tounicode_bomb(uint64_t n, int fonts) {
    testpdf::builder b;
    std::string font_refs, show;
    for (int i = 0; i < fonts; i++) {
        font_refs += "/F" + std::to_string(i) + " " + std::to_string(100 + i) + " 0 R ";
        show += "/F" + std::to_string(i) + " 12 Tf (AB) Tj ";
    }
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << " + font_refs + ">> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT " + show + "ET");
    for (int i = 0; i < fonts; i++)
        b.obj(100 + i, "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /ToUnicode 6 0 R >>");
    // Entries without a codespace range: codes are then read byte by byte.
    const std::string entry =
        "1 beginbfchar <41> <0041004200430044004500460047004800490050005100520053005400550056> endbfchar\n";
    const std::string z = deflate_repeat(entry, n);
    b.stream(6, "/Filter /FlateDecode", z);
    return finish(b);
}

// Object streams that inflate to `n` bytes each: a small member 9000 and
// a member 9001 that runs on through white space to the end (too long to
// be kept, but the block stays for the first).  The pages live outside.
inline std::string objstm_bomb(uint64_t n, int streams) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    const std::string z = deflate_fill("9000 0 9001 8 (member)", ' ', n);
    for (int i = 0; i < streams; i++) b.stream(10 + i, "/Type /ObjStm /N 2 /First 14 /Filter /FlateDecode", z);
    return finish(b);
}

// `before` object-stream bombs of `n` bytes each, then one more that also
// holds the page object 3: the page exists only while that stream is kept.
inline std::string objstm_page_after_bombs(int before, uint64_t n) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    const std::string z = deflate_fill("9000 0 9001 8 (member)", ' ', n);
    for (int i = 0; i < before; i++) b.stream(10 + i, "/Type /ObjStm /N 2 /First 14 /Filter /FlateDecode", z);
    const std::string page =
        "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>";
    const std::string head = "3 0 9001 " + std::to_string(page.size()) + " ";
    b.stream(10 + before,
             "/Type /ObjStm /N 2 /First " + std::to_string(head.size()) + " /Filter /FlateDecode",
             deflate_fill(head + page, ' ', n));
    return finish(b);
}

// One page listed `times` times in one /Kids array.
inline std::string page_repeated(int times) {
    testpdf::builder b;
    std::string kids;
    kids.reserve((size_t)times * 6);
    for (int i = 0; i < times; i++) kids += "3 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(times) + " >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    return finish(b);
}

// One page listed `times` times whose content inflates to `n` bytes: the
// pages of one call share its work budget.
inline std::string pages_share_bomb(int times, uint64_t n) {
    testpdf::builder b;
    std::string kids;
    for (int i = 0; i < times; i++) kids += "3 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(times) + " >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "/Filter /FlateDecode", deflate_fill(HELLO, ' ', n));
    b.obj(5, FONT);
    return finish(b);
}

// One page listed `times` times whose content shows `codes` codes of a
// font whose ToUnicode maps each to 16 letters: 64 MiB of codes make a
// page text of 1 GiB.
inline std::string pages_share_text_bomb(int times, uint64_t codes) {
    testpdf::builder b;
    std::string kids;
    for (int i = 0; i < times; i++) kids += "3 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [" + kids + "] /Count " + std::to_string(times) + " >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    const std::string head = "BT /F1 12 Tf (", tail = ") Tj ET";
    b.stream(4, "/Filter /FlateDecode", deflate_fill(head, 'A', head.size() + codes + tail.size(), tail));
    b.obj(5, "<< /Type /Font /Subtype /Type1 /BaseFont /Custom /ToUnicode 6 0 R >>");
    b.stream(6, "", "1 beginbfchar <41> <0041004200430044004500460047004800490050005100520053005400550056> endbfchar");
    return finish(b);
}

// A page listed `times` times that inherits resources from a node whose
// dictionary runs on through the /Kids array: each page's font lookup
// scans that array.
inline std::string pages_share_resources(int times) {
    testpdf::builder b;
    std::string kids;
    kids.reserve((size_t)times * 6);
    for (int i = 0; i < times; i++) kids += "3 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Resources << /ProcSet [/PDF] >> /Kids [" + kids + "] /Count " +
                 std::to_string(times) + " >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Contents 4 0 R >>");
    b.stream(4, "", "BT (hello) Tj ET");
    return finish(b);
}

// `levels` page-tree nodes in a chain, the page at the bottom.
inline std::string deep_tree(int levels) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 10 0 R >>");
    for (int i = 0; i < levels; i++)
        b.obj(10 + i, "<< /Type /Pages /Kids [" + std::to_string(11 + i) + " 0 R] >>");
    b.obj(10 + levels, "<< /Type /Page /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    return finish(b);
}

// Nodes whose /Kids lead back up: node i's kids are node i+1 and, for
// the last, the first node again.
inline std::string tree_cycle(int nodes) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 10 0 R >>");
    for (int i = 0; i < nodes; i++)
        b.obj(10 + i, "<< /Type /Pages /Kids [" + std::to_string(i + 1 < nodes ? 11 + i : 10) + " 0 R 3 0 R] >>");
    b.obj(3, "<< /Type /Page /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    return finish(b);
}

// A lattice of shared nodes: each of `levels` nodes lists the next one
// twice, so walking it as a tree would give 2^levels pages.
inline std::string shared_lattice(int levels) {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 10 0 R >>");
    for (int i = 0; i < levels; i++) {
        std::string k = std::to_string(11 + i) + " 0 R ";
        b.obj(10 + i, "<< /Type /Pages /Kids [" + k + k + "] >>");
    }
    b.obj(10 + levels, "<< /Type /Page /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.stream(4, "", HELLO);
    b.obj(5, FONT);
    return finish(b);
}

// `forms` form XObjects, each showing its number and invoking every form
// (itself included); the page invokes them all `rounds` times.
inline std::string forms_mesh(int forms, int rounds) {
    testpdf::builder b;
    std::string names, calls;
    for (int i = 0; i < forms; i++) {
        names += "/X" + std::to_string(i) + " " + std::to_string(100 + i) + " 0 R ";
        calls += "/X" + std::to_string(i) + " Do ";
    }
    std::string page_calls;
    for (int r = 0; r < rounds; r++) page_calls += calls;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> /XObject << " + names +
                 ">> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT /F1 12 Tf " + page_calls + "ET");
    b.obj(5, FONT);
    for (int i = 0; i < forms; i++)
        b.stream(100 + i, "/Type /XObject /Subtype /Form /Resources 3 0 R",
                 "(" + std::to_string(i) + ") Tj " + calls);
    return finish(b);
}

// A chain of `depth` forms, each invoking the next and then carrying
// `each` bytes of white space (compressed): every level's content is held
// while the forms below it run.
inline std::string nested_form_bombs(int depth, uint64_t each) {
    testpdf::builder b;
    std::string names;
    for (int i = 0; i < depth; i++) names += "/X" + std::to_string(i) + " " + std::to_string(100 + i) + " 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> /XObject << " + names +
                 ">> >> /Contents 4 0 R >>");
    b.stream(4, "", "BT /F1 12 Tf /X0 Do ET");
    b.obj(5, FONT);
    for (int i = 0; i < depth; i++) {
        std::string head = "(" + std::to_string(i) + ") Tj" + (i + 1 < depth ? " /X" + std::to_string(i + 1) + " Do " : " ");
        b.stream(100 + i, "/Type /XObject /Subtype /Form /Resources 3 0 R /Filter /FlateDecode",
                 deflate_fill(head, ' ', each));
    }
    return finish(b);
}

// A /Contents array of `parts` references to one small stream.
inline std::string many_parts(int parts) {
    testpdf::builder b;
    std::string list;
    list.reserve((size_t)parts * 6);
    for (int i = 0; i < parts; i++) list += "4 0 R ";
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents [" + list + "] >>");
    b.stream(4, "", "BT /F1 12 Tf (x) Tj ET");
    b.obj(5, FONT);
    return finish(b);
}

// Content of `n` one-byte operators `op` (each followed by a space).
inline std::string one_byte_ops(const std::string& prefix, char op, int n) {
    std::string c = prefix;
    c.reserve(c.size() + (size_t)n * 2 + 8);
    for (int i = 0; i < n; i++) (c += op) += ' ';
    return one_page(c + "ET");
}

// `n` nested q, a text, and `n` Q.
inline std::string nested_q(int n) {
    std::string c;
    c.reserve((size_t)n * 4 + 64);
    for (int i = 0; i < n; i++) c += "q ";
    c += HELLO + " ";
    for (int i = 0; i < n; i++) c += "Q ";
    return one_page(c);
}

// A content stream whose /Length names the stream object itself.
inline std::string length_self() {
    testpdf::builder b;
    b.obj(1, "<< /Type /Catalog /Pages 2 0 R >>");
    b.obj(2, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>");
    b.obj(3, "<< /Type /Page /Parent 2 0 R /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>");
    b.obj(4, "<< /Length 4 0 R >>\nstream\n" + HELLO + "\nendstream");
    b.obj(5, FONT);
    return finish(b);
}

// A working one-page document followed by `n` object headers that never
// end: "N 0 obj" with or without an opening dictionary.
inline std::string headers_without_endobj(int n, bool dict) {
    std::string s = one_page(HELLO);
    s.reserve(s.size() + (size_t)n * 16);
    for (int i = 0; i < n; i++) (s += std::to_string(6 + i)) += dict ? " 0 obj << " : " 0 obj\n";
    return s;
}

// The hostile cases at the sizes the tests and the peak-memory measurement
// use, by name.
struct named_case {
    const char* name;
    std::function<std::string()> make;
};

inline std::vector<named_case> all_cases() {
    return {
        {"content_bomb", [] { return content_bomb(300 * MiB); }},
        {"content_under_limit", [] { return content_bomb(250 * MiB); }},
        {"chain_bomb", [] { return chain_bomb(300 * MiB); }},
        {"parts_near_limit", [] { return parts_near_limit(64, 250 * MiB); }},
        {"tounicode_bomb", [] { return tounicode_bomb(300 * MiB, 1); }},
        {"tounicode_under_limit_32_fonts", [] { return tounicode_bomb(200 * MiB, 32); }},
        {"objstm_bomb", [] { return objstm_bomb(1000 * MiB, 1); }},
        {"objstm_bomb_8_streams", [] { return objstm_bomb(250 * MiB, 8); }},
        {"objstm_page_after_3_bombs", [] { return objstm_page_after_bombs(3, 250 * MiB); }},
        {"objstm_page_after_4_bombs", [] { return objstm_page_after_bombs(4, 250 * MiB); }},
        {"parts_text_in_4th", [] { return parts_near_limit(5, 200 * MiB, 3); }},
        {"parts_text_in_5th", [] { return parts_near_limit(5, 200 * MiB, 4); }},
        {"nested_form_bombs", [] { return nested_form_bombs(8, 250 * MiB); }},
        {"page_repeated_1e6", [] { return page_repeated(1000000); }},
        {"pages_share_bomb_1000", [] { return pages_share_bomb(1000, 250 * MiB); }},
        {"pages_share_resources_1e6", [] { return pages_share_resources(1000000); }},
        {"pages_share_text_bomb_100", [] { return pages_share_text_bomb(100, 64 * MiB); }},
        {"deep_tree_1e5", [] { return deep_tree(100000); }},
        {"tree_cycle", [] { return tree_cycle(1000); }},
        {"shared_lattice_64", [] { return shared_lattice(64); }},
        {"forms_mesh_128", [] { return forms_mesh(128, 8); }},
        {"content_parts_1e5", [] { return many_parts(100000); }},
        {"one_byte_ops_1e6", [] { return one_byte_ops("BT /F1 12 Tf (x) Tj ", '\'', 1000000); }},
        {"nested_q_1e6", [] { return nested_q(1000000); }},
        {"length_self", [] { return length_self(); }},
        {"headers_1e6_no_endobj", [] { return headers_without_endobj(1000000, false); }},
        {"dict_headers_1e6_no_endobj", [] { return headers_without_endobj(1000000, true); }},
    };
}

}  // namespace hostile
