// Appends that fit the block are done inline and the rest grow it; literal
// strings are appended in runs.  Both must store exactly what appending one
// byte at a time stores, at every block boundary.
#include <gtest/gtest.h>

#include <string>

#include "syntax/syntax.h"

using namespace pdftext;

namespace {

std::string text(const buf& b) { return b.data ? std::string((const char*)b.data, b.len) : std::string(); }

TEST(Append, AtTheEndOfTheBlock) {
    struct {
        uint64_t reserve;  // block given first (0: none)
        std::string first, second;
        uint64_t cap;  // after both appends
        const char* why;
    } cases[] = {
        {64, std::string(62, 'a'), "b", 64, "63 bytes and the terminator fill 64 exactly"},
        {64, std::string(63, 'a'), "b", 128, "the 64th byte needs room for the terminator"},
        {64, std::string(63, 'a'), "", 64, "nothing appended to a full block"},
        {64, "a", std::string(200, 'b'), 256, "one append doubling twice"},
        {0, "", "", 0x100000, "a first append of nothing gets the 1 MiB block"},
        {0, "ab", "c", 0x100000, "no block yet: the first is 1 MiB"},
    };
    for (auto& c : cases) {
        buf_owner o;
        if (c.reserve) {
            ASSERT_TRUE(buf_reserve(&o.b, c.reserve));
        }
        ASSERT_NE(buf_bytes(&o.b, c.first.data(), c.first.size()), nullptr) << c.why;
        ASSERT_NE(buf_bytes(&o.b, c.second.data(), c.second.size()), nullptr) << c.why;
        EXPECT_EQ(text(o.b), c.first + c.second) << c.why;
        EXPECT_EQ(o.b.cap, c.cap) << c.why;
        EXPECT_EQ(o.b.data[o.b.len], 0) << c.why << ": always terminated";
    }
}

TEST(Append, OneByteAtTheEndOfTheBlock) {
    struct {
        uint64_t reserve;
        int bytes;
        uint64_t cap;
        const char* why;
    } cases[] = {
        {64, 63, 64, "63 bytes and the terminator fill 64"},
        {64, 64, 128, "the 64th byte grows the block"},
        {64, 129, 256, "grown twice"},
        {0, 1, 0x100000, "no block: 1 MiB"},
    };
    for (auto& c : cases) {
        buf_owner o;
        if (c.reserve) {
            ASSERT_TRUE(buf_reserve(&o.b, c.reserve));
        }
        std::string want;
        for (int i = 0; i < c.bytes; i++) {
            buf_byte(&o.b, uint8_t('a' + i % 26));
            want += char('a' + i % 26);
        }
        EXPECT_EQ(text(o.b), want) << c.why;
        EXPECT_EQ(o.b.cap, c.cap) << c.why;
        EXPECT_EQ(o.b.data[o.b.len], 0) << c.why;
    }
}

// Literal strings decoded into a 64-byte block that already holds 58 bytes,
// so that runs and escapes meet its end.
TEST(Append, LiteralStringsInRuns) {
    struct {
        std::string in;
        std::string want;  // appended after the 58 bytes
        int ret, resume;
        const char* why;
    } cases[] = {
        {"(abcdefghij)", "abcdefghij", 1, 12, "one run past the block"},
        {"(a(b\\)c)d)", "a(b)c)d", 1, 10, "an escape inside nested parentheses"},
        {"((x)", "(x)", 0, 4, "unterminated while nested"},
        {"(ab\\nc\\\\de)", "ab\nc\\de", 1, 11, "runs between escapes"},
        {"(\\(\\(\\()", "(((", 1, 8, "escapes only"},
        {"(abc\\", "abc", 0, 4, "a run, then a backslash last"},
        {"(a)(b)", "a", 1, 3, "ends at the first closing parenthesis"},
    };
    for (auto& c : cases) {
        buf_owner o;
        const std::string held(58, 'x');
        ASSERT_TRUE(buf_reserve(&o.b, 64));
        buf_bytes(&o.b, held.data(), held.size());
        int resume = -1;
        EXPECT_EQ(parse_literal_string2((const uint8_t*)c.in.data(), (int)c.in.size(), 0, &o.b, &resume), c.ret)
            << c.why;
        EXPECT_EQ(text(o.b), held + c.want) << c.why;
        EXPECT_EQ(o.b.data[o.b.len], 0) << c.why;
        EXPECT_EQ(resume, c.resume) << c.why;
    }
}

}  // namespace
