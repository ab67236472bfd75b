#!/usr/bin/env python3
"""Opens the DXF that `planora-cli export` writes for every example drawing in a real CAD program:
LibreCAD converts each to PDF from its command line (`librecad dxf2pdf`, on Qt's offscreen
platform), which must succeed and give a page that pdftoppm renders with drawn pixels on it.

LibreCAD's converter reports a file it cannot read only on its output and still ends with 0, so
the test also insists on the PDF being there and on ink on the page.

Usage: librecad_check_test.py PLANORA_CLI EXAMPLES_DIR
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

CLI, EXAMPLES = sys.argv[1:3]

for tool in ("librecad", "pdftoppm"):
    if shutil.which(tool) is None:
        print(f"{tool} fehlt; Test übersprungen")
        sys.exit(77)

failures = []


def dark_pixels(ppm):
    """Pixels of a binary PPM (P6) that are not near white."""
    with open(ppm, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    pos += 1
    if fields[0] != b"P6" or fields[3] != b"255":
        raise ValueError(f"{ppm}: not an 8-bit PPM")
    pixels = data[pos:]
    return sum(1 for i in range(0, len(pixels) - 2, 3)
               if pixels[i] + pixels[i + 1] + pixels[i + 2] < 600)


ENV = dict(os.environ, QT_QPA_PLATFORM="offscreen")
ENV.setdefault("XDG_RUNTIME_DIR", tempfile.mkdtemp(prefix="planora-xdg-"))

with tempfile.TemporaryDirectory() as work:
    examples = sorted(glob.glob(os.path.join(EXAMPLES, "*.akt")))
    if not examples:
        print(f"keine Beispiele in {EXAMPLES}")
        sys.exit(1)
    for example in examples:
        name = os.path.splitext(os.path.basename(example))[0]
        dxf = os.path.join(work, name + ".dxf")
        pdf = os.path.join(work, name + ".pdf")
        export = subprocess.run([CLI, "export", example, "-o", dxf], capture_output=True,
                                text=True)
        if export.returncode != 0:
            failures.append(f"{name}: export failed: {export.stderr.strip()}")
            continue
        run = subprocess.run(["librecad", "dxf2pdf", "-a", "-o", pdf, dxf], env=ENV,
                             capture_output=True, text=True, timeout=300)
        output = run.stdout + run.stderr
        if run.returncode != 0 or not os.path.isfile(pdf) or os.path.getsize(pdf) == 0:
            failures.append(f"{name}: librecad dxf2pdf failed (exit {run.returncode}): "
                            f"{output.strip()[-800:]}")
            continue
        if "error" in output.lower() or "could not" in output.lower():
            failures.append(f"{name}: librecad reported: {output.strip()[-800:]}")
        page = os.path.join(work, name + "-page")
        render = subprocess.run(["pdftoppm", "-r", "50", "-f", "1", "-l", "1", "-singlefile",
                                 pdf, page], capture_output=True, text=True)
        if render.returncode != 0:
            failures.append(f"{name}: pdftoppm cannot read LibreCAD's PDF: {render.stderr}")
            continue
        ink = dark_pixels(page + ".ppm")
        print(f"{name}: {os.path.getsize(dxf)} bytes of DXF, {ink} drawn pixels on LibreCAD's page")
        if ink < 100:
            failures.append(f"{name}: LibreCAD's page is empty ({ink} drawn pixels)")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
