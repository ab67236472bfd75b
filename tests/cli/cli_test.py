#!/usr/bin/env python3
"""End-to-end tests of planora-cli info and dump: exit codes, messages and the JSON model."""
import json
import os
import shlex
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

CLI = sys.argv.pop(1)
FIXTURES = sys.argv.pop(1)
EXAMPLES = Path(sys.argv.pop(1))


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True, timeout=60)


class Fixtures:
    folder = None

    @classmethod
    def path(cls, name):
        if cls.folder is None:
            cls.folder = tempfile.mkdtemp(prefix="planora-cli-")
            subprocess.run([FIXTURES, cls.folder], check=True)
        return str(Path(cls.folder) / name)


class DumpTest(unittest.TestCase):
    def dump(self, name):
        result = run("dump", Fixtures.path(name))
        self.assertEqual(result.returncode, 0, result.stderr)
        return json.loads(result.stdout), result

    def test_numbers_read_back_to_the_same_double(self):
        model, _ = self.dump("tricky.akt")
        line, circle = model["elements"][0], model["elements"][1]
        self.assertEqual(line["kind"], "Line")
        self.assertEqual(line["g"][:4], [0.1, 1.0 / 3.0, -0.0, 1e-300])
        self.assertEqual(str(line["g"][2]), "-0.0")
        self.assertEqual(circle["g"][:3], [123456.789, -2.5e-7, 1.7976931348623157e308])
        # Header numbers are float32 in memory: 0.1 comes back as the float nearest to it.
        self.assertEqual(model["headerValues"][0], 0.10000000149011612)
        self.assertEqual(len(model["headerValues"]), 20)

    def test_model_fields_and_texts(self):
        model, result = self.dump("tricky.akt")
        self.assertEqual(model["version"], 2500)
        self.assertIsNone(model["warning"])
        self.assertEqual(result.stderr, "")
        info = model["drawingInfo"]
        self.assertEqual(len(info), 20)
        self.assertEqual(info[0], "Küche")
        self.assertIsNone(info[1], "a slot holding '*' is empty")
        self.assertEqual(info[10], "*erste\u0006zweite")
        self.assertEqual(model["layers"], [
            {"number": 3, "name": "Wände", "visible": True},
            {"number": 4, "name": "Aus", "visible": False},
        ])
        self.assertEqual(model["scales"], [{"denominator": 100, "count": 1},
                                           {"denominator": 50, "count": 1}])
        kinds = [e["kind"] for e in model["elements"]]
        self.assertEqual(kinds, ["Line", "Circle", "Text", "RegularPolygon", "Polygon"])
        line = model["elements"][0]
        self.assertEqual((line["layerField"], line["penField"], line["lineStyle"]), (4, 7, 2))
        text = model["elements"][2]
        self.assertEqual(text["text"], "ø 20øC")
        polygon = model["elements"][3]
        self.assertEqual(polygon["g"][4], 4)
        area = model["elements"][4]
        self.assertNotIn("g", area)
        self.assertEqual(area["x"], [0.5, 3, 3])
        self.assertEqual(area["y"], [0.25, 0.25, 1e10])

    def test_damaged_file_loads_with_its_warning(self):
        model, result = self.dump("damaged.akt")
        self.assertEqual(model["warning"], "Datei ist defekt: Anzahl der Texte stimmt nicht")
        self.assertIn("Warnung: Datei ist defekt", result.stderr)

    def test_examples_dump_consistently_with_info(self):
        for path in sorted(EXAMPLES.glob("*.akt")):
            with self.subTest(path.name):
                dump = run("dump", str(path))
                self.assertEqual(dump.returncode, 0, dump.stderr)
                model = json.loads(dump.stdout)
                info = run("info", str(path))
                self.assertEqual(info.returncode, 0)
                self.assertIn(f"Format: Version {model['version']}", info.stdout)
                self.assertIn(f"Elemente: {len(model['elements'])}\n", info.stdout)
                on = sum(1 for layer in model["layers"] if layer["visible"])
                self.assertIn(f"Folien: {len(model['layers'])} (an: {on})", info.stdout)
                self.assertGreaterEqual(len(model["layers"]), 6)
                self.assertIn(False, [layer["visible"] for layer in model["layers"]])


class InfoAndErrorsTest(unittest.TestCase):
    def test_info_summary(self):
        result = run("info", Fixtures.path("tricky.akt"))
        self.assertEqual(result.returncode, 0)
        out = result.stdout
        self.assertIn("Projekt: Küche\n", out)
        self.assertIn("Bemerkungen:\n  erste\n  zweite\n", out)
        self.assertIn("      3  an   Wände\n", out)
        self.assertIn("      4  aus  Aus\n", out)
        self.assertIn("Maßstäbe: 1:100 (1) 1:50 (1)", out)
        self.assertIn("  Flächen: 1\n", out)

    def test_load_failures_exit_1_with_a_reason(self):
        cases = {
            "toolong.akt": "Datenfehler im Header (mehr als 24 kb Text)",
            "future.akt": "Version",
            "text.akt": "keine kvn-cad-Zeichnung",
            "missing.akt": "nicht geöffnet",
        }
        for name, reason in cases.items():
            for command in ("info", "dump"):
                with self.subTest(name=name, command=command):
                    result = run(command, Fixtures.path(name))
                    self.assertEqual(result.returncode, 1)
                    self.assertTrue(result.stderr.startswith("Einlesefehler: "), result.stderr)
                    self.assertIn(reason, result.stderr)
                    self.assertEqual(result.stdout, "")

    def test_usage(self):
        for args in ([], ["info"], ["dump", "a", "b"], ["zeige", "a.akt"]):
            with self.subTest(args=args):
                result = run(*args)
                self.assertEqual(result.returncode, 2)
                self.assertIn("Aufruf:", result.stderr)
        helped = run("--help")
        self.assertEqual(helped.returncode, 0)
        self.assertIn("planora-cli info ZEICHNUNG.akt", helped.stdout)


def run_limited(limit_kib, *args):
    """Runs the CLI under an address-space limit (ulimit -v), its output thrown away."""
    command = " ".join(shlex.quote(a) for a in [CLI, *args])
    return subprocess.run(["bash", "-c", f"ulimit -v {limit_kib}; exec {command} >/dev/null"],
                          capture_output=True, text=True, timeout=300)


def startup_limit_kib():
    """The smallest address-space limit (to 16 MiB) under which the CLI starts at all, or None
    where no limit lets it start (a sanitizer build reserves terabytes of address space)."""
    def starts(limit):
        return run_limited(limit, "--version").returncode == 0

    high = 64 * 1024
    while not starts(high):
        high *= 2
        if high > 4 * 1024 * 1024:
            return None
    low = high // 2
    while high - low > 16 * 1024:
        middle = (low + high) // 2
        if starts(middle):
            high = middle
        else:
            low = middle
    return high


class HostileInputTest(unittest.TestCase):
    def test_memory_stays_within_64_times_the_file_under_ulimit(self):
        base = startup_limit_kib()
        if base is None:
            self.skipTest("no address-space limit lets this build start")
        for name in ("shared-text.akt", "outline-ends.akt"):
            path = Fixtures.path(name)
            limit = base + (64 * os.path.getsize(path) + 64 * 1024 * 1024) // 1024
            for command in ("info", "dump"):
                with self.subTest(name=name, command=command):
                    result = run_limited(limit, command, path)
                    self.assertEqual(result.returncode, 0, result.stderr)
        # The files are read whole: every text record is there.
        info = run("info", Fixtures.path("shared-text.akt"))
        self.assertIn("  Texte: 1500\n", info.stdout)

    def test_non_regular_files_are_rejected_at_once(self):
        folder = tempfile.mkdtemp(prefix="planora-cli-")
        fifo = os.path.join(folder, "p.akt")
        os.mkfifo(fifo)
        for command in ("info", "dump"):
            with self.subTest(command=command):
                result = run(command, fifo)  # would block forever if opened
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"{fifo} ist keine reguläre Datei.", result.stderr)
                result = run(command, folder)
                self.assertEqual(result.returncode, 1)
                self.assertIn(f"{folder} ist ein Ordner, keine Zeichnung.", result.stderr)

    def test_full_stdout_exits_1_with_a_message(self):
        for command in ("info", "dump"):
            with self.subTest(command=command):
                with open("/dev/full", "w") as full:
                    result = subprocess.run([CLI, command, Fixtures.path("outline-ends.akt")],
                                            stdout=full, stderr=subprocess.PIPE, text=True,
                                            timeout=60)
                self.assertEqual(result.returncode, 1)
                self.assertIn("Ausgabe kann nicht geschrieben werden", result.stderr)

    def test_file_names_are_printed_without_control_characters(self):
        folder = tempfile.mkdtemp(prefix="planora-cli-")
        name = os.path.join(folder, "ctl\x1b[31mred\x07.akt")
        with open(Fixtures.path("damaged.akt"), "rb") as src, open(name, "wb") as dst:
            dst.write(src.read())
        for command in ("info", "dump"):
            with self.subTest(command=command):
                result = run(command, name)
                self.assertEqual(result.returncode, 0)
                self.assertNotIn("\x1b", result.stderr + result.stdout)
                self.assertIn("ctl\\x1B[31mred\\x07.akt", result.stderr)


class ExampleDumpsTest(unittest.TestCase):
    def test_example_dumps_match_the_stored_ones(self):
        expected = Path(__file__).parent / "expected"
        for path in sorted(EXAMPLES.glob("*.akt")):
            with self.subTest(path.name):
                result = subprocess.run([CLI, "dump", str(path)], capture_output=True,
                                        timeout=60)
                self.assertEqual(result.returncode, 0)
                stored = (expected / (path.stem + ".json")).read_bytes()
                self.assertEqual(result.stdout, stored)


if __name__ == "__main__":
    unittest.main(verbosity=2)
