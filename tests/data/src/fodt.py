#!/usr/bin/python3
"""Turn a small plain-text markup into a flat OpenDocument text (.fodt)
that LibreOffice converts to PDF.

Markup, one block per paragraph (blocks are separated by blank lines):
  %body-font: NAME      font of body text        (header lines, optional)
  %heading-font: NAME   font of headings
  %size: 11pt           body font size
  %lang: en-GB          language of the text
  # Title               heading level 1
  ## Section            heading level 2
  - item                bullet list item (consecutive items form one list)
  1. item               numbered list item
  \\page                 page break before the next block
Every other block is a paragraph; its lines are joined with spaces.
"""
import sys
from xml.sax.saxutils import escape

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"')


def main(src, dst):
    opts = {'body-font': 'DejaVu Serif', 'heading-font': 'DejaVu Sans',
            'size': '11pt', 'lang': 'en-GB'}
    lines = open(src, encoding='utf-8').read().split('\n')
    while lines and lines[0].startswith('%'):
        key, _, val = lines.pop(0)[1:].partition(':')
        opts[key.strip()] = val.strip()
    blocks, cur = [], []
    for ln in lines + ['']:
        if ln.strip():
            cur.append(ln.strip())
        elif cur:
            blocks.append(cur)
            cur = []
    lang, _, country = opts['lang'].partition('-')
    body = []
    page_break = False
    open_list = None

    def close_list():
        nonlocal open_list
        if open_list:
            body.append('</text:list>')
            open_list = None

    def pstyle(base):
        nonlocal page_break
        if page_break:
            page_break = False
            return base + '_break'
        return base

    for b in blocks:
        if b == ['\\page']:
            close_list()
            page_break = True
            continue
        # A block of list items: each line starting with "- " or "N. ".
        if all(l.startswith('- ') for l in b) or \
           all(l.split(' ', 1)[0].rstrip('.').isdigit() and
               l.split(' ', 1)[0].endswith('.') for l in b):
            kind = 'LBullet' if b[0].startswith('- ') else 'LNumber'
            close_list()
            body.append('<text:list text:style-name="%s">' % kind)
            open_list = kind
            for l in b:
                item = l.split(' ', 1)[1]
                body.append('<text:list-item><text:p text:style-name="%s">%s'
                            '</text:p></text:list-item>'
                            % (pstyle('List'), escape(item)))
            close_list()
            continue
        close_list()
        first = b[0]
        if first.startswith('## '):
            body.append('<text:h text:style-name="%s" text:outline-level="2">'
                        '%s</text:h>' % (pstyle('H2'), escape(' '.join(b)[3:])))
        elif first.startswith('# '):
            body.append('<text:h text:style-name="%s" text:outline-level="1">'
                        '%s</text:h>' % (pstyle('H1'), escape(' '.join(b)[2:])))
        else:
            body.append('<text:p text:style-name="%s">%s</text:p>'
                        % (pstyle('Body'), escape(' '.join(b))))

    def para(name, extra_par='', extra_txt=''):
        out = []
        for suffix, brk in (('', ''), ('_break', ' fo:break-before="page"')):
            out.append('<style:style style:name="%s%s" style:family="paragraph">'
                       '<style:paragraph-properties%s%s/>'
                       '<style:text-properties%s/></style:style>'
                       % (name, suffix, brk, extra_par, extra_txt))
        return '\n'.join(out)

    bf, hf = opts['body-font'], opts['heading-font']
    styles = '\n'.join([
        para('Body', ' fo:margin-bottom="0.08in" fo:text-align="justify"'),
        para('List', ' fo:margin-bottom="0.03in"'),
        para('H1', ' fo:margin-top="0.1in" fo:margin-bottom="0.12in"',
             ' style:font-name="%s" fo:font-size="18pt" fo:font-weight="bold"' % hf),
        para('H2', ' fo:margin-top="0.12in" fo:margin-bottom="0.08in"',
             ' style:font-name="%s" fo:font-size="13pt" fo:font-weight="bold"' % hf),
    ])
    lists = '''
<text:list-style style:name="LBullet">
 <text:list-level-style-bullet text:level="1" text:bullet-char="•">
  <style:list-level-properties text:list-level-position-and-space-mode="label-alignment">
   <style:list-level-label-alignment text:label-followed-by="listtab"
     text:list-tab-stop-position="0.35in" fo:text-indent="-0.2in" fo:margin-left="0.35in"/>
  </style:list-level-properties>
 </text:list-level-style-bullet>
</text:list-style>
<text:list-style style:name="LNumber">
 <text:list-level-style-number text:level="1" style:num-suffix="." style:num-format="1">
  <style:list-level-properties text:list-level-position-and-space-mode="label-alignment">
   <style:list-level-label-alignment text:label-followed-by="listtab"
     text:list-tab-stop-position="0.35in" fo:text-indent="-0.25in" fo:margin-left="0.35in"/>
  </style:list-level-properties>
 </text:list-level-style-number>
</text:list-style>'''
    doc = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document %s office:version="1.3"
  office:mimetype="application/vnd.oasis.opendocument.text">
<office:font-face-decls>
 <style:font-face style:name="%s" svg:font-family="'%s'"/>
 <style:font-face style:name="%s" svg:font-family="'%s'"/>
</office:font-face-decls>
<office:styles>
 <style:default-style style:family="paragraph">
  <style:text-properties style:font-name="%s" fo:font-size="%s"
    fo:language="%s" fo:country="%s"
    style:font-name-asian="%s" style:font-size-asian="%s"
    style:font-name-complex="%s" style:font-size-complex="%s"/>
 </style:default-style>
</office:styles>
<office:automatic-styles>
 <style:page-layout style:name="pm1">
  <style:page-layout-properties fo:page-width="8.5in" fo:page-height="11in"
    fo:margin-top="1in" fo:margin-bottom="1in" fo:margin-left="1in"
    fo:margin-right="1in"/>
 </style:page-layout>
%s
%s
</office:automatic-styles>
<office:master-styles>
 <style:master-page style:name="Standard" style:page-layout-name="pm1"/>
</office:master-styles>
<office:body><office:text>
%s
</office:text></office:body>
</office:document>
''' % (NS, bf, bf, hf, hf, bf, opts['size'], lang, country or 'none',
       bf, opts['size'], bf, opts['size'], styles, lists, '\n'.join(body))
    open(dst, 'w', encoding='utf-8').write(doc)


if __name__ == '__main__':
    main(sys.argv[1], sys.argv[2])
