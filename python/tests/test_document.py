import ctypes
import json
import os
import pathlib

import pytest

import pdftext
from conftest import corpus, data, encrypted, golden

ARTICLE = data("latex_article.pdf")  # 3 pages


@pytest.mark.parametrize("name,pages", corpus())
def test_every_route_gives_the_golden_text(name, pages):
    path = data(name + ".pdf")
    want = golden(name)
    with open(path, "rb") as f:
        contents = f.read()
    with pdftext.Document(path) as doc:
        assert len(doc) == pages
        # Page texts are read by length and freed one by one; joined they
        # must give the whole text back.
        texts = list(doc)
        assert texts == [doc.page(n) for n in range(1, pages + 1)]
        assert "\f".join(texts) == want
        assert doc.text() == want
    with pdftext.Document(contents) as doc:
        assert doc.text() == want
    assert pdftext.extract_all(path) == want
    assert pdftext.page_count(path) == pages
    assert pdftext.extract_page(path, pages) == texts[-1]


@pytest.mark.parametrize(
    "source",
    [
        ARTICLE,
        pathlib.Path(ARTICLE),
        lambda: open(ARTICLE, "rb").read(),
        lambda: bytearray(open(ARTICLE, "rb").read()),
        lambda: memoryview(bytearray(open(ARTICLE, "rb").read())),
        # Every other byte of a doubled buffer: not contiguous.
        lambda: memoryview(bytes(b for c in open(ARTICLE, "rb").read() for b in (c, 0)))[::2],
    ],
    ids=["str", "Path", "bytes", "bytearray", "memoryview", "strided-memoryview"],
)
def test_sources(source):
    src = source() if callable(source) else source
    with pdftext.Document(src) as doc:
        assert doc.text() == golden("latex_article")


# File names as they stand on disk, also ones that are not UTF-8.
@pytest.mark.parametrize("raw_name", ["Überblick ü.pdf".encode(), b"\xff\xfe.pdf"], ids=["utf8", "not-utf8"])
def test_file_names(tmp_path, raw_name):
    target = os.path.join(os.fsencode(tmp_path), raw_name)
    with open(ARTICLE, "rb") as src, open(target, "wb") as dst:
        dst.write(src.read())
    name = os.fsdecode(target)
    assert pdftext.page_count(name) == 3
    assert pdftext.page_count(target) == 3
    with pdftext.Document(pathlib.Path(name)) as doc:
        assert doc.page(2) == golden("latex_article").split("\f")[1]
    with pytest.raises(pdftext.PdfTextError) as info:
        pdftext.Document(name + ".missing")
    assert os.fsencode(tmp_path).decode() in str(info.value)


def test_contents_are_copied_at_open():
    buf = bytearray(open(ARTICLE, "rb").read())
    doc = pdftext.Document(buf)
    buf[:] = b"\0" * len(buf)
    assert doc.page(3) == golden("latex_article").split("\f")[2]
    doc.close()


# (call, exception, message): the library's messages, unchanged.
FAILURES = [
    (lambda: pdftext.Document(data("no_such.pdf")), pdftext.PdfTextError,
     "cannot open " + data("no_such.pdf")),
    (lambda: pdftext.page_count(data("README.md")), pdftext.PdfTextError,
     "no PDF objects found \u2014 not a PDF: " + data("README.md")),
    (lambda: pdftext.Document(b""), pdftext.PdfTextError, "empty input file: <memory>"),
    (lambda: pdftext.Document(b"%PDF-1.4 nothing"), pdftext.PdfTextError,
     "no PDF objects found \u2014 not a PDF: <memory>"),
    (lambda: pdftext.extract_page(ARTICLE, 0), pdftext.PdfTextError,
     "page number must be >= 1 (got 0)"),
    (lambda: pdftext.extract_page(ARTICLE, 4), pdftext.PdfTextError,
     "page 4 out of range (document has 3 pages)"),
    # Would wrap to page 1 in a C int.
    (lambda: pdftext.extract_page(ARTICLE, 2**32 + 1), pdftext.PdfTextError,
     "page 4294967297 out of range (document has 3 pages)"),
    (lambda: pdftext.extract_page(ARTICLE, -(2**32) + 2), pdftext.PdfTextError,
     "page number must be >= 1 (got -4294967294)"),
    (lambda: pdftext.to_file(data("no_such.pdf"), "/tmp/x.txt"), pdftext.PdfTextError,
     "cannot open " + data("no_such.pdf")),
    (lambda: pdftext.to_file(ARTICLE, "/nonexistent-dir/x.txt"), pdftext.PdfTextError,
     "cannot write /nonexistent-dir/x.txt"),
] + [
    (lambda n=n: pdftext.Document(data(n)), pdftext.EncryptedError,
     "encrypted PDFs are not supported: " + data(n))
    for n in encrypted()
] + [
    (lambda n=n: pdftext.Document(open(data(n), "rb").read()), pdftext.EncryptedError,
     "encrypted PDFs are not supported: <memory>")
    for n in encrypted()[:1]
] + [
    (lambda n=n: pdftext.search(data(n), "x"), pdftext.EncryptedError,
     "encrypted PDFs are not supported: " + data(n))
    for n in encrypted()[:1]
]


@pytest.mark.parametrize("call,exc,message", FAILURES)
def test_failures_carry_the_library_message(call, exc, message):
    with pytest.raises(exc) as info:
        call()
    assert str(info.value) == message
    assert type(info.value) is exc


# Arguments that ctypes would cut at a NUL, silently using another file
# or phrase; and types that mean nothing here.
MISUSE = [
    (lambda: pdftext.Document(ARTICLE + "\0.txt"), ValueError),
    (lambda: pdftext.page_count(os.fsencode(ARTICLE) + b"\0x"), ValueError),
    (lambda: pdftext.search(ARTICLE, "stream\0zzz"), ValueError),
    (lambda: pdftext.to_file(ARTICLE, "/tmp/ok.txt\0/etc/x"), ValueError),
    (lambda: pdftext.extract_page(ARTICLE, 1.0), TypeError),
    (lambda: pdftext.search(ARTICLE, 5), TypeError),
    (lambda: pdftext.Document(42), TypeError),
]


@pytest.mark.parametrize("call,exc", MISUSE)
def test_misuse_is_refused(call, exc):
    with pytest.raises(exc):
        call()


# (file, phrase, pages, reason)
SEARCHES = [
    ("latex_article", "Salt dilution works", [2], "only on page 2"),
    ("latex_article", "salt   DILUTION", [2], "white space and ASCII case ignored"),
    ("latex_article", "Three problems deserve mention", [3], "only on page 3"),
    ("latex_article", "the", [1, 2, 3], "every page"),
    ("latex_article", "no such phrase anywhere", [], "none"),
    ("latex_article", "", [], "empty phrase"),
    ("reportlab_cyrillic_greek", "Озеро Байкал", [1], "UTF-8 phrase"),
]


@pytest.mark.parametrize("name,phrase,pages,reason", SEARCHES)
def test_search(name, phrase, pages, reason, lib):
    path = data(name + ".pdf")
    assert pdftext.search(path, phrase) == pages, reason
    with pdftext.Document(path) as doc:
        assert doc.search(phrase) == pages, reason
        assert doc.search(phrase.encode()) == pages, reason
    # The one-call C search answers the same.
    raw = ctypes.CDLL(lib.path).pdftext_search
    raw.restype = ctypes.c_char_p
    raw.argtypes = [ctypes.c_char_p, ctypes.c_char_p]
    assert json.loads(raw(path.encode(), phrase.encode()))["pages"] == pages


def test_no_page_tree_file(tmp_path):
    # A PDF object but no catalog or pages.
    f = tmp_path / "bare.pdf"
    f.write_bytes(b"%PDF-1.4\n1 0 obj\n<< /A 1 >>\nendobj\ntrailer\n<< >>\n%%EOF\n")
    with pdftext.Document(f) as doc:
        with pytest.raises(pdftext.PdfTextError, match="no pages found in"):
            len(doc)
        with pytest.raises(pdftext.PdfTextError, match="no page tree"):
            doc.text()
        assert doc.search("x") == []


def test_to_file_writes_the_text(tmp_path):
    out = tmp_path / "out.txt"
    pdftext.to_file(pathlib.Path(ARTICLE), out)
    assert out.read_bytes() == golden("latex_article").encode("utf-8")


def test_closed_document():
    doc = pdftext.Document(ARTICLE)
    with doc:
        assert not doc.closed
    assert doc.closed
    doc.close()  # twice is fine
    for call in (lambda: len(doc), lambda: doc.page(1), doc.text, lambda: doc.search("x")):
        with pytest.raises(ValueError):
            call()
