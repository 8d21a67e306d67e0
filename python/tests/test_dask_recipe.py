"""The Dask recipe on a local cluster of two worker processes against the
same recipe run in this process."""

import importlib.util
import os
import shutil
import sys
import time

import pytest

from conftest import DATA, PYTHON_DIR, corpus, data, encrypted, golden

distributed = pytest.importorskip("distributed")


def recipe():
    # The recipe is a script in examples/, imported by its folder.
    examples = os.path.join(PYTHON_DIR, "examples")
    if examples not in sys.path:
        sys.path.insert(0, examples)
    return importlib.import_module("dask_extract")


def read_dir(d):
    out = {}
    for name in sorted(os.listdir(d)):
        with open(os.path.join(d, name), "rb") as f:
            out[name] = f.read()
    return out


def test_two_workers_match_one_process(tmp_path, monkeypatch):
    rx = recipe()
    single = rx.extract_folder(DATA, str(tmp_path / "single"))

    # Worker processes import pdftext from this tree.
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(filter(None, [PYTHON_DIR, os.environ.get("PYTHONPATH")])))
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  dashboard_address=":0") as cluster, distributed.Client(cluster) as client:
        # The cluster may still be starting its second worker.
        client.wait_for_workers(2, timeout=60)
        pids = set(client.run(os.getpid).values())
        assert len(pids) == 2 and os.getpid() not in pids
        # Recording the task stream shows where the tasks ran.
        with distributed.get_task_stream(client):
            spread = rx.extract_folder(DATA, str(tmp_path / "spread"), client)
            # The scheduler reports finished tasks a moment later.
            want = len(corpus()) + len(encrypted())
            for _ in range(150):
                ran = [t for t in client.get_task_stream() if t["key"].startswith("extract_one-")]
                if len(ran) >= want:
                    break
                time.sleep(0.2)
    assert len(ran) == want

    assert spread == single
    assert read_dir(tmp_path / "spread") == read_dir(tmp_path / "single")

    # And both are right: every readable file once, with its golden text;
    # every encrypted one a failure row with the library's message.
    files = read_dir(tmp_path / "single")
    rows = {r["file"]: r for r in single}
    for name, pages in corpus():
        want = golden(name)
        assert files[name + ".txt"] == want.encode("utf-8"), name
        assert rows[name + ".pdf"] == {"file": name + ".pdf", "pages": pages,
                                       "characters": len(want), "error": ""}
    for name in encrypted():
        assert rows[name]["error"] == "encrypted PDFs are not supported: " + data(name)
        assert name[:-4] + ".txt" not in files
    summary = files[rx.SUMMARY].decode("utf-8").splitlines()
    assert summary[0] == "file\tpages\tcharacters\terror"
    assert len(summary) == 1 + len(corpus()) + len(encrypted())


def test_failures_and_name_clashes(tmp_path):
    rx = recipe()
    src, out = tmp_path / "in", tmp_path / "out"
    src.mkdir()
    out.mkdir()
    shutil.copy(data("latex_article.pdf"), src / "a.pdf")
    shutil.copy(data("lo_chinese.pdf"), src / "a.PDF")
    (src / "broken.pdf").write_bytes(b"not a pdf")
    (out / "broken.txt").write_text("stale text of an earlier run")
    rows = rx.extract_folder(str(src), str(out))
    assert [(r["file"], r["pages"], r["error"]) for r in rows] == [
        # sorted by name, upper case first: the first takes a.txt
        ("a.PDF", 1, ""),
        ("a.pdf", "", "output a.txt is taken by a.PDF"),
        ("broken.pdf", "", "no PDF objects found \u2014 not a PDF: " + str(src / "broken.pdf")),
    ]
    assert sorted(os.listdir(out)) == ["a.txt", rx.SUMMARY]
    assert (out / "a.txt").read_text(encoding="utf-8") == golden("lo_chinese")
