// Scanning primitives, byte buffers and string decoders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "syntax/syntax.h"

using namespace pdftext;

namespace {
const uint8_t* B(const std::string& s) { return (const uint8_t*)s.data(); }
int N(const std::string& s) { return (int)s.size(); }
}  // namespace

TEST(Scan, SkipWs) {
    struct { std::string in; int pos, want; const char* why; } cases[] = {
        {std::string("\0\t\n\f\r x", 7), 0, 6, "all six white-space bytes, NUL included"},
        {"\vx", 0, 0, "vertical tab is not white space"},
        {"   ", 0, 3, "white space to the end gives end"},
        {"ab", 5, 5, "a position beyond the end is returned as it is"},
    };
    for (auto& c : cases) EXPECT_EQ(skip_ws(B(c.in), c.pos, N(c.in)), c.want) << c.why;
}

TEST(Scan, FindKw) {
    struct { std::string in; int start; const char* kw; int want; const char* why; } cases[] = {
        {"endobj", 0, "obj", -1, "not inside endobj"},
        {"objx 1 0 obj<<", 0, "obj", 9, "not before a letter; fine before <<"},
        {"1 0 obj", 0, "obj", 4, "at the very end of the range"},
        {"xobj obj", 1, "obj", 5, "the byte before the start still counts"},
        {"1 0 obj\n", -5, "obj", 4, "a negative start counts as 0"},
        {"stream", 0, "streams", -1, "longer than the range"},
    };
    for (auto& c : cases) EXPECT_EQ(find_kw(B(c.in), N(c.in), c.start, c.kw), c.want) << c.why;
}

TEST(Scan, KwAt) {
    std::string s = "xstream stream1 stream";
    EXPECT_EQ(kw_at(B(s), 1, N(s), "stream"), 0) << "preceded by a letter";
    EXPECT_EQ(kw_at(B(s), 8, N(s), "stream"), 0) << "followed by a digit";
    EXPECT_EQ(kw_at(B(s), 16, N(s), "stream"), 1) << "ends the range";
    EXPECT_EQ(kw_at(B(s), -1, N(s), "stream"), 0) << "negative position";
    EXPECT_EQ(kw_at(B(s), 16, 20, "stream"), 0) << "does not fit before end";
}

TEST(Scan, FindName) {
    struct { std::string in; const char* name; int want; const char* why; } cases[] = {
        {"/FontDescriptor 5 0 R /Font 7 0 R", "Font", 22, "a longer name does not match"},
        {"/Type/Page", "Type", 0, "followed by a slash"},
        {"/Font-x /Font_y /Font<<", "Font", 16, "- and _ are name characters"},
        {"(a/Font)", "Font", 2, "inside a string too: the byte before is not examined"},
        {"/Fon", "Font", -1, "too short"},
    };
    for (auto& c : cases) EXPECT_EQ(find_name(B(c.in), N(c.in), 0, N(c.in), c.name), c.want) << c.why;
    std::string s = "/Font";
    EXPECT_EQ(find_name(B(s), 3, 0, 100, "Fo"), 0) << "the total size bounds the search, and the end of it ends the name";
}

TEST(Scan, ParseIntAt) {
    struct { std::string in; int want; int pos_after; const char* why; } cases[] = {
        {"  -42 0 R", -42, 5, "leaves the position after the digits"},
        {"+5", -1, 0, "no plus sign"},
        {"2147483648", INT32_MIN, 10, "wraps in 32 bits"},
        {"99999999999", (int)(99999999999ULL & 0xFFFFFFFFu), 11, "wraps without undefined behaviour"},
        {"-", -1, 0, "a lone minus"},
        {"   ", -1, 0, "white space only"},
        {"007x", 7, 3, "leading zeros"},
    };
    for (auto& c : cases) {
        int pos = 0;
        EXPECT_EQ(parse_int_at(B(c.in), N(c.in), &pos), c.want) << c.why;
        EXPECT_EQ(pos, c.pos_after) << c.why;
    }
}

TEST(Scan, ReadIntAdv) {
    std::string s = "[ 1 0 R ]";
    int pos = 1;
    EXPECT_EQ(read_int_adv(B(s), N(s), &pos), 1);
    EXPECT_EQ(read_int_adv(B(s), N(s), &pos), 0);
    EXPECT_EQ(read_int_adv(B(s), N(s), &pos), -1);
    EXPECT_EQ(s[(size_t)pos], 'R') << "stays on the R";
    EXPECT_EQ(read_int_adv(B(s), N(s), &pos), -1);
    EXPECT_EQ(s[(size_t)pos], 'R') << "and again";

    std::string x = "x12";
    pos = 0;
    EXPECT_EQ(read_int_adv(B(x), N(x), &pos), -1);
    EXPECT_EQ(pos, 1) << "steps over the offending byte";
    EXPECT_EQ(read_int_adv(B(x), N(x), &pos), 12);

    std::string p = "+7 -";
    pos = 0;
    EXPECT_EQ(read_int_adv(B(p), N(p), &pos), 7) << "a plus sign is accepted here";
    EXPECT_EQ(read_int_adv(B(p), N(p), &pos), -1);
    EXPECT_EQ(pos, N(p)) << "a sign at the end stores end";
}

TEST(Scan, ParseDoubleAt) {
    struct { std::string in; double want; int pos_after; const char* why; } cases[] = {
        {"12", 12.0, 2, "integer"},
        {"-3.5 ", -3.5, 4, "negative fraction"},
        {"+.25", 0.25, 4, "plus sign and no integer part"},
        {"4.", 4.0, 2, "the point is consumed"},
        {".5", 0.5, 2, "fraction only"},
        {".", 0.0, 0, "a point alone is no number"},
        {"-.", 0.0, 0, "sign and point are no number"},
        {"1e5", 1.0, 1, "no exponent form"},
        {"0.1", 0.0 + 1 * 0.1, 3, "the scale is multiplied by 0.1"},
    };
    for (auto& c : cases) {
        int pos = 0;
        EXPECT_EQ(parse_double_at(B(c.in), N(c.in), &pos), c.want) << c.why;
        EXPECT_EQ(pos, c.pos_after) << c.why;
    }
    std::string pi = "3.14159";
    int pos = 0;
    double v = 3.0, scale = 1.0;
    for (char ch : std::string("14159")) { scale *= 0.1; v += (ch - '0') * scale; }
    EXPECT_EQ(parse_double_at(B(pi), N(pi), &pos), v) << "digit by digit accumulation";
}

TEST(Scan, DictStreamKw) {
    struct { std::string in; int want; const char* why; } cases[] = {
        {"<< /Length 5 /F (a>>b) >>\r\nstream\r\n", 27, ">> inside a string does not close"},
        {"<< /Length 5 >> endobj", -1, "no stream keyword"},
        {"<< /A << /B 1 >> >>stream", 19, "nested dictionaries"},
        {"<< /A (unterminated >> stream", -1, "a string that runs to the end"},
        {"<< /A (x)", -1, "string closing at the last byte"},
        {"<< /A <4142> >> stream", 16, "a hex string is single brackets"},
    };
    for (auto& c : cases) EXPECT_EQ(dict_stream_kw(B(c.in), N(c.in), 0), c.want) << c.why;
}

TEST(Buf, Growth) {
    buf_owner a;
    ASSERT_NE(buf_bytes(&a.b, "", 0), nullptr);
    EXPECT_EQ(a.b.len, 0u);
    EXPECT_EQ(a.b.cap, 0x100000u) << "the first block is 1 MiB even for nothing";
    EXPECT_EQ(a.b.data[0], 0);

    std::string mib(0x100000, 'x');
    buf_owner b, c;
    buf_bytes(&b.b, mib.data(), mib.size());
    EXPECT_EQ(b.b.cap, 0x200000u) << "1 MiB and its terminator do not fit 1 MiB";
    ASSERT_EQ(dec_bytes(&c.b, mib.data(), mib.size()), 0);
    EXPECT_EQ(c.b.cap, 0x200000u);
    EXPECT_EQ(c.b.data[c.b.len], 0) << "always terminated";
}

TEST(Strings, Literal) {
    struct { std::string in; std::string want; int ret; int resume; const char* why; } cases[] = {
        {"(abc)", "abc", 1, 5, "plain"},
        {"()", "", 1, 2, "empty"},
        {"(a\\)b)", "a)b", 1, 6, "escaped parenthesis"},
        {"(a\\\\)", "a\\", 1, 5, "escaped backslash"},
        {"(\\101\\1012)", "AA2", 1, 11, "at most three octal digits"},
        {"(\\8)", "8", 1, 4, "not octal: the byte itself"},
        {"(\\q)", "q", 1, 4, "unknown escape"},
        {"(\\777)", "\xFF", 1, 6, "octal modulo 256"},
        {"(a\\\r\nb)", "ab", 1, 7, "backslash CR LF continues the line"},
        {"(a\\\nb)", "ab", 1, 6, "backslash LF continues the line"},
        {"(a\r\nb)", "a\r\nb", 1, 6, "raw CR LF are kept"},
        {"(a(b)c)", "a(b)c", 1, 7, "balanced parentheses"},
        {"(abc", "abc", 0, 4, "unterminated"},
        {"(ab\\", "ab", 0, 3, "a backslash last: resume on it"},
        {"(a\\\r", "a", 0, 4, "backslash CR at the end: resume after the CR"},
        {"(\\n\\r\\t\\b\\f)", "\n\r\t\b\f", 1, 12, "control escapes"},
    };
    for (auto& c : cases) {
        buf_owner o;
        int resume = -1;
        EXPECT_EQ(parse_literal_string2(B(c.in), N(c.in), 0, &o.b, &resume), c.ret) << c.why;
        EXPECT_EQ(std::string((const char*)o.b.data, o.b.data ? o.b.len : 0), c.want) << c.why;
        EXPECT_EQ(resume, c.resume) << c.why;
    }
}

TEST(Strings, Hex) {
    struct { std::string in; std::string want; int resume; const char* why; } cases[] = {
        {"<48 65 6C6C6F>", "Hello", 14, "spaces between digits"},
        {"<4>", "\x40", 3, "lone digit is the high nibble"},
        {"<g1 2>", "\x12", 6, "non-digits are ignored"},
        {"<>", "", 2, "empty"},
        {"<414", "A", 4, "unterminated: the pending digit is dropped"},
    };
    for (auto& c : cases) {
        buf_owner o;
        int resume = -1;
        parse_hex_string2(B(c.in), N(c.in), 0, &o.b, &resume);
        EXPECT_EQ(std::string((const char*)o.b.data, o.b.data ? o.b.len : 0), c.want) << c.why;
        EXPECT_EQ(resume, c.resume) << c.why;
    }
}

TEST(Strings, SkipInlineDict) {
    std::string s = "<< /A << /B (>>) >> % >>\n>> rest";
    EXPECT_EQ(skip_inline_dict(B(s), N(s), 0), (int)s.find(" rest"));
    std::string t = "<< /A 1";
    EXPECT_EQ(skip_inline_dict(B(t), N(t), 0), N(t)) << "runs to the end";
    std::string u = "<< % no line end";
    EXPECT_EQ(skip_inline_dict(B(u), N(u), 0), N(u));
}
