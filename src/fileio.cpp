// Opening the files the exports name.
//
// The exports take paths as UTF-8 byte strings.  On Linux those go to fopen
// as they are.  The Windows C runtime's fopen reads a path in the ANSI code
// page instead, so there a valid UTF-8 path that holds non-ASCII bytes is
// converted to UTF-16 and opened with _wfopen; any other path (plain ASCII,
// or bytes that are not UTF-8, which can only mean the ANSI code page) goes
// to fopen unchanged.
#include "api.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstddef>
#include <string>
#endif

namespace pdftext {

#if defined(_WIN32)

namespace {

// True when s is well-formed UTF-8 (no overlong forms, no surrogates,
// nothing above U+10FFFF) and holds at least one non-ASCII byte.
bool utf8_non_ascii(const char* s) {
    const unsigned char* p = (const unsigned char*)s;
    bool wide = false;
    while (*p) {
        unsigned char c = *p;
        if (c < 0x80) {
            p++;
            continue;
        }
        wide = true;
        int more;
        unsigned char lo = 0x80, hi = 0xBF;  // range of the first continuation byte
        if (c >= 0xC2 && c <= 0xDF) {
            more = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            more = 2;
            if (c == 0xE0) lo = 0xA0;
            if (c == 0xED) hi = 0x9F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            more = 3;
            if (c == 0xF0) lo = 0x90;
            if (c == 0xF4) hi = 0x8F;
        } else {
            return false;
        }
        p++;
        for (int i = 0; i < more; i++, p++) {
            // The terminating NUL fails this test, so p never passes it.
            unsigned char first_lo = i ? 0x80 : lo, first_hi = i ? 0xBF : hi;
            if (*p < first_lo || *p > first_hi) return false;
        }
    }
    return wide;
}

// UTF-8 to UTF-16 through the system converter; false if it refuses.
bool widen(const char* s, std::wstring* out) {
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s, -1, nullptr, 0);
    if (n <= 0) return false;
    out->assign((size_t)n, L'\0');
    if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s, -1, &(*out)[0], n) != n) return false;
    out->resize((size_t)n - 1);  // drop the converted NUL
    return true;
}

}  // namespace

FILE* file_open(const char* path, const char* mode) {
    if (path && mode && utf8_non_ascii(path)) {
        std::wstring wpath, wmode;
        if (widen(path, &wpath) && widen(mode, &wmode)) return _wfopen(wpath.c_str(), wmode.c_str());
    }
    return fopen(path, mode);
}

#else

FILE* file_open(const char* path, const char* mode) { return fopen(path, mode); }

#endif

}  // namespace pdftext
