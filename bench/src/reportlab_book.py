#!/usr/bin/python3
"""Benchmark document made with reportlab's platypus in the standard 14
fonts (not embedded, WinAnsiEncoding): Times-Roman body, Helvetica-Bold
headings, Times-Italic quotations, a Courier table after every chapter.

usage: reportlab_book.py OUT SEED CHAPTERS SECTIONS PARAS
"""
import os
import sys

from reportlab.lib.pagesizes import A4
from reportlab.lib.styles import ParagraphStyle
from reportlab.lib.units import mm
from reportlab.platypus import (ListFlowable, ListItem, PageBreak, Paragraph,
                                SimpleDocTemplate, Table)
from xml.sax.saxutils import escape

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import prose  # noqa: E402

ST = {
    'title': ParagraphStyle('title', fontName='Helvetica-Bold', fontSize=20,
                            leading=24, spaceAfter=14),
    'h1': ParagraphStyle('h1', fontName='Helvetica-Bold', fontSize=16,
                         leading=20, spaceAfter=8),
    'h2': ParagraphStyle('h2', fontName='Helvetica-Bold', fontSize=12,
                         leading=15, spaceBefore=8, spaceAfter=4),
    'body': ParagraphStyle('body', fontName='Times-Roman', fontSize=10.5,
                           leading=13, spaceAfter=5, alignment=4),
    'quote': ParagraphStyle('quote', fontName='Times-Italic', fontSize=10,
                            leading=12.5, leftIndent=20, rightIndent=20,
                            spaceAfter=5),
    'item': ParagraphStyle('item', fontName='Times-Roman', fontSize=10.5,
                           leading=13),
}


def page_number(canvas, doc):
    canvas.saveState()
    canvas.setFont('Helvetica', 8)
    canvas.drawCentredString(A4[0] / 2, 12 * mm, 'Page %d' % doc.page)
    canvas.restoreState()


def ledger(p):
    rows = [['Item', 'Place', 'Quantity', 'Year']]
    for _ in range(p.r.randint(6, 14)):
        rows.append([p.pick(prose.NOUNS), p.pick(prose.PLACES),
                     p.number(), str(p.r.randint(1800, 1935))])
    t = Table(rows)
    t.setStyle([('FONT', (0, 0), (-1, -1), 'Courier', 8.5),
                ('FONT', (0, 0), (-1, 0), 'Courier-Bold', 8.5)])
    return t


def main(out, seed, chapters, sections, paras):
    p = prose.Prose(seed)
    blocks = p.document(chapters, sections, paras)
    story = [Paragraph(escape(blocks[0][1]), ST['title'])]
    first = True
    for kind, val in blocks[1:]:
        if kind == 'chapter':
            if not first:
                story.append(ledger(p))
                story.append(PageBreak())
            first = False
            story.append(Paragraph(escape(val), ST['h1']))
        elif kind == 'section':
            story.append(Paragraph(escape(val), ST['h2']))
        elif kind == 'para':
            story.append(Paragraph(escape(val), ST['body']))
        elif kind == 'quote':
            story.append(Paragraph(escape(val), ST['quote']))
        elif kind == 'list':
            story.append(ListFlowable(
                [ListItem(Paragraph(escape(i), ST['item'])) for i in val],
                bulletType='bullet', start='\u2022', leftIndent=14))
    story.append(ledger(p))
    doc = SimpleDocTemplate(out, pagesize=A4, invariant=1,
                            title=blocks[0][1], author='Benchmark Press',
                            leftMargin=22 * mm, rightMargin=22 * mm,
                            topMargin=20 * mm, bottomMargin=20 * mm)
    doc.build(story, onFirstPage=page_number, onLaterPages=page_number)


if __name__ == '__main__':
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(sys.argv[1], *(int(a) for a in sys.argv[2:]))
