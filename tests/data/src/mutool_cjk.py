#!/usr/bin/python3
"""Write a `mutool create` page that shows Japanese text in a font that is
not embedded: a Type0 font with the predefined /UniJIS-UTF16-H CMap, so
the strings are UTF-16BE and there is no /ToUnicode.

usage: mutool_cjk.py SOURCE.txt PAGE.txt
Each non-blank source line is one paragraph, broken every 36 characters
(the glyphs are full-width, 12 pt on a 432 pt measure; closing
punctuation stays at the end of the line); a line starting
with "# " is set larger as a heading.
"""
import sys

CLOSING = '\u3001\u3002\uff09\u300d\uff0c'


def hexstr(s):
    return '<' + s.encode('utf-16-be').hex().upper() + '>'


def main(src, dst):
    out = ['%%MediaBox 0 0 595 842', '%%CJKFont F1 ja H sans', '0 g']
    y = 770
    for line in open(src, encoding='utf-8'):
        line = line.strip()
        if not line:
            y -= 8
            continue
        if line.startswith('# '):
            out.append('BT /F1 18 Tf 72 %d Td %s Tj ET' % (y, hexstr(line[2:])))
            y -= 32
            continue
        while line:
            n = 36
            # Closing punctuation may not start a line: keep it on this one.
            while n < len(line) and line[n] in CLOSING:
                n += 1
            out.append('BT /F1 12 Tf 72 %d Td %s Tj ET' % (y, hexstr(line[:n])))
            line = line[n:]
            y -= 18
    open(dst, 'w', encoding='ascii').write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
