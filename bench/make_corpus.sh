#!/bin/sh
# Builds the benchmark corpus into bench/corpus/ from the generators in
# bench/src/, then bench/corpus/manifest.tsv.  The PDFs are large and are
# not committed; bench/compare runs this script when the corpus is missing.
#
# Needs Debian's poppler-utils qpdf ghostscript groff texlive-latex-base
# texlive-fonts-recommended lmodern python3-reportlab
# libreoffice-writer-nogui fonts-liberation2.  Takes about half a minute to a minute.
#
# Every file is byte-for-byte repeatable except lo_report.pdf, which
# LibreOffice stamps with the time of conversion.
set -eu

cd "$(dirname "$0")"
BENCH=$(pwd)
SRC=$BENCH/src
OUT=$BENCH/corpus
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

export SOURCE_DATE_EPOCH=1700000000 FORCE_SOURCE_DATE=1 TZ=UTC LC_ALL=C.UTF-8
export PYTHONDONTWRITEBYTECODE=1
PY=/usr/bin/python3           # Debian's python, which has reportlab
START=$(date +%s)

note() { printf '== %s (%ss)\n' "$*" $(($(date +%s) - START)) >&2; }

mkdir -p "$OUT"
rm -f "$OUT"/*.pdf "$OUT"/manifest.tsv

# LibreOffice is the slowest producer and needs nothing else: start it first
# and collect it at the end.
note LibreOffice, in the background
$PY "$SRC/prose.py" fodt "$WORK/lo_report.fodt" 5 12 6 6
(soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
    --convert-to pdf --outdir "$WORK" "$WORK/lo_report.fodt" \
    >"$WORK/lo.out" 2>&1 && cp "$WORK/lo_report.pdf" "$OUT/") &
LO_PID=$!

# pdfTeX hashes the output file name into /ID, so it runs inside $WORK and
# writes a relative name there.  Two passes: the book has a table of
# contents.
latex() { # format name seed chapters sections paras
    $PY "$SRC/prose.py" "$1" "$WORK/$2.tex" "$3" "$4" "$5" "$6"
    for pass in 1 2; do
        (cd "$WORK" && pdflatex -interaction=nonstopmode -halt-on-error \
            "$2.tex" >"$2.out" 2>&1) ||
            { tail -40 "$WORK/$2.out" >&2; exit 1; }
    done
    cp "$WORK/$2.pdf" "$OUT/$2.pdf"
}
note pdflatex book
latex latex-book latex_book 1 118 8 8
note pdflatex two-column article
latex latex-article latex_twocol 2 34 6 6

note qpdf
qpdf --deterministic-id --object-streams=generate \
    "$OUT/latex_twocol.pdf" "$OUT/latex_twocol_objstm.pdf"
# The first 20 pages of the book, for the per-page cost of a short file.
qpdf --deterministic-id "$OUT/latex_book.pdf" --pages "$OUT/latex_book.pdf" 1-20 -- \
    "$OUT/latex_book_slice20.pdf"

note groff and Ghostscript
$PY "$SRC/prose.py" ms "$WORK/groff_manual.ms" 4 25 6 6
groff -k -Tps -ms "$WORK/groff_manual.ms" >"$WORK/groff_manual.ps" 2>"$WORK/groff.err"
ps2pdf "$WORK/groff_manual.ps" "$OUT/groff_manual.pdf"

note reportlab
$PY "$SRC/reportlab_book.py" "$OUT/reportlab_ledger.pdf" 3 38 6 6

note waiting for LibreOffice
wait $LO_PID || { cat "$WORK/lo.out" >&2; exit 1; }

note checks and manifest
# name, role, producer, description.  Role "corpus" files make up the timed
# corpus; "big" is the long document (also part of the corpus); "slice" is
# its first 20 pages, used only for the per-page comparison.
cat >"$WORK/list.tsv" <<'EOF'
latex_book.pdf	big	pdfTeX	book with table of contents, PDF 1.5 object streams and xref stream, OT1 Computer Modern Type 1 subsets
latex_twocol.pdf	corpus	pdfTeX	two-column article, classic xref table (\pdfobjcompresslevel=0), T1 Latin Modern Type 1 subsets
latex_twocol_objstm.pdf	corpus	qpdf	latex_twocol.pdf rewritten with --object-streams=generate
lo_report.pdf	corpus	LibreOffice	report from flat OpenDocument, Liberation TrueType subsets, PDF 1.6
groff_manual.pdf	corpus	groff+Ghostscript	groff -ms manual through ps2pdf, Times Type 1C subsets, no ToUnicode
reportlab_ledger.pdf	corpus	reportlab	platypus book in the standard 14 fonts (not embedded), ASCII85+Flate content, Courier tables
latex_book_slice20.pdf	slice	qpdf	pages 1-20 of latex_book.pdf
EOF
printf 'file\tpages\tbytes\trole\tproducer\tdescription\n' >"$OUT/manifest.tsv"
while IFS='	' read -r name role producer desc; do
    qpdf --check "$OUT/$name" >"$WORK/check" 2>&1 ||
        { cat "$WORK/check" >&2; exit 1; }
    pages=$(pdfinfo "$OUT/$name" | sed -n 's/^Pages: *//p')
    bytes=$(wc -c <"$OUT/$name")
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$pages" "$bytes" "$role" \
        "$producer" "$desc" >>"$OUT/manifest.tsv"
done <"$WORK/list.tsv"
column -t -s '	' "$OUT/manifest.tsv" | cut -c1-100 >&2
note done
