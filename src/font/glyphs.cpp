// Glyph names to code points, the Windows-1252 byte mapping and the choice
// of a built-in width table by BaseFont name.
//
// The number parsing below follows the C library's "%4x" and strtoul(.., 16)
// conversions in the "C" locale, written out so that the result does not
// depend on the host's locale or C library.

#include <cstring>

#include "data/tables.h"
#include "font/font.h"

namespace pdftext {

namespace {

// The C library's isspace set in the "C" locale.
bool c_space(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int hex_digit(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Result of one hexadecimal conversion: leading white space and one sign
// are accepted, then an optional 0x/0X prefix that counts only when a hex
// digit follows it (otherwise the 0 is the number), then hex digits.
struct hex_scan {
    bool ok;           // at least one digit was read
    bool negative;     // a '-' sign came first
    uint32_t value;    // magnitude, capped (only short fields are scanned)
    int used;          // bytes consumed, white space and sign included
};

hex_scan scan_hex(const char* s, int n) {
    hex_scan r{false, false, 0, 0};
    int i = 0;
    while (i < n && c_space(static_cast<unsigned char>(s[i]))) i++;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
        r.negative = s[i] == '-';
        i++;
    }
    if (i + 2 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        hex_digit(static_cast<unsigned char>(s[i + 2])) >= 0)
        i += 2;
    while (i < n) {
        int v = hex_digit(static_cast<unsigned char>(s[i]));
        if (v < 0) break;
        r.ok = true;
        // Callers scan at most six bytes, so this never saturates in
        // practice; the cap keeps the arithmetic defined for any input.
        if (r.value <= 0x0FFFFFFF) r.value = r.value * 16 + static_cast<uint32_t>(v);
        i++;
    }
    r.used = r.ok ? i : 0;
    return r;
}

// Length of s, but counting no further than cap.
int bounded_len(const char* s, int cap) {
    int n = 0;
    while (n < cap && s[n] != '\0') n++;
    return n;
}

// TeX fonts name the f-ligatures in /Differences; the Adobe Glyph List puts
// them at U+FB00-U+FB04, above the range agl_tab holds.
struct lig_entry {
    const char* name;
    uint32_t cp;
};
constexpr lig_entry kLigatures[] = {
    {"ff", 0xFB00}, {"fi", 0xFB01}, {"fl", 0xFB02}, {"ffi", 0xFB03}, {"ffl", 0xFB04},
};

uint32_t table_lookup(const char* name) {
    int low = 0;
    int high = AGL_COUNT - 1;
    while (low <= high) {
        int mid = (low + high) / 2;
        int c = std::strcmp(name, agl_tab[mid].name);
        if (c == 0) return static_cast<uint32_t>(agl_tab[mid].cp);
        if (c > 0)
            low = mid + 1;
        else
            high = mid - 1;
    }
    for (const lig_entry& l : kLigatures)
        if (std::strcmp(name, l.name) == 0) return l.cp;
    return 0;
}

// The table, then the uniXXXX and uXXXX[XX] forms.  Returns 0 for nothing.
uint32_t lookup_plain(const char* name) {
    uint32_t cp = table_lookup(name);
    if (cp != 0) return cp;
    if (name[0] != 'u') return 0;

    int len = bounded_len(name, 8);  // only "at least 7" and "5 to 7" matter
    if (len >= 7 && name[1] == 'n' && name[2] == 'i') {
        // The four bytes after "uni" on their own, at most four hex digits:
        // uni00410042 gives U+0041.  A negative result is not a code point.
        hex_scan h = scan_hex(name + 3, 4);
        if (h.ok && !h.negative) return h.value;
    }
    if (len >= 5 && len <= 7) {
        // Everything after the 'u' must be consumed.
        int rest = len - 1;
        hex_scan h = scan_hex(name + 1, rest);
        if (h.ok && h.used == rest && !h.negative && h.value >= 1 && h.value <= 0x10FFFF)
            return h.value;
    }
    return 0;
}

// Pattern order matters: within a family the styled names come first, so
// the longest fitting name wins.
struct std_font {
    const char* pattern;
    const int16_t* widths;
};
const std_font kStdFonts[] = {
    {"Courier-BoldOblique", courier_boldoblique_widths},
    {"Courier-Oblique", courier_oblique_widths},
    {"Courier-Bold", courier_bold_widths},
    {"Courier", courier_widths},
    {"Helvetica-BoldOblique", helvetica_boldoblique_widths},
    {"Helvetica-Oblique", helvetica_oblique_widths},
    {"Helvetica-Bold", helvetica_bold_widths},
    {"Helvetica", helvetica_widths},
    {"Symbol", symbol_widths},
    {"Times-BoldItalic", times_bolditalic_widths},
    {"Times-Bold", times_bold_widths},
    {"Times-Italic", times_italic_widths},
    {"Times-Roman", times_roman_widths},
    {"ZapfDingbats", zapfdingbats_widths},
};

unsigned char ascii_lower(unsigned char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c;
}

}  // namespace

uint32_t glyph_to_unicode(const char* name) {
    if (name == nullptr) return 0;
    uint32_t cp = lookup_plain(name);
    if (cp != 0) return cp;

    // A suffixed name (a.sc, Aacute.alt.sc) is looked up by the part before
    // its first '.', once.
    const char* dot = std::strchr(name, '.');
    if (dot == nullptr || dot == name) return 0;
    size_t stem_len = static_cast<size_t>(dot - name);
    if (stem_len > 63) return 0;
    char stem[64];
    std::memcpy(stem, name, stem_len);
    stem[stem_len] = '\0';
    return lookup_plain(stem);
}

uint32_t winansi_cp(uint8_t b) {
    // 0x80-0x9F; a 0 marks the five positions Windows-1252 leaves unassigned.
    static const uint16_t k80[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
        0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
    };
    if (b >= 0x80 && b <= 0x9F && k80[b - 0x80] != 0) return k80[b - 0x80];
    return b;
}

const char* tw_strcasestr(const char* text, const char* pattern) {
    if (text == nullptr || pattern == nullptr || text[0] == '\0') return nullptr;
    for (const char* t = text; *t != '\0'; t++) {
        size_t i = 0;
        while (pattern[i] != '\0' && t[i] != '\0' &&
               ascii_lower(static_cast<unsigned char>(t[i])) ==
                   ascii_lower(static_cast<unsigned char>(pattern[i])))
            i++;
        if (pattern[i] == '\0') return t;
        if (t[i] == '\0') return nullptr;  // the rest of text is too short
    }
    return nullptr;
}

const int16_t* std_font_widths(const char* basefont) {
    if (basefont == nullptr) return nullptr;
    for (const std_font& f : kStdFonts)
        if (tw_strcasestr(basefont, f.pattern) != nullptr) return f.widths;
    return nullptr;
}

}  // namespace pdftext
