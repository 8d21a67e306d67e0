"""How the package finds the shared library; each case in a fresh process."""

import ctypes.util
import glob
import os
import shutil
import subprocess
import sys

import pytest

from conftest import PYTHON_DIR, data

LIB = os.environ.get("PDFTEXT_LIBRARY", "")
pytestmark = pytest.mark.skipif(not os.path.isfile(LIB), reason="PDFTEXT_LIBRARY names no file")


def installed_copy():
    """A library the installed-location search would find anyway."""
    if ctypes.util.find_library("tarnwick-pdftext"):
        return True
    return any(glob.glob(d + "/libtarnwick-pdftext.so*") for d in ["/usr/local/lib", "/usr/lib"])


def run(pkg_parent, code, env_lib):
    env = {k: v for k, v in os.environ.items() if k not in ("PDFTEXT_LIBRARY", "PYTHONPATH")}
    if env_lib is not None:
        env["PDFTEXT_LIBRARY"] = env_lib
    env["PYTHONPATH"] = pkg_parent
    script = "import pdftext\ntry:\n    print(%s)\nexcept OSError as e:\n    print('OSError', e)\n" % code
    out = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, timeout=60)
    assert out.returncode == 0, out.stderr
    return out.stdout.strip()


@pytest.fixture
def bundled(tmp_path):
    """A copy of the package with the library inside its folder."""
    shutil.copytree(os.path.join(PYTHON_DIR, "pdftext"), tmp_path / "pdftext",
                    ignore=shutil.ignore_patterns("__pycache__"))
    shutil.copy(LIB, tmp_path / "pdftext" / "libtarnwick-pdftext.so")
    return str(tmp_path)


def zlib():
    return ctypes.util.find_library("z")


# (package with a copy inside?, PDFTEXT_LIBRARY, expression, expected output start, reason)
CASES = [
    (False, "{lib}", "pdftext.load_library().path", "{lib}", "environment variable"),
    (False, "/nonexistent/lib.so", "pdftext.load_library('{lib}').path", "{lib}",
     "an explicit path comes before the environment"),
    (False, "/nonexistent/lib.so", "pdftext.page_count('{article}', library='{lib}')", "3",
     "library= of the shortcuts"),
    (True, None, "pdftext.load_library().path", "{bundled}", "copy next to the package"),
    (True, "{lib}", "pdftext.load_library().path", "{lib}", "environment before the bundled copy"),
    (True, "/nonexistent/lib.so", "pdftext.load_library().path",
     "OSError cannot load the tarnwick-pdftext library '/nonexistent/lib.so'",
     "a named library that fails is not replaced by another"),
    (False, "{zlib}", "pdftext.load_library().path", "OSError '{zlib}' is not a tarnwick-pdftext library",
     "some other library"),
]


@pytest.mark.parametrize("with_copy,env_lib,expr,want,reason", CASES)
def test_lookup(with_copy, env_lib, expr, want, reason, bundled):
    if "{zlib}" in (env_lib or "") and not zlib():
        pytest.skip("no zlib to load")
    bundled_lib = os.path.join(bundled, "pdftext", "libtarnwick-pdftext.so")
    parent = bundled if with_copy else PYTHON_DIR

    def fill(s):
        return s.format(lib=LIB, bundled=bundled_lib, article=data("latex_article.pdf"), zlib=zlib())

    got = run(parent, fill(expr), None if env_lib is None else fill(env_lib))
    assert got.startswith(fill(want)), reason


@pytest.mark.skipif(installed_copy(), reason="an installed library is present")
def test_nothing_found_says_where_to_look():
    got = run(PYTHON_DIR, "pdftext.load_library()", None)
    assert got.startswith("OSError tarnwick-pdftext library not found: set PDFTEXT_LIBRARY"), got
