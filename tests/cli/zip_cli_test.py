"""Zip files given to planora-cli: zips made by `zip` (with folders) and by Python's zipfile,
hostile zips that must neither write outside the temporary folder nor crash, and the removal of
the temporary folders after the command, also when it is stopped by a signal.

Usage: zip_cli_test.py PLANORA_CLI EXAMPLES_DIR
"""
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time
import zipfile

cli, examples = sys.argv[1], sys.argv[2]
drawing = open(os.path.join(examples, "haus-0510.akt"), "rb").read()
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


with tempfile.TemporaryDirectory() as work:
    tmpdir = os.path.join(work, "tmp")  # the CLI's temporary folder, watched for "zpt" folders
    os.mkdir(tmpdir)
    env = dict(os.environ, TMPDIR=tmpdir, QT_QPA_PLATFORM="offscreen")

    def run(*args):
        return subprocess.run([cli, *args], capture_output=True, env=env, timeout=120)

    def leftovers():
        return [n for n in os.listdir(tmpdir) if n.startswith("zpt")]

    # --- zips from other programs open with their folders ---
    src = os.path.join(work, "src")
    os.makedirs(os.path.join(src, "EG"))
    os.makedirs(os.path.join(src, "OG", "Süd"))
    open(os.path.join(src, "EG", "Wand.akt"), "wb").write(drawing)
    open(os.path.join(src, "OG", "Süd", "Dach.AKT"), "wb").write(drawing)
    open(os.path.join(src, "liesmich.txt"), "w").write("kein Plan")
    made = os.path.join(work, "plans.zip")
    subprocess.run(["zip", "-qr", made, "EG", "OG", "liesmich.txt"], cwd=src, check=True)
    info = run("info", made)
    out = info.stdout.decode()
    check(info.returncode == 0, f"zip's zip: {info.stderr!r}")
    check(f"{made}[EG/Wand.akt]:" in out and f"{made}[OG/Süd/Dach.AKT]:" in out,
          f"zip's zip, drawings shown: {out!r}")
    check("liesmich" not in out, "a text file was taken for a drawing")

    pyzip = os.path.join(work, "py.ZIP")
    with zipfile.ZipFile(pyzip, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("a/b/Grundriss.akt", drawing)
        z.writestr("Schnitt.akt", drawing)
    out_dir = os.path.join(work, "renders")
    render = run("render", pyzip, "-o", out_dir)
    check(render.returncode == 0, f"Python's zip render: {render.stderr!r}")
    check(sorted(os.listdir(out_dir)) == ["Grundriss.png", "Schnitt.png"] if os.path.isdir(out_dir)
          else False, "Python's zip: not every drawing rendered")
    check(f"{pyzip}[a/b/Grundriss.akt] ->" in render.stdout.decode(), render.stdout.decode())
    check(leftovers() == [], f"temporary folders left after success: {leftovers()}")

    # --- hostile zips: refused or reported, nothing outside, no crash ---
    victim = os.path.join(work, "evil.akt")

    def hostile(name, build):
        path = os.path.join(work, name)
        data = build()
        open(path, "wb").write(data)
        before = set(os.listdir(work))
        result = run("info", path)
        err = result.stderr.decode(errors="replace")
        if os.environ.get("SHOW"):
            print(name, err)
        check(result.returncode == 1, f"{name}: exit {result.returncode}, {err!r}")
        check(err.strip() != "" and "Zip-" in err, f"{name}: no report: {err!r}")
        check(set(os.listdir(work)) == before and not os.path.exists(victim),
              f"{name}: something written outside the temporary folder")
        check(leftovers() == [], f"{name}: temporary folder left")
        return err

    def zip_bytes(entries, method=zipfile.ZIP_STORED):
        path = os.path.join(work, "build.zip")
        with zipfile.ZipFile(path, "w", method) as z:
            for info, data in entries:
                z.writestr(info, data)
        return bytearray(open(path, "rb").read())

    def symlink_entry():
        info = zipfile.ZipInfo("Wand.akt")
        info.create_system = 3
        info.external_attr = 0o120777 << 16
        return info

    err = hostile("traversal.zip", lambda: zip_bytes(
        [("../evil.akt", drawing), ("/tmp/abs.akt", drawing), ("C:/x.akt", drawing),
         ("a\\..\\..\\evil.akt", drawing), (symlink_entry(), "/etc/passwd")]))
    check(err.count("wurde nicht ausgepackt") == 5, f"traversal: not every entry refused: {err}")

    def patch_sizes(data, size, local_too):
        pos = data.find(b"PK\x01\x02")
        while pos >= 0:
            struct.pack_into("<I", data, pos + 24, size)
            if local_too:
                local = struct.unpack_from("<I", data, pos + 42)[0]
                struct.pack_into("<I", data, local + 22, size)
            pos = data.find(b"PK\x01\x02", pos + 4)
        return bytes(data)

    # Small file, huge declared sizes: refused before anything is written.
    err = hostile("bomb-declared.zip", lambda: patch_sizes(
        zip_bytes([(f"d{i}.akt", b"x") for i in range(400)]), 0xFFFFFFF0, False))
    check("nichts ausgepackt" in err, f"declared bomb not refused by size: {err}")
    # More data than declared: stopped at the declared size and reported.
    hostile("bomb-actual.zip", lambda: patch_sizes(
        zip_bytes([("big.akt", b"\0" * (8 << 20))], zipfile.ZIP_DEFLATED), 1000, True))

    def crc_error():
        data = zip_bytes([("Wand.akt", drawing)])
        data[30 + len("Wand.akt") + 100] ^= 0xFF
        return bytes(data)
    err = hostile("crc.zip", crc_error)
    check("-105" in err or "Prüfsumme" in err, f"CRC error not reported: {err}")

    def truncated():
        data = zip_bytes([("Wand.akt", drawing), ("Dach.akt", drawing)])
        cd = data.find(b"PK\x01\x02")
        return bytes(data[:cd + 20])
    hostile("truncated.zip", truncated)

    def duplicate():
        data = zip_bytes([("Wand.akt", drawing), ("Wanx.akt", b"other")])
        return bytes(data.replace(b"Wanx.akt", b"Wand.akt"))
    err = hostile("duplicate.zip", duplicate)
    check("doppelt" in err, f"duplicate not reported: {err}")

    def not_utf8():
        data = zip_bytes([("W\x01\x02nd.akt", drawing)])
        return bytes(data.replace(b"W\x01\x02nd", b"W\xff\xfend"))
    err = hostile("latin.zip", not_utf8)
    check("UTF-8" in err, f"invalid name not reported: {err}")

    # --- a signal during the command still removes the folder ---
    many = os.path.join(work, "many.zip")
    with zipfile.ZipFile(many, "w", zipfile.ZIP_STORED) as z:
        for i in range(400):
            z.writestr(f"p{i:03}.akt", drawing)
    for sig in (signal.SIGINT, signal.SIGTERM):
        shutil.rmtree(out_dir, ignore_errors=True)
        proc = subprocess.Popen([cli, "render", many, "-o", out_dir], env=env,
                                stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        proc.stdout.readline()  # the first drawing is done: unpacked and rendering
        proc.send_signal(sig)
        proc.communicate(timeout=60)
        check(proc.returncode == -sig, f"{sig.name}: ended with {proc.returncode}")
        check(leftovers() == [], f"{sig.name}: temporary folder left: {leftovers()}")

if failures:
    print("\n".join(failures))
    sys.exit(1)
print("ok")
