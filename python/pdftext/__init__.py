"""PDF to UTF-8 text through the tarnwick-pdftext shared library.

    import pdftext
    with pdftext.Document("report.pdf") as doc:
        print(len(doc), doc.page(1))
    pdftext.search("report.pdf", "net income")   # -> [2, 5]

Failures raise PdfTextError with the library's message (EncryptedError for
encrypted files).  See load_library for how the library is found.
"""

import ctypes
import operator
import os
import threading

from ._native import EncryptedError, Library, PdfTextError, encode_path, load_library

__all__ = [
    "Document",
    "PdfTextError",
    "EncryptedError",
    "Library",
    "load_library",
    "version",
    "page_count",
    "extract_page",
    "extract_all",
    "to_file",
    "search",
]

__version__ = "0.2.0"

_INT_MAX = 2**31 - 1


def version(library=None):
    """Version of the loaded library, e.g. "0.2.0"."""
    return load_library(library).version


def _decode(raw):
    return raw.decode("utf-8")


def _phrase_bytes(phrase):
    if isinstance(phrase, str):
        b = phrase.encode("utf-8")
    elif isinstance(phrase, (bytes, bytearray, memoryview)):
        b = bytes(phrase)
    else:
        raise TypeError("phrase must be str or bytes, not %s" % type(phrase).__name__)
    if b"\0" in b:
        # The library reads the phrase up to the first NUL.
        raise ValueError("embedded null byte in phrase")
    return b


class Document:
    """An open PDF: from a path (str, bytes path or os.PathLike) or from the
    file's contents (bytes, bytearray, memoryview).

    Note that bytes mean contents; pass a bytes path as os.fsdecode(path) or
    a pathlib.Path.  The library keeps its own copy of contents, so the
    buffer may change after the call.

    Methods take a lock: one thread at a time uses the handle, and the
    document may be shared between threads.  close() (or leaving the
    `with` block) releases it; later calls raise ValueError.
    """

    def __init__(self, source, *, library=None):
        self._lib = load_library(library)
        self._lock = threading.Lock()
        self._handle = None
        if isinstance(source, (bytes, bytearray, memoryview)):
            data = source if isinstance(source, bytes) else memoryview(source).tobytes()
            handle = self._lib.open_memory(data, len(data))
            self.name = "<memory>"
        else:
            path = encode_path(source)
            handle = self._lib.open(path)
            self.name = source if isinstance(source, str) else str(source)
        if not handle:
            raise self._lib.error()
        self._handle = handle

    # -- life time

    def close(self):
        with self._lock:
            handle, self._handle = self._handle, None
            if handle:
                self._lib.close(handle)

    @property
    def closed(self):
        return self._handle is None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        # Only when close() was never called; the lock is not needed then.
        handle = getattr(self, "_handle", None)
        if handle:
            self._handle = None
            try:
                self._lib.close(handle)
            except Exception:
                pass

    def __repr__(self):
        state = "closed" if self.closed else "open"
        return "<pdftext.Document %r %s>" % (self.name, state)

    def _live(self):
        if self._handle is None:
            raise ValueError("operation on a closed pdftext.Document")
        return self._handle

    # -- contents

    def page_count(self):
        """Number of pages; PdfTextError for a file without a page tree."""
        with self._lock:
            n = self._lib.doc_page_count(self._live())
            if n < 0:
                raise self._lib.error()
            return n

    def __len__(self):
        return self.page_count()

    def page(self, number):
        """Text of page `number`, counted from 1."""
        number = operator.index(number)
        with self._lock:
            handle = self._live()
            if number > _INT_MAX:
                # Would wrap around in a C int; the library's wording.
                n = self._lib.doc_page_count(handle)
                raise PdfTextError(
                    "page %d out of range (document has %d pages)" % (number, max(n, 0))
                )
            if number < 1:
                raise PdfTextError("page number must be >= 1 (got %d)" % number)
            length = ctypes.c_size_t()
            ptr = self._lib.doc_page_text(handle, number, ctypes.byref(length))
            if not ptr:
                raise self._lib.error()
            return _decode(self._lib.take_block(ptr, length.value))

    def __iter__(self):
        """The page texts, first page first."""
        for number in range(1, self.page_count() + 1):
            yield self.page(number)

    def text(self):
        """Text of all pages separated by form feeds."""
        with self._lock:
            length = ctypes.c_size_t()
            ptr = self._lib.doc_text(self._live(), ctypes.byref(length))
            if not ptr:
                raise self._lib.error()
            return _decode(self._lib.take_block(ptr, length.value))

    def search(self, phrase):
        """Ascending page numbers of the pages holding `phrase` (white space
        ignored, ASCII letters in either case); [] when none."""
        phrase = _phrase_bytes(phrase)
        with self._lock:
            pages = ctypes.POINTER(ctypes.c_int)()
            n = self._lib.doc_search(self._live(), phrase, ctypes.byref(pages))
            if n < 0:
                raise self._lib.error()
            if not pages:
                return []
            try:
                return pages[:n]
            finally:
                self._lib.free(pages)


# -- one-call shortcuts: each opens the file, answers and closes it.


def page_count(path, *, library=None):
    """Number of pages of the PDF at `path`."""
    with Document(_as_path(path), library=library) as doc:
        return doc.page_count()


def extract_page(path, number, *, library=None):
    """Text of page `number` (from 1) of the PDF at `path`."""
    with Document(_as_path(path), library=library) as doc:
        return doc.page(number)


def extract_all(path, *, library=None):
    """Text of all pages of the PDF at `path`, separated by form feeds."""
    with Document(_as_path(path), library=library) as doc:
        return doc.text()


def to_file(path, out_path, *, library=None):
    """Writes the text of all pages of the PDF at `path` to `out_path`."""
    lib = load_library(library)
    if not lib.to_file(encode_path(path), encode_path(out_path)):
        raise lib.error()


def search(path, phrase, *, library=None):
    """Ascending numbers of the pages of the PDF at `path` that hold
    `phrase`, without a limit on their number; [] when none.  A file that
    cannot be read raises PdfTextError (unlike the C pdftext_search, whose
    JSON answer is then simply empty)."""
    with Document(_as_path(path), library=library) as doc:
        return doc.search(phrase)


def _as_path(path):
    # The shortcuts take paths only: bytes here name a file, as in open().
    if isinstance(path, (bytes, bytearray, memoryview)):
        return _BytesPath(bytes(path))
    return path


class _BytesPath(os.PathLike):
    """A bytes path that Document reads as a path, not as contents."""

    def __init__(self, b):
        self._b = b

    def __fspath__(self):
        return self._b

    def __str__(self):
        return os.fsdecode(self._b)
