#!/usr/bin/env python3
"""End-to-end test of the document list on a real X server.

Starts `planora` with three example drawings and finds their three thumbnails in the column at
the left, saves the list as an archive through "&Speichern" and the save dialog, closes the
program, starts it again without arguments, opens the archive through "&Öffnen" and the open
dialog, double-clicks the second thumbnail and sees that drawing in the window (its name in the
title, its picture in the graphics window).

Needs DISPLAY, xdotool and ImageMagick's `import`/`convert`; exits with 77 (skipped) without
them.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from desktop_e2e import (SKIP, TITLE, cannot_run_here, close_through_menu, fail,  # noqa: E402
                         geometry, graphics_area, keep_server, main_window, open_file_menu,
                         program_env, run, screenshot, wait_for, wait_for_logo)

PITCH = 97 + 25  # thumbnail height and the gap below it


def thumbnail_counts(image, wx, top):
    """For the first four places of the column: (dark pixels, other pixels) of the thumbnail
    box. Thumbnails are drawn on the black drawing background; an empty place shows the
    column's own light colour."""
    counts = []
    for i in range(4):
        y0 = top + 10 + i * PITCH + 4
        dark = other = 0
        for y in range(y0, y0 + 97 - 8, 2):
            for x in range(wx + 16, wx + 122, 2):
                r, g, b = image.at(x, y)
                if r < 40 and g < 40 and b < 40:
                    dark += 1
                else:
                    other += 1
        counts.append((dark, other))
    return counts


def type_into_dialog(env, path):
    time.sleep(1.0)
    run(["xdotool", "key", "ctrl+a"], env=env)
    run(["xdotool", "type", "--delay", "20", path], env=env)
    time.sleep(0.3)
    run(["xdotool", "key", "Return"], env=env)


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

    work = tempfile.mkdtemp(prefix="planora-list-e2e-")
    procs = []
    try:
        names = ["haus-0700.akt", "haus-1800.akt", "haus-2500.akt"]
        drawings = []
        for name in names:
            drawings.append(os.path.join(work, name))
            shutil.copyfile(os.path.join(args.examples, name), drawings[-1])
        archive = os.path.join(work, "mappe.ad")
        _, env = program_env(work, title_line=True, HOME=work)
        keeper = keep_server(env)
        if keeper:
            procs.append(keeper)

        # --- First start with three drawings: three thumbnails, one below the other.
        log = os.path.join(args.artifacts, "erster-start.log")
        with open(log, "w") as err:
            proc = subprocess.Popen([args.planora] + drawings, env=env,
                                    stdout=subprocess.DEVNULL, stderr=err, cwd=work)
        procs.append(proc)
        wid = main_window(env, proc, log)
        wait_for_logo(env)
        time.sleep(0.5)
        wx, wy, ww, wh = geometry(wid, env)
        image = screenshot(os.path.join(args.artifacts, "liste-drei.png"))
        _, gy, _, _ = graphics_area(image, wx, wy, ww, wh)
        counts = thumbnail_counts(image, wx, gy)
        print("Vorschaubilder (dunkel, andere Punkte): %s" % counts)
        for i in range(3):
            dark, other = counts[i]
            if dark < 500 or other < 20:
                fail("kein Vorschaubild an Platz %d der Liste" % (i + 1))
        if counts[3][0] > 50:
            fail("ein viertes Vorschaubild in der Liste")

        # --- "&Speichern" writes the archive.
        open_file_menu(wid, env)
        run(["xdotool", "key", "s"], env=env)
        type_into_dialog(env, archive)
        wait_for(lambda: os.path.isfile(archive) and os.path.getsize(archive) > 0, 10,
                 "die Archivdatei wird geschrieben")
        with open(archive, "rb") as f:
            if f.read(8) != bytes.fromhex("d0cf11e0a1b11ae1"):
                fail("die Archivdatei ist keine Verbunddatei")
        close_through_menu(wid, proc, env)

        # --- Second start without arguments; "&Öffnen" opens the archive.
        log = os.path.join(args.artifacts, "zweiter-start.log")
        with open(log, "w") as err:
            proc = subprocess.Popen([args.planora], env=env, stdout=subprocess.DEVNULL,
                                    stderr=err, cwd=work)
        procs.append(proc)
        wid = main_window(env, proc, log)
        wait_for_logo(env)
        time.sleep(0.3)
        if run(["xdotool", "getwindowname", wid], env=env).strip() != TITLE:
            fail("ohne Argumente ist schon eine Zeichnung geöffnet")
        open_file_menu(wid, env)
        run(["xdotool", "key", "Down", "Down", "Return"], env=env)  # "&Öffnen"
        type_into_dialog(env, archive)
        time.sleep(1.0)
        wx, wy, ww, wh = geometry(wid, env)
        image = screenshot(os.path.join(args.artifacts, "archiv-geladen.png"))
        counts = thumbnail_counts(image, wx, gy)
        print("Vorschaubilder aus dem Archiv: %s" % counts)
        for i in range(3):
            if counts[i][0] < 500 or counts[i][1] < 20:
                fail("Vorschaubild %d fehlt nach dem Laden des Archivs" % (i + 1))
        if run(["xdotool", "getwindowname", wid], env=env).strip() != TITLE:
            fail("das Laden des Archivs hat eine Zeichnung geöffnet")

        # --- A double click on the second thumbnail shows that drawing.
        run(["xdotool", "mousemove", str(wx + 70), str(gy + 10 + PITCH + 48), "click",
             "--repeat", "2", "--delay", "80", "1"], env=env)
        want = "%s - %s" % (TITLE, names[1])
        wait_for(lambda: run(["xdotool", "getwindowname", wid], env=env).strip() == want, 15,
                 "der Doppelklick zeigt die zweite Zeichnung (Titel \"%s\")" % want)
        time.sleep(0.8)
        image = screenshot(os.path.join(args.artifacts, "zweite-gezeigt.png"))
        gx, gy2, gw, gh = graphics_area(image, wx, wy, ww, wh)
        drawn = sum(1 for y in range(gy2, gy2 + gh, 3) for x in range(gx, gx + gw, 3)
                    if image.at(x, y) != (0, 0, 0))
        print("gezeichnete Punkte im Grafikfenster (jeder neunte gezählt): %d" % drawn)
        if drawn < 200:
            fail("die zweite Zeichnung erscheint nicht im Grafikfenster")
        close_through_menu(wid, proc, env)
        print("in Ordnung")
        return 0
    finally:
        for p in procs:
            if p.poll() is None:
                p.kill()
                p.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
