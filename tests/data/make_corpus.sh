#!/bin/sh
# Regenerates every PDF of the test corpus from the sources in src/, then
# manifest.tsv and the pdftotext reference outputs in expected/.
#
# CI never runs this; it records how each file was made.  Needs Debian's
# poppler-utils qpdf mupdf-tools ghostscript groff texlive-latex-base
# texlive-fonts-recommended python3-reportlab python3-fonttools
# libreoffice-writer-nogui fonts-dejavu-core fonts-liberation2
# fonts-arphic-uming fonts-noto-cjk.
#
# Output is byte-for-byte repeatable except for the LibreOffice and cairo
# files (and the files derived from them), which carry the time of
# conversion, and the encrypted files, whose keys are salted at random.
set -eu

cd "$(dirname "$0")"
DATA=$(pwd)
SRC=$DATA/src
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

export SOURCE_DATE_EPOCH=1700000000 FORCE_SOURCE_DATE=1 TZ=UTC LC_ALL=C.UTF-8
PY=/usr/bin/python3           # Debian's python, which has reportlab

note() { printf '== %s\n' "$*" >&2; }

# --- pdfTeX ---------------------------------------------------------------
# pdfTeX hashes the output file name into /ID, so it runs inside $WORK
# and writes a relative name there.
latex() { # source-name output-name
    for pass in 1 2; do
        (cd "$WORK" && pdflatex -interaction=nonstopmode -halt-on-error \
            "$SRC/$1.tex" >"$1.out" 2>&1) ||
            { cat "$WORK/$1.out" >&2; exit 1; }
    done
    cp "$WORK/$1.pdf" "$DATA/$2"
}
note pdflatex
latex latex_article latex_article.pdf         # classic xref, Differences
latex latex_lmodern latex_lmodern_t1.pdf      # T1 encoding, Latin Modern
latex latex_objstm latex_objstm.pdf           # defaults: object streams

# --- LibreOffice ----------------------------------------------------------
lo() { # source-name output-name
    $PY "$SRC/fodt.py" "$SRC/$1.txt" "$WORK/$1.fodt"
    soffice -env:UserInstallation="file://$WORK/lo-profile" --headless \
        --convert-to pdf --outdir "$WORK" "$WORK/$1.fodt" >/dev/null 2>&1
    cp "$WORK/$1.pdf" "$DATA/$2"
}
note LibreOffice
lo lo_office_move lo_office_move.pdf
lo lo_chinese lo_chinese.pdf
lo lo_japanese lo_japanese.pdf

# cairo rewrites the Chinese page with Type0/Identity-H TrueType fonts.
note cairo
pdftocairo -pdf "$DATA/lo_chinese.pdf" "$DATA/cairo_chinese.pdf"

# --- Ghostscript ----------------------------------------------------------
note ghostscript
ps2pdf "$SRC/gs_museum.ps" "$DATA/gs_museum.pdf"
groff -k -Tps -ms "$SRC/groff_guide.ms" >"$WORK/groff_guide.ps"
ps2pdf "$WORK/groff_guide.ps" "$DATA/groff_guide.pdf"

# --- reportlab ------------------------------------------------------------
note reportlab
$PY "$SRC/reportlab_docs.py" "$DATA"

# --- MuPDF (mutool create) ------------------------------------------------
note mutool
pages=$($PY "$SRC/word_like.py" "$SRC/word_letter.txt" "$WORK/word")
# shellcheck disable=SC2086
mutool create -o "$DATA/word_like_winansi.pdf" -O compress $pages
$PY "$SRC/mutool_cjk.py" "$SRC/mutool_cjk.txt" "$WORK/cjk.txt"
mutool create -o "$DATA/mutool_cjk_noembed.pdf" -O compress "$WORK/cjk.txt"

# --- qpdf rewrites of latex_article.pdf -----------------------------------
note qpdf
qpdf --deterministic-id --object-streams=generate \
    latex_article.pdf qpdf_objstm_generate.pdf
qpdf --deterministic-id --qdf --object-streams=disable \
    latex_article.pdf qpdf_qdf.pdf
qpdf --deterministic-id --linearize latex_article.pdf qpdf_linearized.pdf

# --- incremental update of reportlab_quarterly.pdf ------------------------
note incremental update
$PY "$SRC/incremental.py" reportlab_quarterly.pdf incremental_update.pdf \
    '(by half a penny a litre.)' \
    '(by half a penny a litre. This sentence was added in the second revision.)'

# --- encryption -----------------------------------------------------------
note encryption
qpdf --encrypt user owner 256 -- latex_article.pdf encrypted_aes256_userpw.pdf
qpdf --encrypt "" owner 256 -- gs_museum.pdf encrypted_aes256_empty.pdf
qpdf --encrypt "" owner 128 --use-aes=y -- \
    lo_office_move.pdf encrypted_aes128.pdf
qpdf --allow-weak-crypto --encrypt "" owner 128 --use-aes=n -- \
    reportlab_quarterly.pdf encrypted_rc4_128.pdf

# --- checks, manifest, reference text --------------------------------------
note checks
# name, producer, description (page counts are filled in from pdfinfo)
cat >"$WORK/list.tsv" <<'EOF'
latex_article.pdf	pdfTeX	article, OT1 Computer Modern Type 1 with /Differences (ligatures at 11-15), no ToUnicode, classic xref
latex_lmodern_t1.pdf	pdfTeX	note in Latin Modern, T1 encoding (/Differences, precomposed accents), ToUnicode
latex_objstm.pdf	pdfTeX	PDF 1.5 defaults: object streams and xref stream, CM Type 1 builtin encoding, ToUnicode
lo_office_move.pdf	LibreOffice	office memo, DejaVu TrueType subsets (custom codes, no /Encoding), ToUnicode with ff/fi ligatures
lo_chinese.pdf	LibreOffice	Simplified Chinese notice, AR PL UMing TrueType subset with ToUnicode
lo_japanese.pdf	LibreOffice	Japanese travel note, Noto Sans CJK JP converted to a Type 1 subset (/FontFile), builtin encoding, ToUnicode
cairo_chinese.pdf	cairo	lo_chinese.pdf rewritten by pdftocairo: Type0 Identity-H CID TrueType plus a simple TrueType subset
gs_museum.pdf	Ghostscript	hand-written PostScript, Times/Helvetica/Courier as Type 1C subsets, WinAnsi and /Differences with fi/fl, no ToUnicode, Tc/Tw/TJ spacing
groff_guide.pdf	groff+Ghostscript	groff -ms installation guide, Times/Courier Type 1C, groff ligatures via /Differences, no ToUnicode
reportlab_quarterly.pdf	reportlab	report with standard 14 fonts (not embedded, WinAnsi), ASCII85+Flate content, page 3 of short lines
reportlab_cyrillic_greek.pdf	reportlab	Russian and Greek text, DejaVu Sans TrueType subsets with ToUnicode
word_like_winansi.pdf	mutool	business letter, Liberation TrueType with /WinAnsiEncoding, no ToUnicode, curly quotes and dashes
mutool_cjk_noembed.pdf	mutool	Japanese notice, non-embedded CIDFontType0 with /UniJIS-UTF16-H, no ToUnicode
qpdf_objstm_generate.pdf	qpdf	latex_article.pdf with catalog and page tree moved into object streams
qpdf_qdf.pdf	qpdf	latex_article.pdf in QDF form: uncompressed streams, classic xref
qpdf_linearized.pdf	qpdf	latex_article.pdf linearized
incremental_update.pdf	reportlab+script	reportlab_quarterly.pdf plus an appended revision replacing page 1's content and the Info dictionary (/Prev)
encrypted_aes256_userpw.pdf	qpdf	latex_article.pdf, AES-256 (R6), user password "user", owner "owner"
encrypted_aes256_empty.pdf	qpdf	gs_museum.pdf, AES-256 (R6), empty user password, owner "owner"
encrypted_aes128.pdf	qpdf	lo_office_move.pdf, AES-128 (R4), empty user password, owner "owner"
encrypted_rc4_128.pdf	qpdf	reportlab_quarterly.pdf, RC4 128-bit (R3), empty user password, owner "owner"
EOF
printf 'file\tpages\tproducer\tdescription\n' >manifest.tsv
rm -f expected/*.pdftotext.txt
mkdir -p expected
while IFS='	' read -r name producer desc; do
    pw=
    case $name in *_userpw.pdf) pw=--password=user ;; esac
    qpdf $pw --check "$name" >"$WORK/check" 2>&1 ||
        { cat "$WORK/check" >&2; exit 1; }
    case $name in
    encrypted_*)
        pages=encrypted
        ;;
    *)
        pages=$(pdfinfo "$name" | sed -n 's/^Pages: *//p')
        ;;
    esac
    # Reference text for every file a reader can open without a password.
    if pdfinfo "$name" >/dev/null 2>&1; then
        pdftotext -raw -enc UTF-8 "$name" - >"expected/${name%.pdf}.pdftotext.txt"
    fi
    printf '%s\t%s\t%s\t%s\n' "$name" "$pages" "$producer" "$desc" >>manifest.tsv
done <"$WORK/list.tsv"
note done
