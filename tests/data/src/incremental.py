#!/usr/bin/python3
"""Append an incremental update to a PDF with a classic cross-reference
table: a new version of page 1's content stream (one sentence added) and
of the document information dictionary, then a new xref section and a
trailer whose /Prev points at the original table.  The superseded objects
stay in the file; a reader must take the newer definitions.

usage: incremental.py IN.pdf OUT.pdf OLD_TEXT NEW_TEXT
OLD_TEXT must occur exactly once in the decoded content of page 1.
"""
import hashlib
import re
import subprocess
import sys
import zlib


def qpdf(*args):
    return subprocess.run(['qpdf'] + list(args), check=True,
                          stdout=subprocess.PIPE).stdout


def main(src, dst, old, new):
    data = open(src, 'rb').read()
    prev = int(re.findall(rb'startxref\s+(\d+)', data)[-1])
    trailer = qpdf('--show-object=trailer', src).decode('latin-1')
    size = int(re.search(r'/Size (\d+)', trailer).group(1))
    root = re.search(r'/Root (\d+ \d+ R)', trailer).group(1)
    info_num = int(re.search(r'/Info (\d+) 0 R', trailer).group(1))
    first_id = re.search(r'/ID \[ *<([0-9a-fA-F]+)>', trailer).group(1)
    pages = qpdf('--show-pages', src).decode('latin-1')
    content_num = int(re.search(r'page 1: .*\n  content:\n    (\d+) 0 R',
                                pages).group(1))

    content = qpdf('--show-object=%d' % content_num, '--filtered-stream-data',
                   src)
    assert content.count(old.encode('latin-1')) == 1, 'OLD_TEXT not unique'
    content = content.replace(old.encode('latin-1'), new.encode('latin-1'))
    packed = zlib.compress(content, 9)

    info = qpdf('--show-object=%d' % info_num, src).decode('latin-1')
    info = re.sub(r'/ModDate \([^)]*\)', "/ModDate (D:20231115090000+00'00')",
                  info)
    info = re.sub(r'/Title \(([^)]*)\)', r'/Title (\1, revised)', info)

    out = bytearray(data)
    if not out.endswith(b'\n'):
        out += b'\n'
    offsets = {}
    offsets[content_num] = len(out)
    out += b'%d 0 obj\n<< /Filter /FlateDecode /Length %d >>\nstream\n' % (
        content_num, len(packed))
    out += packed + b'\nendstream\nendobj\n'
    offsets[info_num] = len(out)
    out += b'%d 0 obj\n%s\nendobj\n' % (info_num, info.strip().encode('latin-1'))

    xref = len(out)
    out += b'xref\n'
    for num in sorted(offsets):
        out += b'%d 1\n%010d 00000 n \n' % (num, offsets[num])
    second_id = hashlib.md5(bytes(out)).hexdigest().upper()
    out += (b'trailer\n<< /Size %d /Root %s /Info %d 0 R /ID [<%s> <%s>] '
            b'/Prev %d >>\nstartxref\n%d\n%%%%EOF\n'
            % (size, root.encode(), info_num, first_id.encode(),
               second_id.encode(), prev, xref))
    open(dst, 'wb').write(out)


if __name__ == '__main__':
    main(*sys.argv[1:5])
