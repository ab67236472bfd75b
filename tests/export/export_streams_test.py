#!/usr/bin/env python3
"""Long exports arrive whole, and failed ones leave nothing behind.

- A PDF of 60,000 lines (its content stream passes through many compression blocks): the
  inflated stream holds every line once, in file order, with every coordinate read back exactly.
- DXF, SVG and PDF written where the file size limit stops them part way: the export ends with
  exit 1 and a German message, no file and no temporary file is left, and a file that was there
  before keeps its content.

Usage: export_streams_test.py PLANORA_CLI MAKE_EXPORT_FIXTURE
"""
import os
import re
import resource
import signal
import subprocess
import sys
import tempfile
import zlib

CLI, MAKE_FIXTURE = sys.argv[1:3]
COUNT = 60000
failures = []


def limited(size):
    def apply():
        signal.signal(signal.SIGXFSZ, signal.SIG_IGN)  # a write beyond it fails with EFBIG
        resource.setrlimit(resource.RLIMIT_FSIZE, (size, size))
    return apply


def pdf_content_streams(raw):
    for m in re.finditer(rb"/Filter /FlateDecode >>\nstream\n", raw):
        start = m.end()
        end = raw.index(b"\nendstream", start)
        yield zlib.decompress(raw[start:end])


with tempfile.TemporaryDirectory() as work:
    many = os.path.join(work, "many.akt")
    subprocess.run([MAKE_FIXTURE, "--many-lines", str(COUNT), many], check=True)

    # --- Whole and in order.
    pdf = os.path.join(work, "many.pdf")
    run = subprocess.run([CLI, "export", many, "-o", pdf], capture_output=True, text=True,
                         timeout=120)
    if run.returncode != 0:
        failures.append(f"PDF export failed: {run.stderr}")
    else:
        streams = list(pdf_content_streams(open(pdf, "rb").read()))
        if len(streams) != 1:
            failures.append(f"{len(streams)} content streams, expected 1")
        text = b"".join(streams).decode("latin-1")
        lines = re.findall(r"(\S+) (\S+) m (\S+) (\S+) l S", text)
        if len(lines) != COUNT:
            failures.append(f"{len(lines)} lines in the content stream, expected {COUNT}")
        for k, got in enumerate(lines):
            want = (k * 0.5 + 1.0 / 3.0, k / 7.0, k * 0.5 + 0.25, k / 7.0 + 1.0)
            if tuple(float(v) for v in got) != want:
                failures.append(f"line {k} reads {got}, expected {want}")
                break
        print(f"PDF: {os.path.getsize(pdf)} bytes, {len(text)} bytes of content, "
              f"{len(lines)} lines")

    # --- Stopped part way by the file size limit.
    for fmt in ("dxf", "svg", "pdf"):
        folder = os.path.join(work, "limited-" + fmt)
        os.makedirs(folder)
        for existing in (False, True):
            target = os.path.join(folder, "out." + fmt)
            before = b"the previous file\n"
            if existing:
                with open(target, "wb") as f:
                    f.write(before)
            run = subprocess.run([CLI, "export", many, "-o", target], capture_output=True,
                                 text=True, timeout=120, preexec_fn=limited(400 * 1024))
            what = f"{fmt} {'over an existing file' if existing else 'new'}"
            if run.returncode != 1 or "kann nicht geschrieben werden" not in run.stderr:
                failures.append(f"{what}: exit {run.returncode}, {run.stderr!r}")
            left = sorted(os.listdir(folder))
            if left != (["out." + fmt] if existing else []):
                failures.append(f"{what}: left behind {left}")
            if existing and open(target, "rb").read() != before:
                failures.append(f"{what}: the previous file was changed")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
