#!/usr/bin/python3
"""Make the two reportlab documents of the corpus.

usage: reportlab_docs.py OUTDIR

  reportlab_quarterly.pdf      3 pages, standard 14 fonts (Helvetica,
                               Times-Roman, Courier), WinAnsiEncoding;
                               page 3 is a stock list of many short lines.
  reportlab_cyrillic_greek.pdf 2 pages, DejaVu Sans embedded as TrueType
                               subsets (reportlab's own encoding + ToUnicode).
"""
import os
import sys

from reportlab.lib.pagesizes import A4
from reportlab.lib.styles import ParagraphStyle
from reportlab.lib.units import mm
from reportlab.pdfbase import pdfmetrics
from reportlab.pdfbase.ttfonts import TTFont
from reportlab.platypus import (ListFlowable, ListItem, PageBreak, Paragraph,
                                SimpleDocTemplate, Spacer)


def styles(body, bold, mono='Courier'):
    return {
        'title': ParagraphStyle('title', fontName=bold, fontSize=18,
                                leading=22, spaceAfter=10),
        'h2': ParagraphStyle('h2', fontName=bold, fontSize=13, leading=16,
                             spaceBefore=10, spaceAfter=6),
        'body': ParagraphStyle('body', fontName=body, fontSize=11,
                               leading=14, spaceAfter=6),
        'item': ParagraphStyle('item', fontName=body, fontSize=11,
                               leading=14),
        'mono': ParagraphStyle('mono', fontName=mono, fontSize=9,
                               leading=11),
    }


def bullets(items, st):
    return ListFlowable([ListItem(Paragraph(t, st['item'])) for t in items],
                        bulletType='bullet', start='\u2022', leftIndent=14)


def quarterly(path):
    st = styles('Times-Roman', 'Helvetica-Bold')
    story = [
        Paragraph('Northfield Dairy \u2014 Third Quarter Report',
                  st['title']),
        Paragraph('Prepared for the members\u2019 meeting of 20 October 2023',
                  ParagraphStyle('sub', fontName='Helvetica', fontSize=10,
                                 leading=13, spaceAfter=10)),
        Paragraph('Summary', st['h2']),
        Paragraph('Milk intake for the quarter was 4.2 million litres, three '
                  'per cent above the same quarter last year. The dry August '
                  'reduced yields on the upland farms, but the new members in '
                  'the valley more than made up the difference. Prices held '
                  'steady until September, when the main buyer cut its base '
                  'price by half a penny a litre.', st['body']),
        Paragraph('The board\u2019s view is that the cut is temporary. '
                  'Wholesale butter prices have already begun to recover, and '
                  'the buyer has said \u2014 informally, and not for the first '
                  'time \u2014 that it will \u201creview the position in the '
                  'new year\u201d.', st['body']),
        Paragraph('Operations', st['h2']),
        Paragraph('The highlights of the quarter were:', st['body']),
        bullets(['the second cheese vat came into service on 4 July, two '
                 'weeks ahead of plan;',
                 'the effluent plant passed its annual audit with no findings;',
                 'the tanker fleet logged 61,000 miles without a reportable '
                 'incident;',
                 'the office moved to the new accounts software, with one '
                 'week of double running.'], st),
        Spacer(1, 6),
        Paragraph('Cheese production reached 212 tonnes, of which the mature '
                  'cheddar accounted for just over half. The soft cheeses '
                  'launched in spring \u2014 a brie-style round and a washed-rind '
                  'square \u2014 sold out at the summer shows and are now stocked '
                  'by two regional grocers.', st['body']),
        PageBreak(),
        Paragraph('Finance', st['h2']),
        Paragraph('Turnover for the quarter was \u00a33.91 million against a '
                  'budget of \u00a33.85 million. The operating margin fell '
                  'slightly, to 4.6 per cent, because of the higher cost of '
                  'energy and the one-off expense of the software change. '
                  'Cash at the end of September stood at \u00a3612,000.',
                  st['body']),
        Paragraph('Members will find the detailed figures in the attached '
                  'accounts. The table below, taken from the management '
                  'system, shows the intake by route:', st['body']),
        Paragraph('ROUTE      FARMS   LITRES (000)   CHANGE<br/>'
                  'Upland        14          1,108      -6.1%<br/>'
                  'Valley        22          1,964     +11.4%<br/>'
                  'Coastal        9            826      +0.8%<br/>'
                  'Eastfield      6            302      -1.9%<br/>'
                  'TOTAL         51          4,200      +3.0%'.replace(' ', '&nbsp;'),
                  st['mono']),
        Spacer(1, 8),
        Paragraph('Outlook', st['h2']),
        Paragraph('The fourth quarter is traditionally the strongest for '
                  'cheese sales. Orders for the Christmas markets are '
                  'already ten per cent ahead of last year, and the cooperative '
                  'has been invited to supply a hamper company in Leeds. The '
                  'board recommends that members approve the purchase of a '
                  'third vat at the November meeting, so that it can be '
                  'installed during the quieter weeks of January.', st['body']),
        Paragraph('Questions about this report should be addressed to the '
                  'secretary, Mrs Ros\u00e9 Oyelaran, at the dairy office.',
                  st['body']),
        PageBreak(),
        Paragraph('Stock list, 30 September 2023', st['h2']),
    ]
    lines = []
    cheeses = ['Mature cheddar', 'Extra mature cheddar', 'Mild cheddar',
               'Smoked cheddar', 'Red Leicester', 'Double Gloucester',
               'Brie-style round', 'Washed-rind square', 'Cr\u00e8me fra\u00eeche',
               'Salted butter', 'Unsalted butter', 'Whey powder']
    n = 0
    for i, c in enumerate(cheeses):
        for lot in range(4):
            n += 1
            lines.append('%-22s lot %02d-%d  %5d kg' % (c, 38 + i, lot + 1,
                                                       (i * 97 + lot * 41) % 900 + 50))
    for ln in lines:
        story.append(Paragraph(ln.replace(' ', '&nbsp;'),
                               ParagraphStyle('stock', fontName='Courier',
                                              fontSize=9, leading=13)))
    story.append(Spacer(1, 6))
    story.append(Paragraph('%d lots in store; counted by J. Pryor.' % n,
                           ParagraphStyle('end', fontName='Helvetica-Oblique',
                                          fontSize=9, leading=12)))
    doc = SimpleDocTemplate(path, pagesize=A4, invariant=1,
                            leftMargin=25 * mm, rightMargin=25 * mm,
                            topMargin=20 * mm, bottomMargin=20 * mm,
                            title='Third Quarter Report',
                            author='Northfield Cooperative Dairy',
                            subject='Members\' report', creator='platypus')
    doc.build(story)


def cyrillic_greek(path):
    fontdir = '/usr/share/fonts/truetype/dejavu'
    pdfmetrics.registerFont(TTFont('DejaVuSans',
                                   os.path.join(fontdir, 'DejaVuSans.ttf')))
    pdfmetrics.registerFont(TTFont('DejaVuSans-Bold',
                                   os.path.join(fontdir, 'DejaVuSans-Bold.ttf')))
    st = styles('DejaVuSans', 'DejaVuSans-Bold')
    story = [
        Paragraph('Озеро Байкал', st['title']),
        Paragraph('Байкал — самое глубокое озеро на планете и крупнейший '
                  'природный резервуар пресной воды. Его глубина достигает '
                  '1642 метров, а возраст, по оценкам учёных, составляет '
                  'двадцать пять миллионов лет.', st['body']),
        Paragraph('Зимой озеро покрывается прозрачным льдом толщиной до '
                  'метра. В это время по нему прокладывают дороги, а '
                  'туристы приезжают, чтобы увидеть «голубой лёд» и '
                  'знаменитые ледяные гроты.', st['body']),
        Paragraph('Что взять с собой', st['h2']),
        bullets(['тёплую одежду и непромокаемую обувь;',
                 'солнцезащитные очки — лёд ярко отражает свет;',
                 'термос с горячим чаем;',
                 'запасные батареи для фотоаппарата.'], st),
        Spacer(1, 6),
        Paragraph('Жители побережья говорят: «Байкал не прощает '
                  'легкомыслия». Прежде чем выходить на лёд, обязательно '
                  'узнайте прогноз погоды и сообщите кому-нибудь о своём '
                  'маршруте.', st['body']),
        PageBreak(),
        Paragraph('Η Ακρόπολη της Αθήνας', st['title']),
        Paragraph('Η Ακρόπολη είναι ένας βραχώδης λόφος στο κέντρο της Αθήνας, '
                  'πάνω στον οποίο χτίστηκαν τον πέμπτο αιώνα π.Χ. μερικά από '
                  'τα σημαντικότερα μνημεία της αρχαιότητας. Ο Παρθενώνας, '
                  'αφιερωμένος στη θεά Αθηνά, είναι το πιο γνωστό από αυτά.',
                  st['body']),
        Paragraph('Χρήσιμες πληροφορίες', st['h2']),
        bullets(['Ο αρχαιολογικός χώρος ανοίγει στις οκτώ το πρωί.',
                 'Το καλοκαίρι προτιμήστε τις πρωινές ώρες, πριν από τη ζέστη.',
                 'Το Μουσείο της Ακρόπολης βρίσκεται στους πρόποδες του λόφου.'],
                st),
        Spacer(1, 6),
        Paragraph('Όπως έγραψε ένας ταξιδιώτης του δέκατου ένατου αιώνα, '
                  '«όποιος δεν έχει δει την Ακρόπολη στο φως του δειλινού, '
                  'δεν έχει δει την Αθήνα».', st['body']),
    ]
    doc = SimpleDocTemplate(path, pagesize=A4, invariant=1,
                            leftMargin=25 * mm, rightMargin=25 * mm,
                            topMargin=20 * mm, bottomMargin=20 * mm,
                            title='Байкал / Ακρόπολη',
                            author='Travel notes', subject='Travel notes',
                            creator='platypus')
    doc.build(story)


if __name__ == '__main__':
    out = sys.argv[1]
    quarterly(os.path.join(out, 'reportlab_quarterly.pdf'))
    cyrillic_greek(os.path.join(out, 'reportlab_cyrillic_greek.pdf'))
