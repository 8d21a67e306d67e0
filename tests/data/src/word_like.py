#!/usr/bin/python3
"""Lay out a short letter the way a word processor's "Save as PDF" does:
simple TrueType fonts with /WinAnsiEncoding (bytes in cp1252), no
/ToUnicode, one BT/ET block per line.  Writes one content file per page
for `mutool create` plus subsetted copies of the two Liberation fonts.

usage: word_like.py SOURCE.txt WORKDIR
Markup as in fodt.py: "# " heading, blank-line separated paragraphs,
"\\page" for a page break; a paragraph whose lines are short keeps its
line breaks (address blocks).
"""
import logging
import os
import sys
from fontTools import subset
from fontTools.ttLib import TTFont

FONTDIR = '/usr/share/fonts/truetype/liberation2'
FONTS = {'F1': 'LiberationSerif-Regular.ttf', 'F2': 'LiberationSans-Bold.ttf'}
LEFT, TOP, WIDTH, BOTTOM = 72.0, 720.0, 468.0, 72.0


def pdf_string(text):
    out = []
    for b in text.encode('cp1252'):
        c = chr(b)
        if c in '()\\':
            out.append('\\' + c)
        elif 32 <= b < 127:
            out.append(c)
        else:
            out.append('\\%03o' % b)
    return '(' + ''.join(out) + ')'


def main(src, work):
    logging.getLogger('fontTools').setLevel(logging.ERROR)
    os.makedirs(work, exist_ok=True)
    text = open(src, encoding='utf-8').read()
    chars = sorted(set(text) - {'\n'})
    fonts = {}
    for tag, name in FONTS.items():
        path = os.path.join(work, name)
        opts = subset.Options()
        opts.layout_features = []
        opts.hinting = False
        opts.notdef_outline = True
        opts.name_IDs = ['*']
        font = TTFont(os.path.join(FONTDIR, name))
        sub = subset.Subsetter(opts)
        sub.populate(unicodes=[ord(c) for c in chars] + [0x20])
        sub.subset(font)
        font.save(path)
        fonts[tag] = (path, TTFont(path))

    def width(tag, s, size):
        f = fonts[tag][1]
        cmap, hmtx = f.getBestCmap(), f['hmtx']
        upm = f['head'].unitsPerEm
        return sum(hmtx[cmap[ord(c)]][0] for c in s) * size / upm

    blocks, cur = [], []
    for ln in text.split('\n') + ['']:
        if ln.strip():
            cur.append(ln.strip())
        elif cur:
            blocks.append(cur)
            cur = []

    pages, ops, y = [], [], TOP

    def emit(tag, size, s, lead, x=LEFT):
        nonlocal y
        ops.append('BT\n/%s %g Tf\n1 0 0 1 %.2f %.2f Tm\n%s Tj\nET'
                   % (tag, size, x, y, pdf_string(s)))
        y -= lead

    def wrap(s, avail):
        lines, line = [], ''
        for word in s.split(' '):
            trial = (line + ' ' + word) if line else word
            if line and width('F1', trial, 11) > avail:
                lines.append(line)
                line = word
            else:
                line = trial
        lines.append(line)
        return lines

    def new_page():
        nonlocal ops, y
        pages.append(ops)
        ops, y = [], TOP

    for b in blocks:
        if b == ['\\page']:
            new_page()
            continue
        if b[0].startswith('# '):
            emit('F2', 15, ' '.join(b)[2:], 30)
            continue
        if all(l.startswith('\u2022 ') for l in b):
            # Bulleted list: the bullet hangs, the text wraps at an indent.
            for item in b:
                for i, l in enumerate(wrap(item[2:], WIDTH - 18)):
                    if y < BOTTOM:
                        new_page()
                    if i == 0:
                        emit('F1', 11, '\u2022', 0, LEFT + 4)
                    emit('F1', 11, l, 13.8, LEFT + 18)
            y -= 8
            continue
        if all(width('F1', l, 11) < WIDTH * 0.6 for l in b) and len(b) > 1:
            lines = b
        else:
            lines = wrap(' '.join(b), WIDTH)
        for l in lines:
            if y < BOTTOM:
                new_page()
            emit('F1', 11, l, 13.8)
        y -= 8
    new_page()

    names = []
    for i, page in enumerate(pages, 1):
        name = os.path.join(work, 'page%d.txt' % i)
        with open(name, 'w', encoding='ascii') as out:
            out.write('%%MediaBox 0 0 612 792\n')
            for tag, (path, _) in fonts.items():
                out.write('%%%%Font %s %s\n' % (tag, path))
            out.write('0 g\n' + '\n'.join(page) + '\n')
        names.append(name)
    print(' '.join(names))


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
