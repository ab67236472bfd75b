#!/usr/bin/env python3
"""End-to-end test of "&Exportieren ..." on a real X server.

Starts `planora` with an example drawing, chooses "&Exportieren ..." in the "&Datei" menu, types
a file name into the save dialog (its first type is DXF) and checks that the DXF appears and that
the independent DXF reader's round trip accepts it: every entity with its kind, layer, on/off
state, coordinates, radii, angles and texts equal to `planora-cli dump` of the drawing.

Needs DISPLAY, xdotool and python3-ezdxf; exits with 77 (skipped) without them.
"""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(os.path.dirname(HERE), "export"))
from desktop_e2e import (SKIP, close_through_menu, fail, main_window,  # noqa: E402
                         open_file_menu, program_env, run, wait_for, wait_for_logo)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--planora", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--example", required=True)
    args = parser.parse_args()

    if not os.environ.get("DISPLAY"):
        print("übersprungen: kein X-Server (DISPLAY ist nicht gesetzt)")
        return SKIP
    if shutil.which("xdotool") is None:
        print("übersprungen: xdotool fehlt")
        return SKIP
    try:
        import dxf_round_trip_test as round_trip
    except SystemExit:  # the reader is missing
        print("übersprungen: python3-ezdxf fehlt")
        return SKIP

    work = tempfile.mkdtemp(prefix="planora-export-e2e-")
    proc = None
    try:
        drawing = os.path.join(work, os.path.basename(args.example))
        shutil.copyfile(args.example, drawing)
        target = os.path.join(work, "ausgabe", "plan aus dem Programm.dxf")
        os.makedirs(os.path.dirname(target))
        _, env = program_env(work, HOME=work)

        proc = subprocess.Popen([args.planora, drawing], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL, cwd=work)
        wid = main_window(env, proc)
        wait_for_logo(env)

        # "&Exportieren ..." in the "&Datei" menu opens the save dialog "Exportieren".
        open_file_menu(wid, env)
        run(["xdotool", "key", "e"], env=env)
        wait_for(lambda: run(["xdotool", "search", "--onlyvisible", "--name", "^Exportieren$"],
                             env=env, check=False).split(), 15, "der Dialog \"Exportieren\"")
        run(["xdotool", "key", "ctrl+a"], env=env)
        run(["xdotool", "type", "--delay", "20", target], env=env)
        run(["xdotool", "key", "Return"], env=env)
        wait_for(lambda: os.path.isfile(target) and os.path.getsize(target) > 0, 20,
                 "die DXF-Datei wird geschrieben")
        # Written under a temporary name and renamed: nothing else is left in the folder.
        left = sorted(os.listdir(os.path.dirname(target)))
        if left != [os.path.basename(target)]:
            fail("im Zielordner liegt mehr als die DXF-Datei: %s" % left)

        skipped = round_trip.compare(args.cli, drawing, target, "Exportieren ...")
        if round_trip.failures or skipped is None:
            for f in round_trip.failures[:20]:
                print("FAIL:", f)
            fail("die exportierte DXF-Datei besteht den Vergleich mit dem Leser nicht")
        print("DXF aus dem Programm gelesen: %d Bytes, Vergleich in Ordnung"
              % os.path.getsize(target))
        close_through_menu(wid, proc, env)
        print("in Ordnung")
        return 0
    finally:
        if proc is not None and proc.poll() is None:
            proc.kill()
            proc.wait(timeout=10)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
