"""Finding the shared library and declaring its C functions to ctypes."""

import ctypes
import ctypes.util
import glob
import os
import sys
import threading

__all__ = ["PdfTextError", "EncryptedError", "Library", "load_library", "encode_path"]

_ENV = "PDFTEXT_LIBRARY"
_HERE = os.path.dirname(os.path.abspath(__file__))
_ENCRYPTED_PREFIX = "encrypted PDFs are not supported:"

if sys.platform == "win32":
    _PATTERNS = ["tarnwick-pdftext.dll", "libtarnwick-pdftext.dll"]
elif sys.platform == "darwin":
    _PATTERNS = ["libtarnwick-pdftext.dylib", "libtarnwick-pdftext.*.dylib"]
else:
    _PATTERNS = ["libtarnwick-pdftext.so", "libtarnwick-pdftext.so.*"]

# Where an installed library usually lives, after the loader's own search.
_LIB_DIRS = [
    os.path.join(sys.prefix, "lib"),
    "/usr/local/lib",
    "/usr/local/lib64",
    "/usr/lib",
    "/usr/lib64",
]
_multiarch = getattr(sys.implementation, "_multiarch", None)
if _multiarch:
    _LIB_DIRS += ["/usr/local/lib/" + _multiarch, "/usr/lib/" + _multiarch]


class PdfTextError(Exception):
    """A failure the library reports; str(error) is the library's message."""

    @property
    def message(self):
        return self.args[0] if self.args else ""


class EncryptedError(PdfTextError):
    """The PDF is encrypted, which the library does not support."""


def encode_path(path):
    """Path argument as the library takes it: NUL-free bytes, UTF-8 for str.

    On POSIX the bytes go to fopen unchanged, so os.fsencode gives the
    file's real name (also for names that are not valid UTF-8); on Windows
    the library reads UTF-8.
    """
    p = os.fspath(path)
    if isinstance(p, str):
        b = p.encode("utf-8") if sys.platform == "win32" else os.fsencode(p)
    else:
        b = bytes(p)
    # ctypes would cut the string at the first NUL and open another file.
    if b"\0" in b:
        raise ValueError("embedded null byte in path")
    return b


def _decode_message(raw):
    # The message quotes paths, which need not be UTF-8, and the library's
    # buffer may cut a long message inside a character.
    return (raw or b"").decode("utf-8", "backslashreplace")


def _candidates_in(folder):
    found = []
    for pattern in _PATTERNS:
        found += sorted(glob.glob(os.path.join(glob.escape(folder), pattern)))
    return found


class Library:
    """A loaded tarnwick-pdftext shared library with its C functions typed."""

    def __init__(self, path):
        self.path = path
        try:
            self._dll = ctypes.CDLL(path)
        except OSError as e:
            raise OSError("cannot load the tarnwick-pdftext library %r: %s" % (path, e)) from None
        try:
            self._declare()
        except AttributeError as e:
            raise OSError(
                "%r is not a tarnwick-pdftext library with document handles (%s)" % (path, e)
            ) from None
        self.version = self._dll.pdftext_version().decode("ascii", "replace")

    def _declare(self):
        d = self._dll
        c_int, c_char_p, c_void_p, c_size_t = ctypes.c_int, ctypes.c_char_p, ctypes.c_void_p, ctypes.c_size_t
        sig = {
            # Constant or thread-owned strings: c_char_p copies them at once.
            "pdftext_version": (c_char_p, []),
            "pdftext_last_error": (c_char_p, []),
            "pdftext_to_file": (c_int, [c_char_p, c_char_p]),
            # Handles and caller-owned blocks stay raw pointers until freed.
            "pdftext_open": (c_void_p, [c_char_p]),
            "pdftext_open_memory": (c_void_p, [c_char_p, c_size_t]),
            "pdftext_close": (None, [c_void_p]),
            "pdftext_doc_page_count": (c_int, [c_void_p]),
            "pdftext_doc_page_text": (c_void_p, [c_void_p, c_int, ctypes.POINTER(c_size_t)]),
            "pdftext_doc_text": (c_void_p, [c_void_p, ctypes.POINTER(c_size_t)]),
            "pdftext_doc_search": (c_int, [c_void_p, c_char_p, ctypes.POINTER(ctypes.POINTER(c_int))]),
            "pdftext_free": (None, [c_void_p]),
        }
        for name, (restype, argtypes) in sig.items():
            f = getattr(d, name)
            f.restype = restype
            f.argtypes = argtypes
            setattr(self, name[len("pdftext_"):], f)

    def error(self):
        """The exception for the calling thread's last failure."""
        msg = _decode_message(self.last_error()) or "the library failed without a message"
        if msg.startswith(_ENCRYPTED_PREFIX):
            return EncryptedError(msg)
        return PdfTextError(msg)

    def take_block(self, ptr, length):
        """Copies a caller-owned block out and frees it."""
        try:
            return ctypes.string_at(ptr, length)
        finally:
            self.free(ptr)

    def __repr__(self):
        return "<pdftext.Library %s from %r>" % (self.version, self.path)


_cache = {}
_cache_lock = threading.Lock()


def _load(path):
    key = os.path.abspath(path) if os.sep in path or (os.altsep and os.altsep in path) else path
    with _cache_lock:
        lib = _cache.get(key)
        if lib is None:
            lib = Library(path)
            _cache[key] = lib
        return lib


def _default_path():
    env = os.environ.get(_ENV)
    if env:
        # A library named on purpose is used or fails; never another one.
        return env
    for path in _candidates_in(_HERE):
        return path
    name = ctypes.util.find_library("tarnwick-pdftext")
    if name:
        return name
    for folder in _LIB_DIRS:
        for path in _candidates_in(folder):
            return path
    return None


def load_library(path=None):
    """Loads the library (once per path) and returns it.

    Order: the explicit `path`; the environment variable PDFTEXT_LIBRARY;
    a copy in the package's folder; the installed library that
    ctypes.util.find_library or the usual lib folders give.  An explicit
    path or PDFTEXT_LIBRARY that does not load raises OSError instead of
    falling back to another copy.
    """
    if isinstance(path, Library):
        return path
    if path is None:
        path = _default_path()
        if path is None:
            raise OSError(
                "tarnwick-pdftext library not found: set %s to the library's path, "
                "copy the library into %s, or install it (cmake --install)" % (_ENV, _HERE)
            )
    return _load(os.fsdecode(os.fspath(path)))
