#!/usr/bin/env python3
"""End-to-end test of zip files on a real X server.

Makes a zip file of two drawings in subfolders (with Python's zipfile, a folder entry
included), starts `planora` with it on the command line, sees both drawings listed as thumbnails
in the column at the left and the last one named in the title as "plans.zip[...]", finds the
unpacked files in a "zpt" folder below the temporary folder, closes the program through its menu
and finds the "zpt" folder gone; then starts it again and ends it with SIGTERM, which must take
the folder too.

Needs DISPLAY, xdotool and ImageMagick's `import`/`convert`; exits with 77 (skipped) without
them.
"""

import argparse
import glob
import os
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_e2e import (SKIP, TITLE, cannot_run_here, close_through_menu, fail,  # noqa: E402
                         geometry, graphics_area, keep_server, main_window, program_env, run,
                         screenshot, wait_for, wait_for_logo)
from document_list_e2e import thumbnail_counts  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--planora", required=True)
    parser.add_argument("--examples", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()

    why = cannot_run_here()
    if why:
        print("übersprungen: " + why)
        return SKIP
    os.makedirs(args.artifacts, exist_ok=True)

    work = tempfile.mkdtemp(prefix="planora-zip-e2e-")
    proc = None
    keeper = None
    try:
        tmp = os.path.join(work, "tmp")
        os.makedirs(tmp)
        plans = os.path.join(work, "plans.zip")
        with zipfile.ZipFile(plans, "w", zipfile.ZIP_DEFLATED) as z:
            z.writestr("EG/", b"")
            z.write(os.path.join(args.examples, "haus-0700.akt"), "EG/haus-0700.akt")
            z.write(os.path.join(args.examples, "haus-1800.akt"), "OG/Dach/haus-1800.akt")
        _, env = program_env(work, title_line=True, HOME=work, TMPDIR=tmp)

        keeper = keep_server(env)
        proc = subprocess.Popen([args.planora, plans], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=work)
        wid = main_window(env, proc)
        wait_for_logo(env)
        want = "%s - plans.zip[haus-1800.akt]" % TITLE
        wait_for(lambda: run(["xdotool", "getwindowname", wid], env=env).strip() == want, 15,
                 "der Titel nennt die Zip-Datei (\"%s\")" % want)
        time.sleep(0.5)

        folders = glob.glob(os.path.join(tmp, "zpt*"))
        print("Auspackordner: %s" % folders)
        if len(folders) != 1:
            fail("statt eines \"zpt\"-Ordners gibt es %d" % len(folders))
        for inner in ("EG/haus-0700.akt", "OG/Dach/haus-1800.akt"):
            if not os.path.isfile(os.path.join(folders[0], inner)):
                fail("%s wurde nicht ausgepackt" % inner)

        wx, wy, ww, wh = geometry(wid, env)
        image = screenshot(os.path.join(args.artifacts, "zip-geoeffnet.png"))
        _, gy, _, _ = graphics_area(image, wx, wy, ww, wh)
        counts = thumbnail_counts(image, wx, gy)
        print("Vorschaubilder (dunkel, andere Punkte): %s" % counts)
        for i in range(2):
            dark, other = counts[i]
            if dark < 500 or other < 20:
                fail("kein Vorschaubild an Platz %d der Liste" % (i + 1))
        if counts[2][0] > 50:
            fail("ein drittes Vorschaubild in der Liste")

        close_through_menu(wid, proc, env)
        if glob.glob(os.path.join(tmp, "zpt*")):
            fail("der \"zpt\"-Ordner ist nach dem Ende des Programms noch da")

        # --- Ended by a signal (a session ending, a kill from a script): the folder goes too.
        proc = subprocess.Popen([args.planora, plans], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=work)
        wid = main_window(env, proc)
        wait_for(lambda: glob.glob(os.path.join(tmp, "zpt*", "OG", "Dach", "haus-1800.akt")), 15,
                 "die Zip-Datei wird wieder ausgepackt")
        wait_for(lambda: run(["xdotool", "getwindowname", wid], env=env).strip() == want, 15,
                 "die zweite Zeichnung ist geöffnet")
        proc.terminate()
        try:
            proc.wait(timeout=15)
        except subprocess.TimeoutExpired:
            fail("das Programm endet nicht auf SIGTERM")
        if glob.glob(os.path.join(tmp, "zpt*")):
            fail("der \"zpt\"-Ordner ist nach SIGTERM noch da")
        print("in Ordnung")
        return 0
    finally:
        for p in (proc, keeper):
            if p is not None and p.poll() is None:
                p.kill()
                p.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
