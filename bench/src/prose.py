#!/usr/bin/python3
"""Generated prose for the benchmark corpus, and writers for each producer.

The text comes from a fixed vocabulary and a small sentence grammar driven
by a seeded random generator, so every run gives the same documents.  A
document is a list of blocks:

  ('title', text)        document title
  ('chapter', text)      level-1 heading
  ('section', text)      level-2 heading
  ('para', text)         paragraph
  ('list', [item, ...])  bullet list
  ('quote', text)        indented quotation

Text is Unicode with curly quotes, dashes, accented letters, numbers and the
odd per-cent sign or ampersand; each writer escapes it for its producer.

usage: prose.py FORMAT OUT SEED CHAPTERS SECTIONS PARAS
  FORMAT  latex-book | latex-article | ms | fodt
  OUT     output file
  SEED    seed of the random generator
  CHAPTERS, SECTIONS, PARAS  chapters, sections per chapter, paragraphs per
          section (the size of the document)
"""
import random
import sys
from xml.sax.saxutils import escape as xml_escape

NOUNS = '''
account acre afternoon agreement air answer apple archive argument arm
army autumn bank barrel basin basket battery beach bearing bell bench
bicycle bird blanket board boat bone book border bottle bread bridge
brother budget building cabin cable camera canal candle captain carpet
cart castle cellar century chair chapter cheese chimney church circle
city clerk cliff clock cloud coast coin collar colour committee company
copper corner cottage council country county courage court cousin crane
crew crop crowd current custom dairy daughter decade desk diary dinner
distance doctor door drawer dream driver drum engine evening factory
family farm farmer father fence ferry field figure finger fire fish
flag flock floor flour flower fog forest fountain frame friend furnace
garden gate glass glove grain grammar granite harbour harvest hedge hill
history horse hospital hotel hour house hunter island jacket journal
journey judge kettle kitchen knife label ladder lake lamp language
lantern lawyer leather ledger lesson letter library lighthouse lock
machine manager map market meadow merchant message method mill minister
mirror moment month morning mountain museum needle newspaper night
notebook number ocean office officer orchard oven owner painter palace
paper parcel parish passenger path pattern pencil pepper picture pier
pilot pipe planet plate pocket poet pond port position pottery powder
printer prison problem question quarry rail railway reader record
region report ribbon river road roof room rope sailor salt school
season secretary servant settlement shadow shelf shepherd ship shop
shore signal silver sister skill sky sleeve slope soldier song spring
square staircase station statue steam stone storm story stove stranger
street student summer surface surveyor table tailor teacher telegraph
theory thread ticket timber tower town track trade train traveller tree
trouble tunnel valley village vineyard voice voyage wagon wall warehouse
watch water weather week well wheel window winter wire witness wood
workshop writer yard
'''.split()

IRREGULAR_PLURALS = {'shelf': 'shelves', 'knife': 'knives', 'child': 'children'}

ADJECTIVES = '''
ancient anxious bare bitter black bold brief bright broad brown busy
calm careful cheap clean clear clever cold common crooked curious damp
dark deep distant dry dull dusty eager early easy elderly empty endless
exact faint familiar famous fierce fine firm flat foreign formal fresh
frozen full gentle golden grand grateful great green grey heavy hidden
high hollow honest huge humble idle important jealous kind large late
lazy level little lonely long loud low lucky modest narrow native neat
nervous new noble northern obvious odd old open orange ordinary pale
patient plain pleasant polite poor proud public quick quiet rapid rare
raw red regular remote rich rough round royal rusty sad safe salty
secret serious shallow sharp short silent simple slow small smooth
soft solid southern sparse splendid square steady steep stiff strange
strict strong sudden sweet tall tame tender thick thin tidy tired
total tough tremendous uneasy usual vast violent warm weary western
white wide wild wise wooden worn yellow young
'''.split()

# (base, past) pairs of transitive verbs.
VERBS = [tuple(p.split('/')) for p in '''
accept/accepted admire/admired answer/answered arrange/arranged
borrow/borrowed build/built buy/bought carry/carried catch/caught
change/changed check/checked choose/chose clean/cleaned close/closed
collect/collected count/counted cover/covered cross/crossed cut/cut
deliver/delivered describe/described discover/discovered draw/drew
drive/drove examine/examined explain/explained fetch/fetched fill/filled
find/found finish/finished fix/fixed follow/followed forget/forgot
gather/gathered guard/guarded hang/hung hear/heard hold/held
improve/improved inspect/inspected keep/kept know/knew lead/led
leave/left lend/lent lift/lifted load/loaded lose/lost mark/marked
measure/measured meet/met mend/mended move/moved notice/noticed
offer/offered open/opened order/ordered paint/painted pass/passed
photograph/photographed plant/planted prepare/prepared print/printed
protect/protected pull/pulled push/pushed question/questioned
reach/reached read/read receive/received record/recorded repair/repaired
replace/replaced rescue/rescued return/returned ring/rang sell/sold
send/sent sew/sewed share/shared shift/shifted show/showed sign/signed
sketch/sketched sort/sorted steer/steered study/studied survey/surveyed
take/took teach/taught test/tested tie/tied trace/traced trust/trusted
turn/turned value/valued visit/visited wash/washed watch/watched
weigh/weighed wind/wound wrap/wrapped write/wrote
'''.split()]

# Intransitive verbs in the past tense.
VERBS_INTR = '''
waited hesitated laughed vanished agreed listened wandered slept
returned arrived collapsed recovered shivered paused lingered
complained improved succeeded failed prospered disappeared
'''.split()

ADVERBS = '''
briefly calmly carefully certainly cheerfully clearly eagerly easily
evidently finally firmly gently gladly gradually hardly honestly
immediately largely lightly loudly mostly nearly neatly often openly
patiently plainly politely promptly quickly quietly rarely readily
roughly seldom sharply silently simply slowly softly steadily strictly
suddenly surely swiftly thoroughly warmly wisely
'''.split()

PREPOSITIONS = '''
above across after against along among around at before behind below
beneath beside between beyond by during from inside near past through
toward under until upon within without
'''.split()

MODALS = 'could would should might must'.split()

NAMES = '''
Agnes Albert Amélie Anders Annika Arthur Beatrix Björn Carlos Cecilia
Clara Conrad Dagny Edmund Elena Elsa Émile Esther Felix François
Frieda Gareth Greta Gustav Hannah Harold Helena Henrik Ida Ingrid Isaac
Jakob José Judith Karin Laszlo León Lotte Lucia Magnus Margit Matthias
Miriam Nils Noémie Olaf Oskar Pablo Petra Rosa Rupert Sigrid Søren
Stefan Teresa Tobias Ursula Viktor Walter Zoë
'''.split()

SURNAMES = '''
Abbott Almeida Bauer Bergström Brandt Castellanos Dvořák Delacroix
Eriksen Fairweather Fischer Gallagher Haugen Holloway Iversen Jansen
Kowalski Lindqvist Lombardi Marchetti Moreau Müller Nakamura Novák
Okafor Petrović Quinn Ramírez Rasmussen Schäfer Sørensen Thornbury
Vasquez Weber Whitlock Zimmermann
'''.split()

PLACES = '''
Aberdeen Ålesund Antwerp Bergen Bilbao Bordeaux Bruges Cádiz Coimbra
Cork Dresden Dundee Galway Gdańsk Genoa Ghent Göteborg Hamburg Inverness
Kraków Lübeck Lyon Málaga Marseille Montréal Nantes Porto Reykjavík
Rotterdam Salzburg Seville Stavanger Toulouse Trieste Turku Valencia
Zürich
'''.split()

CONNECTIVES = ['and', 'but', 'yet', 'so', 'while', 'because', 'although',
               'until', 'before', 'after', 'whereas']

OPENERS = ['In the end', 'For a while', 'By the spring', 'That evening',
           'Even so', 'At first', 'Without a word', 'Later that year',
           'On the whole', 'In the meantime', 'Before long', 'As a rule',
           'To everyone’s surprise', 'Now and then', 'Not long afterwards']

UNITS = ['miles', 'kilometres', 'tonnes', 'litres', 'feet', 'metres',
         'acres', 'pounds', 'bushels', 'hours', 'days', 'crowns', 'florins']


def plural(n):
    if n in IRREGULAR_PLURALS:
        return IRREGULAR_PLURALS[n]
    if n.endswith(('s', 'sh', 'ch', 'x')):
        return n + 'es'
    if n.endswith('y') and n[-2] not in 'aeiou':
        return n[:-1] + 'ies'
    return n + 's'


def article(word):
    return 'an' if word[0] in 'aeiou' else 'a'


def capitalise(s):
    for i, c in enumerate(s):
        if c.isalpha():
            return s[:i] + c.upper() + s[i + 1:]
    return s


class Prose:
    def __init__(self, seed):
        self.r = random.Random(seed)

    def pick(self, seq):
        return self.r.choice(seq)

    def name(self):
        if self.r.random() < 0.4:
            return self.pick(NAMES) + ' ' + self.pick(SURNAMES)
        return self.pick(NAMES)

    def number(self):
        k = self.r.random()
        if k < 0.3:
            return str(self.r.randint(2, 99))
        if k < 0.6:
            return '{:,}'.format(self.r.randint(100, 99999))
        if k < 0.8:
            return '%d.%d' % (self.r.randint(0, 40), self.r.randint(0, 9))
        return str(self.r.randint(1700, 1939))

    def noun_phrase(self, plural_ok=True):
        noun = self.pick(NOUNS)
        adj = self.pick(ADJECTIVES) if self.r.random() < 0.55 else None
        if plural_ok and self.r.random() < 0.3:
            det = self.pick(['the', 'some', 'their', 'our', 'those',
                             'several', 'many', 'its'])
            words = [det] + ([adj] if adj else []) + [plural(noun)]
            return ' '.join(words)
        det = self.pick(['the', 'the', 'the', 'a', 'this', 'that', 'every',
                         'her', 'his', 'their', 'our', 'its', 'each'])
        words = ([adj] if adj else []) + [noun]
        if det == 'a':
            det = article(words[0])
        return ' '.join([det] + words)

    def place_phrase(self):
        return self.pick(PREPOSITIONS) + ' ' + self.noun_phrase()

    def clause(self):
        k = self.r.random()
        if k < 0.3:
            s = '%s %s %s' % (self.noun_phrase(), self.pick(VERBS)[1],
                              self.noun_phrase())
            if self.r.random() < 0.6:
                s += ' ' + self.place_phrase()
        elif k < 0.45:
            s = '%s %s %s' % (self.name(), self.pick(VERBS)[1],
                              self.noun_phrase())
        elif k < 0.55:
            s = '%s %s %s' % (self.noun_phrase(), self.pick(VERBS_INTR),
                              self.pick(ADVERBS))
        elif k < 0.65:
            s = '%s said that %s %s %s %s' % (
                self.name(), self.noun_phrase(), self.pick(MODALS),
                self.pick(VERBS)[0], self.noun_phrase())
        elif k < 0.73:
            s = '%s %s %s %s %s' % (self.noun_phrase(), self.pick(ADVERBS),
                                    self.pick(VERBS)[1], self.number(),
                                    self.pick(UNITS))
        elif k < 0.8:
            s = 'nobody %s %s %s' % (self.pick(VERBS)[1], self.noun_phrase(),
                                     self.place_phrase())
        elif k < 0.87:
            s = '%s %s %s %s of %s' % (
                self.noun_phrase(), self.pick(VERBS)[1], self.number(),
                self.pick(UNITS), self.pick(NOUNS))
        else:
            s = 'the %s from %s %s %s' % (
                self.pick(NOUNS), self.pick(PLACES), self.pick(VERBS)[1],
                self.noun_phrase())
        return s

    def sentence(self):
        k = self.r.random()
        if k < 0.35:
            s = self.clause()
        elif k < 0.55:
            s = '%s %s %s' % (self.clause(), self.pick(CONNECTIVES),
                              self.clause())
            s = s.replace(' and ', ', and ', 1) if self.r.random() < 0.3 else s
        elif k < 0.65:
            s = '%s, %s' % (self.pick(OPENERS), self.clause())
        elif k < 0.72:
            s = '%s \u2014 %s and %s \u2014 %s %s' % (
                self.noun_phrase(False), self.pick(ADJECTIVES),
                self.pick(ADJECTIVES), self.pick(VERBS)[1], self.noun_phrase())
        elif k < 0.8:
            q = capitalise(self.clause())
            if self.r.random() < 0.5:
                return '\u201c%s,\u201d said %s.' % (q, self.name())
            return '%s said, \u201c%s.\u201d' % (self.name(), q)
        elif k < 0.85:
            s = 'in %d, %s' % (self.r.randint(1780, 1935), self.clause())
        elif k < 0.89:
            s = '%s (about %s per cent of %s) %s %s' % (
                self.noun_phrase(), self.r.randint(3, 97),
                self.noun_phrase(), self.pick(VERBS_INTR), self.pick(ADVERBS))
        elif k < 0.92:
            return 'Why did %s %s %s?' % (self.noun_phrase(),
                                          self.pick(VERBS)[0],
                                          self.noun_phrase())
        elif k < 0.95:
            s = '%s; %s' % (self.clause(), self.clause())
        elif k < 0.97:
            s = '%s & %s %s %s' % (self.pick(SURNAMES), self.pick(SURNAMES),
                                   self.pick(VERBS)[1], self.noun_phrase())
        else:
            s = '%s, %s and %s %s %s' % (
                self.pick(PLACES), self.pick(PLACES), self.pick(PLACES),
                self.pick(VERBS)[1], self.noun_phrase())
        return capitalise(s) + '.'

    def paragraph(self):
        n = self.r.randint(3, 9)
        return ' '.join(self.sentence() for _ in range(n))

    def heading(self):
        k = self.r.random()
        if k < 0.3:
            h = 'The %s %s of %s' % (self.pick(ADJECTIVES), self.pick(NOUNS),
                                     self.pick(PLACES))
        elif k < 0.5:
            h = 'On %s and %s' % (plural(self.pick(NOUNS)),
                                  plural(self.pick(NOUNS)))
        elif k < 0.7:
            h = '%s\u2019s %s' % (self.pick(NAMES), self.pick(NOUNS))
        elif k < 0.85:
            h = 'A %s %s' % (self.pick(ADJECTIVES), self.pick(NOUNS))
            h = h.replace('A ', article(h[2:]).capitalize() + ' ', 1)
        else:
            h = 'From %s to %s' % (self.pick(PLACES), self.pick(PLACES))
        return ' '.join(capitalise(w) if w not in ('of', 'and', 'to')
                        else w for w in h.split(' '))

    def bullets(self):
        return [capitalise(self.clause()) + ';'
                for _ in range(self.r.randint(3, 6))]

    def document(self, chapters, sections, paras):
        blocks = [('title', self.heading())]
        for _ in range(chapters):
            blocks.append(('chapter', self.heading()))
            for _ in range(sections):
                blocks.append(('section', self.heading()))
                for _ in range(paras):
                    k = self.r.random()
                    if k < 0.06:
                        blocks.append(('list', self.bullets()))
                    elif k < 0.09:
                        blocks.append(('quote', self.paragraph()))
                    else:
                        blocks.append(('para', self.paragraph()))
        return blocks


# --- writers ---------------------------------------------------------------

def latex_text(s):
    s = (s.replace('&', '\\&').replace('%', '\\%')
         .replace('#', '\\#').replace('$', '\\$').replace('_', '\\_'))
    return (s.replace('\u201c', '``').replace('\u201d', "''")
            .replace('\u2019', "'").replace('\u2014', '---')
            .replace('\u2013', '--'))


LATEX_PREAMBLES = {
    # pdfTeX's defaults: PDF 1.5 with object streams and an xref stream,
    # OT1 Computer Modern (accents built from separate glyphs).
    'latex-book': r'''\documentclass[10pt]{book}
\usepackage[utf8]{inputenc}
\renewcommand{\labelitemi}{$\bullet$}
\title{%(title)s}
\author{Benchmark Press}
\date{14 November 2023}
''',
    # Classic cross-reference table, no object streams; T1 Latin Modern,
    # two columns.
    'latex-article': r'''\pdfobjcompresslevel=0
\pdfcompresslevel=9
\documentclass[10pt,twocolumn]{article}
\usepackage[utf8]{inputenc}
\usepackage[T1]{fontenc}
\usepackage{lmodern}
\title{%(title)s}
\author{Benchmark Press}
\date{14 November 2023}
''',
}


def write_latex(blocks, fmt, out):
    book = fmt == 'latex-book'
    title = latex_text(blocks[0][1])
    w = [LATEX_PREAMBLES[fmt] % {'title': title}, '\\begin{document}\n',
         '\\maketitle\n']
    for kind, val in blocks[1:]:
        if kind == 'chapter':
            w.append('\n\\%s{%s}\n' % ('chapter' if book else 'section',
                                       latex_text(val)))
        elif kind == 'section':
            w.append('\n\\%s{%s}\n' % ('section' if book else 'subsection',
                                       latex_text(val)))
        elif kind == 'para':
            w.append('\n' + latex_text(val) + '\n')
        elif kind == 'quote':
            w.append('\n\\begin{quote}\n%s\n\\end{quote}\n' % latex_text(val))
        elif kind == 'list':
            w.append('\n\\begin{itemize}\n')
            w.extend('\\item %s\n' % latex_text(i) for i in val)
            w.append('\\end{itemize}\n')
    w.append('\\end{document}\n')
    open(out, 'w', encoding='utf-8').write(''.join(w))


MS_FALLBACK = str.maketrans({'\u0144': 'n', '\u0159': 'r', '\u0107': 'c'})


def ms_text(s):
    # groff reads UTF-8 through preconv (groff -k); a backslash is the only
    # escape character, and a line must not start with a dot or apostrophe.
    s = s.replace('\\', '\\e')
    # groff's Times lacks these letters; write them without the accent.
    s = s.translate(MS_FALLBACK)
    if s[:1] in ('.', "'"):
        s = '\\&' + s
    return s


def write_ms(blocks, out):
    w = ['.nr PS 11\n.nr VS 13\n.TL\n%s\n.AU\nBenchmark Press\n' %
         ms_text(blocks[0][1])]
    chapter = 0
    for kind, val in blocks[1:]:
        if kind == 'chapter':
            chapter += 1
            w.append('.bp\n' if chapter > 1 else '')
            w.append('.NH 1\n%s\n' % ms_text(val))
        elif kind == 'section':
            w.append('.NH 2\n%s\n' % ms_text(val))
        elif kind == 'para':
            w.append('.PP\n%s\n' % ms_text(val))
        elif kind == 'quote':
            w.append('.QS\n.LP\n%s\n.QE\n' % ms_text(val))
        elif kind == 'list':
            w.extend('.IP \\(bu 2\n%s\n' % ms_text(i) for i in val)
            w.append('.LP\n')
    open(out, 'w', encoding='utf-8').write(''.join(w))


FODT_HEAD = '''<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
  xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"
  office:version="1.3" office:mimetype="application/vnd.oasis.opendocument.text">
<office:font-face-decls>
 <style:font-face style:name="Liberation Serif" svg:font-family="'Liberation Serif'"/>
 <style:font-face style:name="Liberation Sans" svg:font-family="'Liberation Sans'"/>
</office:font-face-decls>
<office:styles>
 <style:default-style style:family="paragraph">
  <style:text-properties style:font-name="Liberation Serif" fo:font-size="11pt"
    fo:language="en" fo:country="GB"/>
 </style:default-style>
</office:styles>
<office:automatic-styles>
 <style:page-layout style:name="pm1">
  <style:page-layout-properties fo:page-width="21cm" fo:page-height="29.7cm"
    fo:margin-top="2.2cm" fo:margin-bottom="2.2cm" fo:margin-left="2.5cm"
    fo:margin-right="2.5cm"/>
 </style:page-layout>
 <style:style style:name="Body" style:family="paragraph">
  <style:paragraph-properties fo:margin-bottom="0.2cm" fo:text-align="justify"/>
 </style:style>
 <style:style style:name="Quote" style:family="paragraph">
  <style:paragraph-properties fo:margin-left="1cm" fo:margin-right="1cm" fo:margin-bottom="0.2cm"/>
  <style:text-properties fo:font-style="italic"/>
 </style:style>
 <style:style style:name="Item" style:family="paragraph">
  <style:paragraph-properties fo:margin-left="0.8cm" fo:text-indent="-0.4cm" fo:margin-bottom="0.05cm"/>
 </style:style>
 <style:style style:name="Title" style:family="paragraph">
  <style:paragraph-properties fo:margin-bottom="0.5cm" fo:text-align="center"/>
  <style:text-properties style:font-name="Liberation Sans" fo:font-size="22pt" fo:font-weight="bold"/>
 </style:style>
 <style:style style:name="H1" style:family="paragraph">
  <style:paragraph-properties fo:break-before="page" fo:margin-bottom="0.3cm"/>
  <style:text-properties style:font-name="Liberation Sans" fo:font-size="17pt" fo:font-weight="bold"/>
 </style:style>
 <style:style style:name="H2" style:family="paragraph">
  <style:paragraph-properties fo:margin-top="0.3cm" fo:margin-bottom="0.15cm"/>
  <style:text-properties style:font-name="Liberation Sans" fo:font-size="13pt" fo:font-weight="bold"/>
 </style:style>
</office:automatic-styles>
<office:master-styles>
 <style:master-page style:name="Standard" style:page-layout-name="pm1"/>
</office:master-styles>
<office:body><office:text>
'''


def write_fodt(blocks, out):
    w = [FODT_HEAD,
         '<text:p text:style-name="Title">%s</text:p>\n' %
         xml_escape(blocks[0][1])]
    for kind, val in blocks[1:]:
        if kind == 'chapter':
            w.append('<text:h text:style-name="H1" text:outline-level="1">'
                     '%s</text:h>\n' % xml_escape(val))
        elif kind == 'section':
            w.append('<text:h text:style-name="H2" text:outline-level="2">'
                     '%s</text:h>\n' % xml_escape(val))
        elif kind == 'para':
            w.append('<text:p text:style-name="Body">%s</text:p>\n' %
                     xml_escape(val))
        elif kind == 'quote':
            w.append('<text:p text:style-name="Quote">%s</text:p>\n' %
                     xml_escape(val))
        elif kind == 'list':
            w.extend('<text:p text:style-name="Item">\u2022 %s</text:p>\n' %
                     xml_escape(i) for i in val)
    w.append('</office:text></office:body>\n</office:document>\n')
    open(out, 'w', encoding='utf-8').write(''.join(w))


def main(argv):
    if len(argv) != 7:
        sys.exit(__doc__)
    fmt, out = argv[1], argv[2]
    seed, chapters, sections, paras = (int(a) for a in argv[3:7])
    blocks = Prose(seed).document(chapters, sections, paras)
    if fmt in LATEX_PREAMBLES:
        write_latex(blocks, fmt, out)
    elif fmt == 'ms':
        write_ms(blocks, out)
    elif fmt == 'fodt':
        write_fodt(blocks, out)
    else:
        sys.exit('prose.py: unknown format %s' % fmt)


if __name__ == '__main__':
    main(sys.argv)
