#!/usr/bin/env python3
"""Generates the built-in tables of tarnwick-pdftext from the files in data/.

    src/data/agl_tab.cpp   the glyph-name table (agl_tab) from data/glyphlist.txt
    src/data/widths.cpp    the 14 standard-font width tables from data/afm/*.afm

Run it from anywhere:  python3 tools/gen_tables.py
With --check it writes nothing and exits with status 1 when a committed file
differs from what it would generate.

The output depends only on the input files (no dates, no paths), so running
the script twice gives the same bytes.
"""

import argparse
import codecs
import hashlib
import os
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
GLYPHLIST = "data/glyphlist.txt"
AGL_OUT = "src/data/agl_tab.cpp"
WIDTHS_OUT = "src/data/widths.cpp"

# The glyph-name table keeps the single-valued entries up to this code point.
AGL_MAX_CP = 0x266F
AGL_EXPECTED = 2972

# Windows-1252 code -> glyph name whose width the Latin tables hold.  Codes
# without a name (0x00-0x1F, 0x7F, the five unassigned positions 0x81, 0x8D,
# 0x8F, 0x90, 0x9D, and 0xA0) get width 0.  0xAD takes the width of "minus",
# not of the hyphen.
WINANSI_NAMES = {
    0x20: "space", 0x21: "exclam", 0x22: "quotedbl", 0x23: "numbersign",
    0x24: "dollar", 0x25: "percent", 0x26: "ampersand", 0x27: "quotesingle",
    0x28: "parenleft", 0x29: "parenright", 0x2A: "asterisk", 0x2B: "plus",
    0x2C: "comma", 0x2D: "hyphen", 0x2E: "period", 0x2F: "slash",
    0x30: "zero", 0x31: "one", 0x32: "two", 0x33: "three", 0x34: "four",
    0x35: "five", 0x36: "six", 0x37: "seven", 0x38: "eight", 0x39: "nine",
    0x3A: "colon", 0x3B: "semicolon", 0x3C: "less", 0x3D: "equal",
    0x3E: "greater", 0x3F: "question", 0x40: "at",
    0x5B: "bracketleft", 0x5C: "backslash", 0x5D: "bracketright",
    0x5E: "asciicircum", 0x5F: "underscore", 0x60: "grave",
    0x7B: "braceleft", 0x7C: "bar", 0x7D: "braceright", 0x7E: "asciitilde",
    0x80: "Euro", 0x82: "quotesinglbase", 0x83: "florin",
    0x84: "quotedblbase", 0x85: "ellipsis", 0x86: "dagger", 0x87: "daggerdbl",
    0x88: "circumflex", 0x89: "perthousand", 0x8A: "Scaron",
    0x8B: "guilsinglleft", 0x8C: "OE", 0x8E: "Zcaron",
    0x91: "quoteleft", 0x92: "quoteright", 0x93: "quotedblleft",
    0x94: "quotedblright", 0x95: "bullet", 0x96: "endash", 0x97: "emdash",
    0x98: "tilde", 0x99: "trademark", 0x9A: "scaron", 0x9B: "guilsinglright",
    0x9C: "oe", 0x9E: "zcaron", 0x9F: "Ydieresis",
    0xA1: "exclamdown", 0xA2: "cent", 0xA3: "sterling", 0xA4: "currency",
    0xA5: "yen", 0xA6: "brokenbar", 0xA7: "section", 0xA8: "dieresis",
    0xA9: "copyright", 0xAA: "ordfeminine", 0xAB: "guillemotleft",
    0xAC: "logicalnot", 0xAD: "minus", 0xAE: "registered", 0xAF: "macron",
    0xB0: "degree", 0xB1: "plusminus", 0xB2: "twosuperior",
    0xB3: "threesuperior", 0xB4: "acute", 0xB5: "mu", 0xB6: "paragraph",
    0xB7: "periodcentered", 0xB8: "cedilla", 0xB9: "onesuperior",
    0xBA: "ordmasculine", 0xBB: "guillemotright", 0xBC: "onequarter",
    0xBD: "onehalf", 0xBE: "threequarters", 0xBF: "questiondown",
    0xC0: "Agrave", 0xC1: "Aacute", 0xC2: "Acircumflex", 0xC3: "Atilde",
    0xC4: "Adieresis", 0xC5: "Aring", 0xC6: "AE", 0xC7: "Ccedilla",
    0xC8: "Egrave", 0xC9: "Eacute", 0xCA: "Ecircumflex", 0xCB: "Edieresis",
    0xCC: "Igrave", 0xCD: "Iacute", 0xCE: "Icircumflex", 0xCF: "Idieresis",
    0xD0: "Eth", 0xD1: "Ntilde", 0xD2: "Ograve", 0xD3: "Oacute",
    0xD4: "Ocircumflex", 0xD5: "Otilde", 0xD6: "Odieresis", 0xD7: "multiply",
    0xD8: "Oslash", 0xD9: "Ugrave", 0xDA: "Uacute", 0xDB: "Ucircumflex",
    0xDC: "Udieresis", 0xDD: "Yacute", 0xDE: "Thorn", 0xDF: "germandbls",
    0xE0: "agrave", 0xE1: "aacute", 0xE2: "acircumflex", 0xE3: "atilde",
    0xE4: "adieresis", 0xE5: "aring", 0xE6: "ae", 0xE7: "ccedilla",
    0xE8: "egrave", 0xE9: "eacute", 0xEA: "ecircumflex", 0xEB: "edieresis",
    0xEC: "igrave", 0xED: "iacute", 0xEE: "icircumflex", 0xEF: "idieresis",
    0xF0: "eth", 0xF1: "ntilde", 0xF2: "ograve", 0xF3: "oacute",
    0xF4: "ocircumflex", 0xF5: "otilde", 0xF6: "odieresis", 0xF7: "divide",
    0xF8: "oslash", 0xF9: "ugrave", 0xFA: "uacute", 0xFB: "ucircumflex",
    0xFC: "udieresis", 0xFD: "yacute", 0xFE: "thorn", 0xFF: "ydieresis",
}
for _c in range(26):
    WINANSI_NAMES[0x41 + _c] = chr(0x41 + _c)
    WINANSI_NAMES[0x61 + _c] = chr(0x61 + _c)

# (table, AFM file, indexing) in the order the tables are written.
TABLES = [
    ("courier_widths", "n022003l.afm", "winansi"),
    ("courier_bold_widths", "n022004l.afm", "winansi"),
    ("courier_oblique_widths", "n022023l.afm", "winansi"),
    ("courier_boldoblique_widths", "n022024l.afm", "winansi"),
    ("helvetica_widths", "n019003l.afm", "winansi"),
    ("helvetica_bold_widths", "n019004l.afm", "winansi"),
    ("helvetica_oblique_widths", "n019023l.afm", "winansi"),
    ("helvetica_boldoblique_widths", "n019024l.afm", "winansi"),
    ("times_roman_widths", "n021003l.afm", "winansi"),
    ("times_bold_widths", "n021004l.afm", "winansi"),
    ("times_italic_widths", "n021023l.afm", "winansi"),
    ("times_bolditalic_widths", "n021024l.afm", "winansi"),
    ("symbol_widths", "s050000l.afm", "builtin"),
    ("zapfdingbats_widths", "d050000l.afm", "builtin"),
]


class DataError(Exception):
    pass


def read_bytes(rel):
    with open(os.path.join(ROOT, rel), "rb") as f:
        return f.read()


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def parse_glyphlist(raw):
    """Returns (all entries, [(name, cp)] kept for the table, sorted)."""
    entries = []
    seen = set()
    for lineno, line in enumerate(raw.decode("ascii").split("\n"), 1):
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        parts = line.split(";")
        if len(parts) != 2 or not parts[0]:
            raise DataError("%s:%d: malformed line" % (GLYPHLIST, lineno))
        name = parts[0]
        if name in seen:
            raise DataError("%s:%d: duplicate name %s" % (GLYPHLIST, lineno, name))
        seen.add(name)
        values = [int(v, 16) for v in parts[1].split()]
        if not values:
            raise DataError("%s:%d: no value" % (GLYPHLIST, lineno))
        entries.append((name, values))
    kept = [(n, v[0]) for n, v in entries if len(v) == 1 and v[0] <= AGL_MAX_CP]
    # Byte order of the names, the order strcmp gives.
    kept.sort(key=lambda e: e[0].encode("ascii"))
    if len(kept) != AGL_EXPECTED:
        raise DataError("%s gives %d table rows, expected %d"
                        % (GLYPHLIST, len(kept), AGL_EXPECTED))
    return entries, kept


def parse_afm(rel):
    """Returns [(code, width, name)] of the CharMetrics lines of an AFM file."""
    glyphs = []
    names = set()
    text = read_bytes(rel).decode("latin-1")
    in_metrics = False
    for lineno, line in enumerate(text.split("\n"), 1):
        line = line.strip()
        if line.startswith("StartCharMetrics"):
            in_metrics = True
            continue
        if line.startswith("EndCharMetrics"):
            break
        if not in_metrics or not line:
            continue
        fields = {}
        for item in line.split(";"):
            tok = item.split()
            if tok:
                fields[tok[0]] = tok[1:]
        try:
            code = int(fields["C"][0])
            width = int(fields["WX"][0])
            name = fields["N"][0]
        except (KeyError, IndexError, ValueError):
            raise DataError("%s:%d: malformed metrics line" % (rel, lineno))
        if name in names:
            raise DataError("%s:%d: duplicate glyph %s" % (rel, lineno, name))
        names.add(name)
        glyphs.append((code, width, name))
    if not glyphs:
        raise DataError("%s: no character metrics" % rel)
    return glyphs


def check_winansi_names(agl_all):
    """Each name must be the AGL name of the Windows-1252 character at its
    code (0xAD excepted, which deliberately names minus)."""
    agl = dict(agl_all)
    for code, name in sorted(WINANSI_NAMES.items()):
        want = 0x2212 if code == 0xAD else ord(codecs.decode(bytes([code]), "cp1252"))
        if agl.get(name) != [want]:
            raise DataError("Windows-1252 name %s at 0x%02X does not map to U+%04X"
                            % (name, code, want))


def build_widths(name, afm, kind):
    rel = "data/afm/" + afm
    glyphs = parse_afm(rel)
    table = [0] * 256
    if kind == "winansi":
        by_name = {n: w for _, w, n in glyphs}
        for code, gname in WINANSI_NAMES.items():
            if gname not in by_name:
                raise DataError("%s: %s has no glyph %s" % (rel, name, gname))
            table[code] = by_name[gname]
    else:
        for code, width, gname in glyphs:
            if code < 0:
                continue
            if code > 255 or table[code] != 0:
                raise DataError("%s: bad or repeated code %d (%s)" % (rel, code, gname))
            table[code] = width
    for w in table:
        if not -32768 <= w <= 32767:
            raise DataError("%s: width %d does not fit 16 bits" % (rel, w))
    return table


def c_string(s):
    # Glyph names are printable ASCII without quotes or backslashes; refuse
    # anything else rather than escape it.
    if any(ch in '"\\' or not 0x20 < ord(ch) < 0x7F for ch in s):
        raise DataError("unexpected character in glyph name %r" % s)
    return '"' + s + '"'


def gen_agl(raw, kept):
    out = []
    out.append("// generated by tools/gen_tables.py from %s; do not edit." % GLYPHLIST)
    out.append("// Source SHA-256 %s." % sha256(raw))
    out.append("// The Adobe Glyph List entries with one code point, at most U+%04X," % AGL_MAX_CP)
    out.append("// sorted by the byte order of their names (the order of strcmp).")
    out.append("// Adobe Glyph List: Copyright 2002-2019 Adobe (http://www.adobe.com/),")
    out.append("// BSD-3-Clause; see data/README.md.")
    out.append("")
    out.append('#include "data/tables.h"')
    out.append("")
    out.append("namespace pdftext {")
    out.append("")
    out.append("const agl_entry agl_tab[AGL_COUNT] = {")
    for i, (name, cp) in enumerate(kept):
        out.append("    {%s, 0x%04X},  // %d" % (c_string(name), cp, i))
    out.append("};")
    out.append("")
    out.append("}  // namespace pdftext")
    return "\n".join(out) + "\n"


def generate():
    raw = read_bytes(GLYPHLIST)
    agl_all, kept = parse_glyphlist(raw)
    check_winansi_names(agl_all)
    results = [(name, build_widths(name, afm, kind)) for name, afm, kind in TABLES]
    digests = {name: sha256(read_bytes("data/afm/" + afm)) for name, afm, _ in TABLES}
    return {AGL_OUT: gen_agl(raw, kept), WIDTHS_OUT: gen_widths(results, digests)}


def gen_widths(results, digests):
    afm_of = {name: afm for name, afm, _ in TABLES}
    out = []
    out.append("// generated by tools/gen_tables.py from data/afm/*.afm; do not edit.")
    out.append("// Advance widths (WX) of the URW Type 1 clones of the 14 standard fonts,")
    out.append("// in thousandths of the font size.  The Courier, Helvetica and Times")
    out.append("// tables are indexed by Windows-1252 code (looked up by glyph name;")
    out.append("// 0xAD holds minus); Symbol and Dingbats by their own built-in codes.")
    out.append("// URW fonts: GNU GPL version 2; see data/README.md.")
    out.append("")
    out.append('#include "data/tables.h"')
    out.append("")
    out.append("namespace pdftext {")
    for name, table in results:
        out.append("")
        out.append("// data/afm/%s, SHA-256 %s" % (afm_of[name], digests[name]))
        out.append("const int16_t %s[256] = {" % name)
        for row in range(0, 256, 16):
            vals = ", ".join("%4d" % w for w in table[row:row + 16])
            out.append("    %s,  // 0x%02X" % (vals, row))
        out.append("};")
    out.append("")
    out.append("}  // namespace pdftext")
    return "\n".join(out) + "\n"


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--check", action="store_true",
                    help="compare the committed files with what would be "
                         "generated; exit 1 when they differ")
    args = ap.parse_args()
    try:
        files = generate()
    except (DataError, OSError, UnicodeDecodeError, ValueError) as e:
        print("gen_tables: %s" % e, file=sys.stderr)
        return 2
    stale = []
    for rel, text in sorted(files.items()):
        path = os.path.join(ROOT, rel)
        data = text.encode("ascii")
        if args.check:
            try:
                with open(path, "rb") as f:
                    same = f.read() == data
            except OSError:
                same = False
            if not same:
                stale.append(rel)
        else:
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
    if stale:
        for rel in stale:
            print("gen_tables: %s is out of date; run tools/gen_tables.py" % rel,
                  file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
