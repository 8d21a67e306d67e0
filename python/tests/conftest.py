import os
import sys

import pytest

PYTHON_DIR = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPO = os.path.dirname(PYTHON_DIR)
DATA = os.path.join(REPO, "tests", "data")

# The package from this tree, not an installed copy.
sys.path.insert(0, PYTHON_DIR)

# Without PDFTEXT_LIBRARY the tests take the library of the usual build/.
if not os.environ.get("PDFTEXT_LIBRARY"):
    built = os.path.join(REPO, "build", "libtarnwick-pdftext.so")
    if os.path.exists(built):
        os.environ["PDFTEXT_LIBRARY"] = built


def corpus():
    """(name, pages) of every readable PDF in tests/data/manifest.tsv."""
    rows = []
    with open(os.path.join(DATA, "manifest.tsv"), encoding="utf-8") as f:
        next(f)
        for line in f:
            name, pages = line.split("\t")[:2]
            if pages != "encrypted":
                rows.append((name[: -len(".pdf")], int(pages)))
    return rows


def encrypted():
    return sorted(n for n in os.listdir(DATA) if n.startswith("encrypted_") and n.endswith(".pdf"))


def data(name):
    return os.path.join(DATA, name)


def golden(name):
    with open(os.path.join(DATA, "golden", name + ".txt"), encoding="utf-8", newline="") as f:
        return f.read()


@pytest.fixture(scope="session")
def lib():
    import pdftext

    return pdftext.load_library()
