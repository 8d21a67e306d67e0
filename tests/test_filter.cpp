// The stream filter chain and object streams.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "doc/doc.h"
#include "filter/filter.h"
#include "pdf_builder.h"

#ifdef HAVE_ZLIB
#include <zlib.h>
#endif

using namespace pdftext;

namespace {

int load(const std::string& bytes, doc* d) {
    uint8_t* p = (uint8_t*)malloc(bytes.size());
    memcpy(p, bytes.data(), bytes.size());
    return doc_load_bytes(p, (int32_t)bytes.size(), "mem.pdf", d);
}

const std::string CATP = "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n2 0 obj << /Type /Pages /Kids [] >> endobj\n";

// Decodes object 5, a stream with dictionary entries `dict` and raw `data`.
// Returns "<fail>" when decode_stream fails.
std::string decode(const std::string& dict, const std::string& data) {
    doc d;
    std::string s = CATP + "5 0 obj << " + dict + " /Length " + std::to_string(data.size()) + " >>\nstream\n" + data +
                    "\nendstream\nendobj\n";
    if (load(s, &d) != 0) return "<load failed>";
    const obj_entry* e = doc_find(&d, 5);
    if (!e) return "<no object>";
    buf out{};
    if (!decode_stream(d.data, d.size, *e, &out)) return "<fail>";
    std::string r((const char*)out.data, out.len);
    EXPECT_EQ(out.data[out.len], 0) << "decoded bytes are terminated";
    buf_free(&out);
    return r;
}

#ifdef HAVE_ZLIB
std::string deflate(const std::string& s, int level = 9) {
    uLongf n = compressBound((uLong)s.size());
    std::string out(n, '\0');
    compress2((Bytef*)&out[0], &n, (const Bytef*)s.data(), (uLong)s.size(), level);
    out.resize(n);
    return out;
}
#endif

}  // namespace

TEST(Filter, SimpleStages) {
    struct { std::string dict, data, want; const char* why; } cases[] = {
        {"", "raw bytes", "raw bytes", "no /Filter: the raw data"},
        {"/Filter /DCTDecode", "\xFF\xD8jpeg", "\xFF\xD8jpeg", "an unknown filter passes its input on"},
        {"/Filter [/Foo /AHx]", "41 42>", "AB", "an unknown name before a known one"},
        {"/Filter 7 0 R", "414243", "414243", "an indirect filter list is empty"},
        {"/Filter /RunLengthDecode", std::string("\x02" "abc\xFEx\x80", 7), "abcxxx", "literal run, repeat, end"},
        {"/Filter /RL", std::string("\x05" "ab", 3), "ab", "a literal run cut by the end of the data"},
        {"/Filter /RunLeng", std::string("\xFF", 1), "", "a repeat without its byte"},
        {"/Filter /ASCII85Decode", "FCfN8~>", "test", "a full group"},
        {"/Filter /A85", "z~>", std::string(4, '\0'), "z is four zeros"},
        {"/Filter /A85", "!!~>", std::string(1, '\0'), "a final group of two digits gives one byte"},
        {"/Filter /A85", "FC\nfN8~>", "test", "white space inside a group"},
        {"/Filter /A85", "F~>", "", "a single leftover digit is ignored"},
        {"/Filter /ASCIIHexDecode", "48 65 6c 6C 6f>", "Hello", "hex pairs of either case"},
        {"/Filter /AHx", "7>", "p", "a lone digit before > gets a 0 low digit"},
        {"/Filter /AHx", "414", "A", "a lone digit at the end is dropped"},
        {"/Filter /AHx", "", "<fail>", "a stream without data is not decoded"},
        {"/Filter [/AHx /AHx]", "3431>", "A", "stages run in order"},
    };
    for (auto& c : cases) EXPECT_EQ(decode(c.dict, c.data), c.want) << c.why;
}

TEST(Filter, NoStreamLeavesBufferUntouched) {
    doc d;
    ASSERT_EQ(load(CATP + "5 0 obj << /A 1 >> endobj\n", &d), 0);
    buf out{};
    buf_bytes(&out, "keep", 4);
    EXPECT_EQ(decode_stream(d.data, d.size, *doc_find(&d, 5), &out), 0);
    EXPECT_EQ(std::string((const char*)out.data, out.len), "keep");
    buf_free(&out);
}

TEST(Filter, FilterListRoom) {
    // Names are kept while they fit 224 characters with a blank after each;
    // a long name that does not fit is left out, a later short one is taken.
    std::string longname(218, 'X');
    EXPECT_EQ(decode("/Filter [/" + longname + " /AHx /AHx]", "3431>"), "41") << "the second AHx no longer fits";
    EXPECT_EQ(decode("/Filter [/" + std::string(230, 'Y') + " /AHx]", "41>"), "A") << "a name over 223 is left out";
}

#ifdef HAVE_ZLIB
TEST(Filter, Flate) {
    std::string text = "BT /F1 12 Tf (Hello) Tj ET";
    EXPECT_EQ(decode("/Filter /FlateDecode", deflate(text)), text);
    EXPECT_EQ(decode("/Filter /Fl", deflate(text)), text);

    // ASCII85 over Flate, as reportlab writes it.
    std::string z = deflate(text), a85;
    for (size_t i = 0; i < z.size(); i += 4) {
        uint32_t v = 0;
        size_t n = std::min<size_t>(4, z.size() - i);
        for (size_t k = 0; k < 4; k++) v = v * 256 + (k < n ? (uint8_t)z[i + k] : 0);
        char g[5];
        for (int k = 4; k >= 0; k--) { g[k] = (char)('!' + v % 85); v /= 85; }
        a85.append(g, n + 1);
    }
    EXPECT_EQ(decode("/Filter [/ASCII85Decode /FlateDecode]", a85 + "~>"), text);

    // A stream that inflates to more than 16 x (n + 64) bytes needs a
    // larger block, and gets it.
    std::string zeros(4 << 20, '\0');
    std::string zz = deflate(zeros);
    EXPECT_EQ(decode("/Filter /FlateDecode", zz).size(), zeros.size());

    // A stream cut before its final block still gives what was decoded.
    std::string big(100000, 'a');
    for (size_t i = 0; i < big.size(); i++) big[i] = (char)('a' + (i * 7919 % 26));
    std::string cut = deflate(big, 1);
    cut.resize(cut.size() / 2);
    std::string got = decode("/Filter /FlateDecode", cut);
    EXPECT_GT(got.size(), 1000u);
    EXPECT_EQ(got, big.substr(0, got.size())) << "the intact prefix";

    EXPECT_EQ(decode("/Filter /FlateDecode", "\x79\x9C" "abc"), "<fail>") << "a refused header fails the stream";
}

TEST(Filter, BombsStopAtTheLimit) {
    // Flate over Flate: a few KiB that would become 320 MiB.  The second stage
    // passes the 256 MiB limit and the stream fails instead of growing.
    std::string gig_z;
    {
        z_stream s{};
        deflateInit(&s, 1);
        std::string chunk(1 << 20, '\0');
        std::string out;
        char ob[1 << 16];
        for (int i = 0; i < 320; i++) {
            s.next_in = (Bytef*)chunk.data();
            s.avail_in = (uInt)chunk.size();
            do {
                s.next_out = (Bytef*)ob;
                s.avail_out = sizeof ob;
                deflate(&s, i == 319 ? Z_FINISH : Z_NO_FLUSH);
                out.append(ob, sizeof ob - s.avail_out);
            } while (s.avail_out == 0);
        }
        deflateEnd(&s);
        gig_z = out;
    }
    std::string twice = deflate(gig_z);
    ASSERT_LT(twice.size(), 65536u);
    EXPECT_EQ(decode("/Filter [/FlateDecode /FlateDecode]", twice), "<fail>");
    // RunLength expands 128 times per two bytes; after a Flate stage it is
    // bounded the same way.
    std::string rl;
    for (int i = 0; i < (1 << 22); i++) rl += "\x81x";  // 4 Mi repeats of 128 = 512 MiB
    EXPECT_EQ(decode("/Filter [/FlateDecode /RunLengthDecode]", deflate(rl)), "<fail>");
}

TEST(ObjectStreams, Members) {
    // Object stream 9 holds objects 3 ("<< /Type /Page >>") and 4, and
    // object 4 is also defined directly: the direct definition wins.
    std::string members = "3 0 4 18 << /Type /Page >> (in the stream)";
    int first = 9;
    std::string body = "<< /Type /ObjStm /N 2 /First " + std::to_string(first) + " /Filter /FlateDecode /Length ";
    std::string z = deflate(members);
    std::string s = "1 0 obj << /Type /Catalog /Pages 2 0 R >> endobj\n"
                    "2 0 obj << /Type /Pages /Kids [3 0 R] >> endobj\n"
                    "4 0 obj (direct) endobj\n"
                    "9 0 obj " + body + std::to_string(z.size()) + " >>\nstream\n" + z + "\nendstream\nendobj\n";
    doc d;
    ASSERT_EQ(load(s, &d), 0);
    ASSERT_EQ(d.pages.size(), 1u) << "the page lives in the object stream";
    const obj_entry* e3 = doc_find(&d, 3);
    ASSERT_NE(e3, nullptr);
    EXPECT_EQ(e3->in_objstm, 1);
    EXPECT_EQ(std::string((const char*)e3->body, (size_t)e3->body_len), "<< /Type /Page >> ");
    EXPECT_EQ(doc_find(&d, 4)->in_objstm, 0) << "a direct definition beats a member";
    EXPECT_EQ(doc_find(&d, 9), nullptr) << "object streams themselves are not kept";
}

TEST(ObjectStreams, HeaderRules) {
    struct { std::string dict_extra, header_and_members; int n; std::string want3; const char* why; } cases[] = {
        {"", "3 0 4 5 (abc)(def)", 2, "(abc)", "raw data without /FlateDecode"},
        {"", "3 0 4 0 (abc)", 2, "<none>", "two pairs with one offset: the first has length 0"},
        {"", "3 0 x 5 (abc)(def)", 2, "<none>", "a non-numeric header token: no members"},
        {"", "3 0 (abc)", 0, "<none>", "/N 0"},
        {"", "3 0 (abc)", 100001, "<none>", "/N above 100000"},
        {"", "3 0 4 99 (abc)(def)", 2, "(abc)(def)", "a last member cut at the end of the data"},
    };
    for (auto& c : cases) {
        std::string data = c.header_and_members;
        int first = (int)data.find('(');
        std::string s = CATP + "9 0 obj << /Type /ObjStm /N " + std::to_string(c.n) + " /First " +
                        std::to_string(first) + c.dict_extra + " /Length " + std::to_string(data.size()) +
                        " >>\nstream\n" + data + "\nendstream\nendobj\n";
        doc d;
        ASSERT_EQ(load(s, &d), 0) << c.why;
        const obj_entry* e = doc_find(&d, 3);
        std::string got = e ? std::string((const char*)e->body, (size_t)e->body_len) : "<none>";
        EXPECT_EQ(got, c.want3) << c.why;
    }
}
#endif
