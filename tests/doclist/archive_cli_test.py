"""An archive made by `planora-cli archive --create`, read with an independent compound-file
reader (olefile), and the "archive" verb's listing, thumbnails and exit codes.

Usage: archive_cli_test.py PLANORA_CLI EXAMPLES_DIR
"""
import json
import os
import struct
import subprocess
import sys
import tempfile

import olefile

cli, examples = sys.argv[1], sys.argv[2]
drawings = [os.path.join(examples, n) for n in sorted(os.listdir(examples)) if n.endswith(".akt")]
assert len(drawings) >= 5, drawings
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def run(*args):
    return subprocess.run([cli, "archive", *args], capture_output=True)


with tempfile.TemporaryDirectory() as tmp:
    archive = os.path.join(tmp, "liste.ad")
    made = run("--create", archive, *drawings)
    check(made.returncode == 0, f"--create failed: {made.stderr!r}")

    # --- the compound file, read by olefile ---
    ole = olefile.OleFileIO(archive)
    check(ole.exists("pstream") and ole.exists("lvItems"), f"streams: {ole.listdir()}")
    items = ole.openstream("lvItems").read()
    records = []
    pos = 0
    while pos < len(items):
        header = struct.unpack_from("<32i", items, pos)
        total, lengths, image = header[0], header[1:22], header[22]
        check(header[23:] == (0,) * 9, "reserved integers are not 0")
        data = items[pos + 128 : pos + 128 + total]
        check(len(data) == total, "record shorter than T")
        texts, at = [], 0
        for n in lengths:
            texts.append(data[at : at + n - 1] if n > 0 else None)
            at += max(n, 0)
        texts.append(data[at:-1] if at < total else None)  # slot 21: what is left
        records.append((texts, image))
        pos += 128 + total
    check(pos == len(items), "lvItems does not end after its last record")
    check(len(records) == len(drawings), f"{len(records)} records for {len(drawings)} drawings")
    for i, (texts, image) in enumerate(records):
        check(image == i, f"record {i}: thumbnail index {image}")
        check(texts[0] == os.path.basename(drawings[i]).encode(), f"record {i}: label {texts[0]}")
        check(texts[1] == os.path.abspath(drawings[i]).encode(), f"record {i}: path {texts[1]}")
        check(texts[2] == "Einfamilienhaus Lindenweg 7".encode("cp1252"), f"record {i}: Projekt")
        check(texts[3] == "Wohnhaus Müller".encode("cp1252"), f"record {i}: Bauwerk, cp1252")

    ps = ole.openstream("pstream").read()
    magic, version, count, capacity, grow, cx, cy, bk, flags = struct.unpack_from("<7HIH", ps, 0)
    check(ps[:2] == b"IL" and version == 0x0101, f"image list header {ps[:4]!r}")
    check(count == len(drawings) and capacity >= count, f"count {count}, capacity {capacity}")
    check((cx, cy) == (122, 97) and flags == 0x18 and grow % 4 == 0, f"{cx}x{cy} flags {flags}")
    check(ps[28:30] == b"BM", "no BMP after the header")
    bm_size, _, off_bits = struct.unpack_from("<IIi", ps, 30)
    bi = struct.unpack_from("<IiiHHIIiiII", ps, 42)
    check(bm_size == off_bits == 54, f"BMP size field {bm_size}, offset {off_bits}")
    check(bi[1] == cx * 4 and bi[2] == (capacity + 3) // 4 * cy, f"BMP {bi[1]}x{bi[2]}")
    check(bi[3:6] == (1, 24, 0), f"planes/bits/compression {bi[3:6]}")
    stride = (bi[1] * 3 + 3) // 4 * 4
    check(bi[6] == stride * bi[2] and len(ps) == 28 + 54 + bi[6], "pixel data size")
    ole.close()

    # --- the listing ---
    listed = run("--json", archive)
    check(listed.returncode == 0, f"listing failed: {listed.stderr!r}")
    doc = json.loads(listed.stdout)
    check(doc["thumbnails"] == {"count": len(drawings), "width": 122, "height": 97}, doc["thumbnails"])
    check([i["label"] for i in doc["items"]] == [os.path.basename(d) for d in drawings], "labels")
    check(doc["items"][0]["info"][1] == "Wohnhaus Müller", "information texts as UTF-8")
    text = run(archive)
    check(text.returncode == 0 and "Bauwerk (1): Wohnhaus Müller" in text.stdout.decode(), "text listing")

    # --- thumbnails as PNG ---
    folder = os.path.join(tmp, "bilder")
    thumbs = run("--thumbnails", folder, archive)
    pngs = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    check(thumbs.returncode == 0 and len(pngs) == len(drawings), f"thumbnails: {pngs}")
    for name in pngs:
        with open(os.path.join(folder, name), "rb") as f:
            head = f.read(24)
        check(head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (122, 97), name)

    # --- failures: exit codes and German messages; the output never overwrites an input ---
    bad = os.path.join(tmp, "kaputt.ad")
    with open(bad, "wb") as f:
        f.write(b"kein Archiv")
    r = run(bad)
    check(r.returncode == 1 and "Dateiformat zum Einlesen nicht geeignet!" in r.stderr.decode(), r.stderr)
    check(run().returncode == 2 and run("--thumbnails", folder).returncode == 2, "usage errors")
    with open(drawings[0], "rb") as f:
        before = f.read()
    r = run("--create", drawings[0], drawings[0])
    with open(drawings[0], "rb") as f:
        check(f.read() == before, "--create overwrote its input")
    check(r.returncode == 2, f"--create onto an input: {r.returncode}")
    r = run("--create", os.path.join(tmp, "teil.ad"), drawings[0], bad)
    check(r.returncode == 1 and "Einlesefehler" in r.stderr.decode(), "a drawing that fails to load")
    nothing = os.path.join(tmp, "nichts.ad")
    r = run("--create", nothing, bad)
    check(r.returncode == 1 and not os.path.exists(nothing), "an archive of no drawings was written")

for f in failures:
    print("FAIL:", f)
sys.exit(1 if failures else 0)
