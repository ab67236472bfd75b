#!/usr/bin/env python3
"""SVG and PDF exports in drawing coordinates: the SVG is well-formed XML with one layer group per
drawing layer (hidden where the drawing hides it) and coordinates with every digit; the PDF holds
its texts as text and one optional content group per layer; broken geometry never reaches either
file; a true-scale A4 page shows 20 drawing units as 200 mm.

Usage: vector_export_test.py PLANORA_CLI MAKE_EXPORT_FIXTURE
"""
import os
import re
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

CLI, MAKE_FIXTURE = sys.argv[1:3]
SVG = "{http://www.w3.org/2000/svg}"
INK = "{http://www.inkscape.org/namespaces/inkscape}"
failures = []


def export(src, out, *extra):
    run = subprocess.run([CLI, "export", src, "-o", out, *extra], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"export {out} failed: {run.stderr}")
    elif "2 Elemente mit ungültiger Geometrie" not in run.stderr:
        failures.append(f"{out}: the left-out elements are not reported: {run.stderr!r}")
    return run


with tempfile.TemporaryDirectory() as work:
    fixture = os.path.join(work, "every-kind.akt")
    subprocess.run([MAKE_FIXTURE, fixture], check=True)

    svg = os.path.join(work, "out.svg")
    export(fixture, svg, "--background", "none")
    raw = open(svg, "rb").read()
    if re.search(rb"nan|inf", raw, re.IGNORECASE):
        failures.append("the SVG holds a non-finite number")
    if b"12.3456" not in raw or b"20.000000000123" not in raw:
        failures.append("the SVG coordinates are rounded")
    root = ET.parse(svg).getroot()
    groups = [g for g in root.iter(SVG + "g") if g.get(INK + "groupmode") == "layer"]
    labels = {g.get(INK + "label"): g for g in groups}
    want = {"1 Wände", "2 Kreise", "3 Aus", "4 Texte: <neu>"}
    if set(labels) != want:
        failures.append(f"SVG layer groups {sorted(labels)}, expected {sorted(want)}")
    else:
        hidden = {l for l, g in labels.items() if "display:none" in (g.get("style") or "")}
        if hidden != {"3 Aus"}:
            failures.append(f"SVG hidden layers {sorted(hidden)}, expected only '3 Aus'")
        texts = ["".join(t.itertext()) for t in labels["4 Texte: <neu>"].iter(SVG + "text")]
        if texts.count("Maß Wände 12.3456") != 5:
            failures.append(f"SVG texts: {texts}")
        dashed = [p for p in labels["1 Wände"].iter(SVG + "path") if p.get("stroke-dasharray")]
        if not dashed:
            failures.append("no dash array in the SVG")

    pdf = os.path.join(work, "out.pdf")
    export(fixture, pdf)
    text = subprocess.run(["pdftotext", "-raw", pdf, "-"], capture_output=True, text=True).stdout
    if text.count("Maß Wände 12.3456") != 5:
        failures.append(f"pdftotext does not find the texts: {text!r}")
    body = open(pdf, "rb").read()
    if len(re.findall(rb"/Type /OCG\b", body)) != 4:
        failures.append("the PDF does not have one optional content group per layer")

    # True scale: the first line runs from x = 0 to x = 20 units, so at 1 unit = 1 cm it is 200 mm
    # long on the page. Measured on a 254 dpi raster (10 pixels per millimetre).
    line = os.path.join(work, "line.akt")
    subprocess.run([MAKE_FIXTURE, "--one-line", line], check=True)
    scaled = os.path.join(work, "scaled.pdf")
    run = subprocess.run([CLI, "export", line, "-o", scaled, "--paper", "A4", "--true-scale",
                          "--background", "none", "--black"], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"true-scale export failed: {run.stderr}")
    else:
        info = subprocess.run(["pdfinfo", scaled], capture_output=True, text=True).stdout
        if not re.search(r"^Pages:\s+1$", info, re.MULTILINE):
            failures.append(f"a 20 unit line needs one A4 page: {info}")
        subprocess.run(["pdftoppm", "-r", "254", "-gray", "-f", "1", "-l", "1", scaled,
                        os.path.join(work, "page")], check=True)
        page = next(f for f in os.listdir(work) if f.startswith("page") and f.endswith(".pgm"))
        with open(os.path.join(work, page), "rb") as f:
            data = f.read()
        fields = data.split(maxsplit=4)
        width, height = int(fields[1]), int(fields[2])
        pixels = fields[4][-width * height:]
        longest = 0
        for y in range(height):
            row = pixels[y * width:(y + 1) * width]
            dark = [x for x in range(width) if row[x] < 128]
            if dark:
                longest = max(longest, dark[-1] - dark[0] + 1)
        if abs(longest / 10.0 - 200.0) > 0.5:
            failures.append(f"20 units measure {longest / 10.0} mm on the A4 page, not 200 mm")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
