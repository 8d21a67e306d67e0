#!/usr/bin/env python3
"""Extract a folder of PDFs with Dask distributed.

Every PDF directly inside IN_DIR (names ending in .pdf, any case) becomes
OUT_DIR/NAME.txt, its text with pages separated by form feeds, and
OUT_DIR/summary.tsv lists every PDF with its pages, characters and, for a
failure, the library's message (no text file is written for it).

    python3 dask_extract.py IN_DIR OUT_DIR                  # local cluster
    python3 dask_extract.py IN_DIR OUT_DIR --workers 8
    python3 dask_extract.py IN_DIR OUT_DIR --scheduler tcp://host:8786

Each task opens one PDF on a worker and writes its text there, so on a
cluster of several machines IN_DIR and OUT_DIR must be on a file system all
workers share, and every worker needs the pdftext package and the library
(pip install ./python on each, with PDFTEXT_LIBRARY set where the library
is not installed).  Only the small summary rows travel back to the client.
"""

import argparse
import csv
import os
import sys

import pdftext

SUMMARY = "summary.tsv"
COLUMNS = ["file", "pages", "characters", "error"]


def list_pdfs(in_dir):
    """The PDFs directly inside in_dir, sorted by name."""
    return sorted(
        e.path for e in os.scandir(in_dir) if e.is_file() and e.name.lower().endswith(".pdf")
    )


def output_name(pdf_path):
    return os.path.splitext(os.path.basename(pdf_path))[0] + ".txt"


def extract_one(pdf_path, out_dir, library=None):
    """Writes the text of one PDF to out_dir; returns its summary row.

    The text goes to a temporary name first and is renamed once complete,
    so a task that a worker's loss makes Dask run again never leaves half a
    file behind.
    """
    row = {"file": os.path.basename(pdf_path), "pages": "", "characters": "", "error": ""}
    target = os.path.join(out_dir, output_name(pdf_path))
    try:
        with pdftext.Document(pdf_path, library=library) as doc:
            pages = len(doc)
            text = doc.text()
    except pdftext.PdfTextError as e:
        row["error"] = str(e)
        # A text left by an earlier run would contradict the summary.
        try:
            os.remove(target)
        except FileNotFoundError:
            pass
        return row
    tmp = "%s.%d.part" % (target, os.getpid())
    with open(tmp, "w", encoding="utf-8", newline="") as f:
        f.write(text)
    os.replace(tmp, target)
    row["pages"] = pages
    row["characters"] = len(text)
    return row


def _clashes(paths):
    """Rows for PDFs whose text file name another PDF already takes
    (a.pdf and a.PDF), so that no text overwrites another."""
    seen, rows, keep = {}, [], []
    for p in paths:
        name = output_name(p)
        if name in seen:
            rows.append({"file": os.path.basename(p), "pages": "", "characters": "",
                         "error": "output %s is taken by %s" % (name, os.path.basename(seen[name]))})
        else:
            seen[name] = p
            keep.append(p)
    return keep, rows


def write_summary(rows, out_dir):
    rows = sorted(rows, key=lambda r: r["file"])
    with open(os.path.join(out_dir, SUMMARY), "w", encoding="utf-8", newline="") as f:
        w = csv.DictWriter(f, COLUMNS, delimiter="\t", lineterminator="\n")
        w.writeheader()
        w.writerows(rows)
    return rows


def extract_folder(in_dir, out_dir, client=None, library=None):
    """Extracts every PDF of in_dir into out_dir and writes the summary.

    With a dask.distributed Client the PDFs are spread over its workers,
    one task each; without one they are done here, one after the other.
    Returns the summary rows sorted by file name.
    """
    os.makedirs(out_dir, exist_ok=True)
    paths, rows = _clashes(list_pdfs(in_dir))
    if client is None:
        rows += [extract_one(p, out_dir, library) for p in paths]
    else:
        if __name__ != "__main__":
            # Imported from a file the workers cannot import: send the
            # functions by value.  pdftext itself must be installed there.
            import cloudpickle

            cloudpickle.register_pickle_by_value(sys.modules[__name__])
        # pure=False: a file's contents may change between runs.
        futures = client.map(extract_one, paths, out_dir=out_dir, library=library, pure=False)
        rows += client.gather(futures)
    return write_summary(rows, out_dir)


def main(argv=None):
    ap = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    ap.add_argument("in_dir")
    ap.add_argument("out_dir")
    ap.add_argument("--scheduler", help="address of a running Dask scheduler")
    ap.add_argument("--workers", type=int, default=2, help="worker processes of a local cluster")
    ap.add_argument("--library", help="path of the tarnwick-pdftext library on the workers")
    args = ap.parse_args(argv)

    from dask.distributed import Client, LocalCluster

    if args.scheduler:
        client, cluster = Client(args.scheduler), None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True)
        client = Client(cluster)
    try:
        rows = extract_folder(args.in_dir, args.out_dir, client, args.library)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    failed = [r for r in rows if r["error"]]
    pages = sum(r["pages"] or 0 for r in rows)
    print("%d PDFs, %d pages, %d failed; summary in %s"
          % (len(rows), pages, len(failed), os.path.join(args.out_dir, SUMMARY)))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
