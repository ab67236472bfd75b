#!/usr/bin/env python3
"""End-to-end test of the desktop program on a real X server.

Starts `planora` with an example drawing in a private configuration folder (with pen colours
already configured, so that the first-start question does not come), checks that the drawing's
lines appear in their pen colours where an independent rendering of the same drawing puts them,
switches the wall layer off in the layer panel and sees its colour vanish, measures between two
wall corners with the mouse and finds the expected distance in the tooltip, copies the view to
the clipboard and reads it back as a black-and-white image, turns the mouse wheel and sees the
view change, closes the program through its menu and finds the window position and the recent
file in the settings file, then starts it again without arguments and opens the drawing from the
recent-file entry of the "&Datei" menu.

The tooltip is checked against the program's own tooltip window drawn with the expected text
(planora_tooltip_sample): both come from the same code, font and display, so they agree pixel for
pixel exactly when the texts agree.

Needs DISPLAY, xdotool and ImageMagick's `import`/`convert`; exits with 77 (skipped) without
them. The clipboard check needs xclip.
"""

import argparse
import json
import math
import os
import shutil
import subprocess
import sys
import struct
import tempfile
import time

SKIP = 77
TITLE = "KVN-CAD-Betrachter"


def fail(message):
    print("FEHLER: " + message, file=sys.stderr)
    sys.exit(1)


def run(cmd, env=None, timeout=20, check=True):
    result = subprocess.run(cmd, env=env, timeout=timeout, capture_output=True, text=True)
    if check and result.returncode != 0:
        fail("%s: %s" % (" ".join(cmd), result.stderr.strip()))
    return result.stdout


class Image:
    """A screenshot or rendering as RGB bytes, read through ImageMagick's PPM output."""

    def __init__(self, path):
        data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], capture_output=True,
                              timeout=30, check=True).stdout
        fields = []
        pos = 0
        while len(fields) < 4:
            while data[pos:pos + 1].isspace():
                pos += 1
            if data[pos:pos + 1] == b"#":
                pos = data.index(b"\n", pos) + 1
                continue
            end = pos
            while not data[end:end + 1].isspace():
                end += 1
            fields.append(data[pos:end])
            pos = end
        if fields[0] != b"P6":
            fail("unerwartetes Bildformat von convert")
        self.width, self.height = int(fields[1]), int(fields[2])
        self.pixels = data[pos + 1:]

    def at(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.pixels[i:i + 3])


def screenshot(path):
    run(["import", "-window", "root", path])
    return Image(path)


def wait_for(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    fail("Zeitüberschreitung: " + what)


def find_windows(name, env):
    out = run(["xdotool", "search", "--onlyvisible", "--name", name], env=env, check=False)
    return [w for w in out.split() if w]


def keep_server(env):
    """A client that stays connected while the test runs: an X server without -noreset resets
    when its last client leaves, and a program started in that moment cannot connect."""
    if shutil.which("xprop") is None:
        return None
    return subprocess.Popen(["xprop", "-root", "-spy"], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)


def main_window(env, proc=None, log=None):
    """Waits for the main window. With the program's process, an early end is reported at once
    with its exit code and the end of its error output (`log`, a file) instead of a timeout."""
    def found():
        if proc is not None and proc.poll() is not None:
            tail = ""
            if log and os.path.isfile(log):
                with open(log, encoding="utf-8", errors="replace") as f:
                    tail = f.read()[-2000:]
            fail("das Programm endete vor seinem Hauptfenster (Rückgabewert %d)\n%s"
                 % (proc.returncode, tail))
        for wid in find_windows("^KVN-CAD-Betrachter", env):
            return wid
        return None
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        wid = found()
        if wid:
            return wid
        time.sleep(0.1)
    names = [run(["xdotool", "getwindowname", w], env=env, check=False).strip()
             for w in find_windows(".", env)]
    stacks = ""
    if proc is not None and shutil.which("gdb"):
        # Where a program that shows no window is stuck, for the log.
        stacks = subprocess.run(["gdb", "-p", str(proc.pid), "-batch", "-ex",
                                 "thread apply all bt 25"], capture_output=True, text=True,
                                timeout=120).stdout
    fail("Zeitüberschreitung: Hauptfenster erscheint; sichtbare Fenster: %s\n%s" % (names, stacks))


def wait_for_logo(env):
    """The logo comes once the main window is on screen and goes after about a second."""
    deadline = time.monotonic() + 3
    while time.monotonic() < deadline and not find_windows("^Programminformation$", env):
        time.sleep(0.1)
    wait_for(lambda: not find_windows("^Programminformation$", env), 10, "Logo verschwindet")


def geometry(wid, env):
    values = {}
    for line in run(["xdotool", "getwindowgeometry", "--shell", wid], env=env).splitlines():
        key, _, value = line.partition("=")
        values[key] = int(value) if value.lstrip("-").isdigit() else value
    return values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]


def graphics_area(image, wx, wy, ww, wh):
    """The graphics window inside the main window: from x = 162 of the client area, between the
    menu bar and the status line. Found through the black background at the right edge, where
    the drawing (fitted at the left) leaves room."""
    column = wx + ww - 3
    top = None
    for y in range(wy, wy + wh):
        if image.at(column, y) == (0, 0, 0):
            top = y
            break
    if top is None:
        fail("kein schwarzer Zeichenbereich im Hauptfenster gefunden")
    bottom = top
    while bottom + 1 < wy + wh and image.at(column, bottom + 1) == (0, 0, 0):
        bottom += 1
    return wx + 162, top, wx + ww - (wx + 162), bottom - top + 1


def open_file_menu(wid, env):
    x, y, _, _ = geometry(wid, env)
    run(["xdotool", "mousemove", str(x + 20), str(y + 10), "click", "1"], env=env)
    time.sleep(0.6)


def close_through_menu(wid, proc, env):
    open_file_menu(wid, env)
    run(["xdotool", "key", "x"], env=env)  # "E&xit"
    try:
        proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        fail("das Programm endet nicht über \"E&xit\"")


# The colours that `planora-cli render` uses: its colour table and pens 1 to 8 on the colour
# numbers 0 to 7. Stored as the program's "Colortable" and "Pentable" so that the program draws
# in the same colours and does not ask the first-start question.
CLI_COLOURS = [(192, 192, 192), (0, 0, 255), (0, 255, 0), (0, 255, 255), (255, 0, 0), (0, 0, 255),
               (255, 255, 0), (255, 255, 255), (80, 80, 192), (0, 0, 192), (0, 192, 0),
               (0, 192, 192), (192, 0, 0), (192, 0, 192), (192, 192, 0), (128, 128, 128)]
CLI_PENS = list(range(8))


def settings_bytes(values):
    """A binary value as Qt's settings file writes it: every byte escaped."""
    data = struct.pack("<%dI" % len(values), *values)
    return "@ByteArray(" + "".join("\\x%x" % b for b in data) + ")"


def seed_settings(config):
    folder = os.path.join(config, "Quellmark")
    os.makedirs(folder, exist_ok=True)
    colours = [r | (g << 8) | (b << 16) for r, g, b in CLI_COLOURS]
    with open(os.path.join(folder, "Planora.conf"), "w", encoding="utf-8") as f:
        f.write("[General]\nPentable=%s\nColortable=%s\n"
                % (settings_bytes(CLI_PENS), settings_bytes(colours)))


def program_env(work, title_line=False, **extra):
    """A settings folder below `work` seeded with the colours (and with title mode 1 when
    `title_line`), and the environment that makes the program use it on the X server. Returns
    the settings folder and the environment."""
    config = os.path.join(work, "config")
    seed_settings(config)
    if title_line:
        with open(os.path.join(config, "Quellmark", "Planora.conf"), "a",
                  encoding="utf-8") as f:
            f.write("Titelzeile=1\n")
    env = dict(os.environ, XDG_CONFIG_HOME=config, XDG_DATA_HOME=os.path.join(work, "data"),
               **extra)
    env.pop("QT_QPA_PLATFORM", None)
    return config, env


def cannot_run_here(tools=("xdotool", "import", "convert")):
    """Why an end-to-end run cannot go on on this machine (no X server, a tool missing), or
    None."""
    if not os.environ.get("DISPLAY"):
        return "kein X-Server (DISPLAY ist nicht gesetzt)"
    for tool in tools:
        if shutil.which(tool) is None:
            return "%s fehlt" % tool
    return None


def menu_key(wid, env, menu_x, key):
    """Opens the menu whose title lies at menu_x in the menu bar and presses a key in it."""
    x, y, _, _ = geometry(wid, env)
    run(["xdotool", "mousemove", str(x + menu_x), str(y + 10), "click", "1"], env=env)
    time.sleep(0.6)
    run(["xdotool", "key"] + key.split(), env=env)
    time.sleep(0.6)


MENU_X = {"Datei": 20, "Bearbeiten": 135, "Optionen": 212, "Messen": 276}


def render_cli(cli, drawing, size, path, extra=()):
    run([cli, "render", "--size", "%dx%d" % size, "-o", path] + list(extra) + [drawing],
        timeout=60)
    return Image(path)


def changed_box(a, b, w, h):
    """The bounding box (x0, y0, x1, y1) of the pixels that differ between two renderings."""
    xs, ys = [], []
    for y in range(h):
        for x in range(w):
            if a.at(x, y) != b.at(x, y):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    return min(xs), min(ys), max(xs), max(ys)


def colour_count(image, box, colour):
    x0, y0, w, h = box
    return sum(1 for y in range(y0, y0 + h) for x in range(x0, x0 + w)
               if image.at(x, y) == colour)


def wall_layer(dump):
    """The layer with the most lines (the walls) and the drawing points of its line ends."""
    counts = {}
    for e in dump["elements"]:
        if e["kind"] == "Line" and e["layerField"] > 0:
            counts[e["layerField"]] = counts.get(e["layerField"], 0) + 1
    field = max(counts, key=counts.get)
    points = []
    for e in dump["elements"]:
        if e["kind"] == "Line" and e["layerField"] == field:
            g = e["g"]
            points += [(g[0], g[1]), (g[2], g[3])]
    return field - 1, points


def expected_measure_text(dx, dy, scale):
    """The measured text for the vector (dx, dy) in metres with three decimals at 1:scale."""
    dist = math.hypot(dx, dy)
    if abs(dx) > 0.0001:
        angle = math.degrees(math.acos(dx / dist))
        if dy < 0:
            angle = -angle
    elif abs(dy) > 0.0001:
        angle = math.degrees(math.asin(dy / dist))
    else:
        angle = 0.0
    f = 0.01 * scale
    return "Abstände: %.3f (x %.3f) (y %.3f) (Wnk %.3f°)" % (dist * f, abs(dx) * f,
                                                            abs(dy) * f, angle)


def find_tooltip(image):
    """The tooltip's rectangle (with its one-pixel border) by its pale yellow inside."""
    xs, ys = [], []
    for y in range(0, image.height):
        for x in range(0, image.width, 2):
            if image.at(x, y) == (255, 255, 192):
                xs.append(x)
                ys.append(y)
    if not xs:
        return None
    x0, y0 = min(xs), min(ys)
    x1, y1 = max(xs), max(ys)
    while image.at(x0 - 1, y0) == (255, 255, 192):
        x0 -= 1
    while image.at(x1 + 1, y0) == (255, 255, 192):
        x1 += 1
    return x0 - 1, y0 - 1, x1 - x0 + 3, y1 - y0 + 3


def check_layer_switch(args, wid, env, work, area, drawing):
    """Switches the wall layer off in the layer panel and sees its colour vanish."""
    gx, gy, gw, gh = area
    with_walls = render_cli(args.cli, drawing, (gw, gh), os.path.join(work, "all.png"))
    dump = json.loads(run([args.cli, "dump", drawing], timeout=60))
    layer, _ = wall_layer(dump)
    without = render_cli(args.cli, drawing, (gw, gh), os.path.join(work, "nowalls.png"),
                         ["--layer-off", str(layer)])
    box = changed_box(with_walls, without, gw, gh)
    if box is None:
        fail("die Wände verändern die Vergleichszeichnung nicht")
    # The walls' colour: the commonest colour among the pixels the walls add.
    counts = {}
    for y in range(box[1], box[3] + 1):
        for x in range(box[0], box[2] + 1):
            if with_walls.at(x, y) != without.at(x, y):
                c = with_walls.at(x, y)
                counts[c] = counts.get(c, 0) + 1
    wall_colour = max(counts, key=counts.get)
    other = (0, 0, 255)
    before = screenshot(os.path.join(args.artifacts, "vor-folien.png"))
    if colour_count(before, area, wall_colour) < 200:
        fail("die Wandfarbe %s ist vor dem Umschalten nicht zu sehen" % (wall_colour,))

    menu_key(wid, env, MENU_X["Optionen"], "f")  # "&Folien Layer"
    panel = screenshot(os.path.join(args.artifacts, "folien-panel.png"))
    wx, wy, _, _ = geometry(wid, env)
    # The first row (layers sorted by number) by its on picture, green, in the picture column.
    row_y = None
    for y in range(wy + 20, wy + 200):
        for x in range(wx + 8, wx + 32):
            r, g, b = panel.at(x, y)
            if g > 120 and g > r + 60 and g > b + 60:
                row_y = y
                break
        if row_y is not None:
            break
    if row_y is None:
        fail("das Folien-Panel zeigt keine eingeschaltete Folie")
    row = layer - min(l["number"] for l in dump["layers"])
    run(["xdotool", "mousemove", str(wx + 80), str(row_y + 4 + 18 * row), "click", "1"], env=env)
    time.sleep(0.4)
    # From the list the focus goes through "alle anschalten", "alle ausschalten" to "übernehmen".
    run(["xdotool", "key", "Tab", "Tab", "Tab", "space"], env=env)
    time.sleep(1.0)
    after = screenshot(os.path.join(args.artifacts, "folie-aus.png"))
    left = colour_count(after, area, wall_colour)
    print("Wandfarbe %s: %d Punkte vorher, %d nachher"
          % (wall_colour, colour_count(before, area, wall_colour), left))
    if left > 20:
        fail("die Wandfarbe verschwindet nicht mit der Folie")
    if colour_count(after, area, other) < 100:
        fail("mit der Wandfolie verschwindet auch der Rest der Zeichnung")
    # Escape closes the panel; the layer stays off until it is switched on again.
    run(["xdotool", "key", "Escape"], env=env)
    time.sleep(0.3)
    menu_key(wid, env, MENU_X["Optionen"], "f")
    run(["xdotool", "mousemove", str(wx + 80), str(row_y + 4 + 18 * row), "click", "1"], env=env)
    time.sleep(0.3)
    run(["xdotool", "key", "Tab", "Tab", "Tab", "space", "Escape"], env=env)
    time.sleep(0.8)
    again = screenshot(os.path.join(args.artifacts, "folie-wieder-an.png"))
    if colour_count(again, area, wall_colour) < 200:
        fail("die Wandfolie kommt nicht wieder")
    return with_walls, without, box, dump, layer


def check_measuring(args, wid, env, work, area, renders, dump, layer):
    """Measures from the wall corner at the top left to the one at the bottom right."""
    gx, gy, gw, gh = area
    with_walls, without, box, _, _ = renders
    _, points = wall_layer(dump)
    min_x = min(p[0] for p in points)
    max_x = max(p[0] for p in points)
    min_y = min(p[1] for p in points)
    max_y = max(p[1] for p in points)
    # The walls' extent in the rendering maps the drawing to the window's pixels.
    x0, y0, x1, y1 = box
    kx = (x1 - x0) / (max_x - min_x)
    ky = (y1 - y0) / (max_y - min_y)
    if abs(kx - ky) > 0.05 * kx:
        fail("die Wände liegen nicht so, wie ihre Linienenden es sagen (%.2f, %.2f)" % (kx, ky))

    def corner(x, y):
        """The line end nearest to (x, y) and its pixel in the window."""
        p = min(points, key=lambda q: math.hypot(q[0] - x, q[1] - y))
        return p, (gx + x0 + round((p[0] - min_x) * kx), gy + y0 + round((max_y - p[1]) * ky))
    (a, (ax, ay)), (b, (bx, by)) = corner(min_x, max_y), corner(max_x, min_y)
    scale = dump["scales"][0]["denominator"]
    want = expected_measure_text(b[0] - a[0], b[1] - a[1], scale)
    print("von %s nach %s erwartet: %s" % (a, b, want))

    menu_key(wid, env, MENU_X["Messen"], "Down Return")  # "Endpunkt"
    # The anchor on the corner at the top left, then the mouse to the corner at the bottom right.
    for (px, py) in ((ax + 3, ay + 3), (ax + 1, ay + 1)):
        run(["xdotool", "mousemove", str(px), str(py)], env=env)
        time.sleep(0.3)
    run(["xdotool", "click", "1"], env=env)
    time.sleep(0.3)
    for (px, py) in ((bx - 3, by - 3), (bx - 1, by - 1)):
        run(["xdotool", "mousemove", str(px), str(py)], env=env)
        time.sleep(0.3)
    time.sleep(0.6)
    shot_path = os.path.join(args.artifacts, "messen.png")
    shot = screenshot(shot_path)
    tip = find_tooltip(shot)
    if tip is None:
        fail("beim Messen erscheint kein Tooltip")
    sample_path = os.path.join(work, "tooltip-erwartet.png")
    run([args.tooltip_sample, want, sample_path], env=env)
    sample = Image(sample_path)
    tx, ty, tw, th = tip
    if (sample.width, sample.height) != (tw, th):
        fail("der Tooltip ist %dx%d groß, der mit dem erwarteten Text %dx%d"
             % (tw, th, sample.width, sample.height))
    differ = sum(1 for y in range(th) for x in range(tw)
                 if shot.at(tx + x, ty + y) != sample.at(x, y))
    print("Tooltip %dx%d bei (%d, %d), abweichende Punkte: %d" % (tw, th, tx, ty, differ))
    if differ > 0:
        fail("der Tooltip zeigt nicht \"%s\" (siehe %s)" % (want, shot_path))

    # Off the graphics window (over the column at the left) the tooltip goes; back on the corner
    # it comes again.
    run(["xdotool", "mousemove", str(gx - 60), str(gy + 40)], env=env)
    wait_for(lambda: find_tooltip(screenshot(os.path.join(work, "weg.png"))) is None, 5,
             "der Tooltip verschwindet, wenn die Maus das Grafikfenster verlässt")
    screenshot(os.path.join(args.artifacts, "tooltip-weg.png"))
    for (px, py) in ((bx - 3, by - 3), (bx - 1, by - 1)):
        run(["xdotool", "mousemove", str(px), str(py)], env=env)
        time.sleep(0.3)
    wait_for(lambda: find_tooltip(screenshot(os.path.join(work, "zurueck.png"))), 5,
             "der Tooltip kommt zurück, wenn die Maus zurückkommt")

    # With the corner at the screen's right edge the tooltip goes to the left of the cursor and
    # stays on the screen.
    sw, _ = (int(v) for v in run(["xdotool", "getdisplaygeometry"], env=env).split())
    wx, wy, _, _ = geometry(wid, env)
    shift = sw - 2 - bx
    run(["xdotool", "windowmove", wid, str(wx + shift), str(wy)], env=env)
    time.sleep(0.8)
    for (px, py) in ((bx + shift - 3, by - 3), (bx + shift - 1, by - 1)):
        run(["xdotool", "mousemove", str(px), str(py)], env=env)
        time.sleep(0.3)
    time.sleep(0.5)
    edge_path = os.path.join(args.artifacts, "tooltip-rand.png")
    edge_tip = find_tooltip(screenshot(edge_path))
    run(["xdotool", "windowmove", wid, str(wx), str(wy)], env=env)
    time.sleep(0.8)
    if edge_tip is None:
        fail("am rechten Bildschirmrand erscheint kein Tooltip (siehe %s)" % edge_path)
    ex, ey, ew, eh = edge_tip
    print("Tooltip am Rand %dx%d bei (%d, %d), Bildschirmbreite %d" % (ew, eh, ex, ey, sw))
    if ex + ew > sw or ex + ew > bx + shift:
        fail("der Tooltip läuft am rechten Bildschirmrand hinaus (siehe %s)" % edge_path)
    # "Meßmodus abschalten", now the first item that can be chosen, hides the tooltip.
    menu_key(wid, env, MENU_X["Messen"], "Down Return")
    wait_for(lambda: find_tooltip(screenshot(os.path.join(work, "aus.png"))) is None, 5,
             "\"Meßmodus abschalten\" blendet den Tooltip aus")


def check_clipboard(args, wid, env, work, area):
    """"&Kopieren in Zwischenablage" puts the view on the clipboard in black and white."""
    if shutil.which("xclip") is None:
        print("Zwischenablage übersprungen: xclip fehlt")
        return
    gx, gy, gw, gh = area
    screen = screenshot(os.path.join(work, "vor-kopie.png"))
    menu_key(wid, env, MENU_X["Bearbeiten"], "k")
    clip_path = os.path.join(args.artifacts, "zwischenablage.png")

    def read_clip():
        r = subprocess.run(["xclip", "-selection", "clipboard", "-t", "image/png", "-o"],
                           env=env, capture_output=True, timeout=30)
        if r.returncode != 0 or not r.stdout.startswith(b"\x89PNG"):
            return False
        with open(clip_path, "wb") as f:
            f.write(r.stdout)
        return True
    wait_for(read_clip, 20, "ein Bild in der Zwischenablage")
    clip = Image(clip_path)
    k = 2400 / gw
    want = (int(gw * k), int(gh * k))
    print("Zwischenablage: %dx%d, erwartet %dx%d" % ((clip.width, clip.height) + want))
    if (clip.width, clip.height) != want:
        fail("das Bild in der Zwischenablage ist nicht %dx%d groß" % want)
    colours = set()
    for y in range(0, clip.height, 3):
        for x in range(0, clip.width, 3):
            colours.add(clip.at(x, y))
    if not colours <= {(0, 0, 0), (255, 255, 255)}:
        fail("das Bild in der Zwischenablage ist nicht schwarzweiß: %s" % sorted(colours)[:5])
    # Where the window shows a line, the copy has black nearby.
    lines = found = 0
    for y in range(0, gh, 4):
        for x in range(0, gw, 4):
            if screen.at(gx + x, gy + y) == (0, 0, 0):
                continue
            lines += 1
            cx, cy = int(x * k), int(y * k)
            if any(clip.at(min(clip.width - 1, max(0, cx + dx)),
                           min(clip.height - 1, max(0, cy + dy))) == (0, 0, 0)
                   for dx in range(-4, 5, 2) for dy in range(-4, 5, 2)):
                found += 1
    print("Linienpunkte des Fensters: %d, davon in der Kopie schwarz: %d" % (lines, found))
    if lines < 200 or found < 0.9 * lines:
        fail("die Linien der Zeichnung sind in der Kopie nicht schwarz")
    after = screenshot(os.path.join(work, "nach-kopie.png"))
    if colour_count(after, area, (0, 0, 255)) != colour_count(screen, area, (0, 0, 255)):
        fail("die Ansicht ist nach dem Kopieren nicht wie vorher")


def settings_text(config):
    path = os.path.join(config, "Quellmark", "Planora.conf")
    if not os.path.exists(path):
        fail("keine Einstellungsdatei " + path)
    with open(path, encoding="utf-8") as f:
        return path, f.read()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--planora", required=True)
    parser.add_argument("--cli", required=True)
    parser.add_argument("--example", required=True)
    parser.add_argument("--tooltip-sample", required=True)
    parser.add_argument("--artifacts", required=True)
    args = parser.parse_args()

    why = cannot_run_here()
    if why:
        print("übersprungen: " + why)
        return SKIP
    os.makedirs(args.artifacts, exist_ok=True)

    work = tempfile.mkdtemp(prefix="planora-e2e-")
    procs = []
    try:
        drawing = os.path.join(work, "haus-2500.akt")
        shutil.copyfile(args.example, drawing)
        # The program registers itself for archive files at start: into the test's folders.
        config, env = program_env(work)
        keeper = keep_server(env)
        if keeper:
            procs.append(keeper)

        # --- First start with the drawing.
        proc = subprocess.Popen([args.planora, drawing], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        procs.append(proc)
        wid = main_window(env, proc)
        # The logo lies above the main window for about a second.
        wait_for_logo(env)
        time.sleep(0.5)
        wx, wy, ww, wh = geometry(wid, env)
        before = screenshot(os.path.join(args.artifacts, "start.png"))
        gx, gy, gw, gh = graphics_area(before, wx, wy, ww, wh)

        # The same drawing rendered by the command-line tool at the graphics window's size: every
        # line pixel there must show in the window in the same pen colour.
        expected_path = os.path.join(work, "expected.png")
        run([args.cli, "render", "--size", "%dx%d" % (gw, gh), "-o", expected_path, drawing],
            timeout=60)
        expected = Image(expected_path)
        lines = matched = 0
        colours = set()
        for y in range(0, gh):
            for x in range(0, gw):
                colour = expected.at(x, y)
                if colour == (0, 0, 0):
                    continue
                lines += 1
                colours.add(colour)
                if before.at(gx + x, gy + y) == colour:
                    matched += 1
        if lines < 1000 or len(colours) < 4:
            fail("die Vergleichszeichnung hat zu wenig Linien (%d, %d Farben)"
                 % (lines, len(colours)))
        share = matched / lines
        print("Linienpunkte: %d, davon im Fenster in ihrer Stiftfarbe: %.1f %%"
              % (lines, 100 * share))
        if share < 0.9:
            fail("die Zeichnung erscheint nicht in ihren Stiftfarben (%.1f %%)" % (100 * share))

        area = (gx, gy, gw, gh)
        # --- Layers, measuring and the clipboard copy.
        renders = check_layer_switch(args, wid, env, work, area, drawing)
        check_measuring(args, wid, env, work, area, renders, renders[3], renders[4])
        check_clipboard(args, wid, env, work, area)
        before = screenshot(os.path.join(work, "vor-rad.png"))

        # --- A wheel turn away from the user zooms in about the cursor.
        run(["xdotool", "mousemove", str(gx + gw // 3), str(gy + gh // 2), "click", "4"], env=env)
        time.sleep(0.8)
        after = screenshot(os.path.join(args.artifacts, "wheel.png"))
        changed = sum(1 for y in range(gy, gy + gh, 2) for x in range(gx, gx + gw, 2)
                      if before.at(x, y) != after.at(x, y))
        print("nach dem Mausrad geänderte Punkte (jeder vierte gezählt): %d" % changed)
        if changed < 500:
            fail("das Mausrad ändert die Ansicht nicht")

        # --- Closing saves the window position and the recent file.
        close_through_menu(wid, proc, env)
        path, text = settings_text(config)
        for name in ("WindowPosition", "recent00"):
            if name not in text:
                fail("%s fehlt in %s" % (name, path))
        if drawing not in text:
            fail("recent00 nennt die Zeichnung nicht")
        shutil.copyfile(path, os.path.join(args.artifacts, "Planora.conf"))

        # --- Second start without arguments, with the file name in the title: the recent-file
        # entry (the item above "E&xit") opens the drawing.
        with open(path, encoding="utf-8") as f:
            lines_of_file = f.read().splitlines()
        with open(path, "w", encoding="utf-8") as f:
            for line in lines_of_file:
                f.write(line + "\n")
                if line.strip() == "[General]":
                    f.write("Titelzeile=1\n")
        proc = subprocess.Popen([args.planora], env=env, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        procs.append(proc)
        wid = main_window(env, proc)
        wait_for_logo(env)
        time.sleep(0.3)
        if run(["xdotool", "getwindowname", wid], env=env).strip() != TITLE:
            fail("ohne Argumente ist schon eine Zeichnung geöffnet")
        open_file_menu(wid, env)
        screenshot(os.path.join(args.artifacts, "datei-menu.png"))
        run(["xdotool", "key", "Up", "Up", "Return"], env=env)
        want = "%s - %s" % (TITLE, os.path.basename(drawing))
        wait_for(lambda: run(["xdotool", "getwindowname", wid], env=env).strip() == want, 10,
                 "der Eintrag im Menü \"&Datei\" öffnet die Zeichnung (Titel \"%s\")" % want)
        screenshot(os.path.join(args.artifacts, "recent-opened.png"))
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
