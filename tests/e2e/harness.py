"""Drives the plug-in through the stand-in host, on one leg: Linux, or Windows under Wine.

The leg and the build come from the environment that CTest sets (KELVORA_LEG = "linux" or
"windows", KELVORA_BUILD_DIR). A scenario writes a small study into a fresh folder (Study), runs
the host with its dialog answers (run_host) and compares the whole transcript, the findings file
bytes and, where saved, the MDM bytes with what it expects.
"""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

LEG = os.environ.get("KELVORA_LEG", "linux")
BUILD_DIR = os.environ.get("KELVORA_BUILD_DIR", "")
ON_WINDOWS = LEG == "windows"

# The line end of text files that the plug-in writes with the platform's conventions.
TEXT_LINE_END = b"\r\n" if ON_WINDOWS else b"\n"

PLUGIN = os.path.join(BUILD_DIR, "src", "plugin", "Kelvora.dll" if ON_WINDOWS else "Kelvora.so")
HOSTS = {
    variant: os.path.join(BUILD_DIR, "tools", "standin_host", variant, name)
    for variant, name in [("full", "HalvaneZR.exe"), ("legacy", "Halvane.exe"),
                          ("version-only", "HalvaneZR.exe"), ("no-version", "HalvaneZR.exe")]
}

GREETING = "\nKelvora>  Running...\n"
CLOSING = "\nKelvora>  Plugin finished!\n"
UNLOAD_TEXTS = ["", "Destructor of HVZRLog never called"]
METADATA = [
    ("getPluginName", "Kelvora"),
    ("getPluginDescription",
     "Checks your design matrix files for inconsitencies when used in a Multi Subject GLM"),
    ("getPluginVersion", "2.1"),
    ("getAuthor", "<i>RT</i>"),
    ("getHelpFile", "HelpFolder/index.html"),
    ("getGUIScript", ""),
]
MDM_DIALOG = ("Select an MDM file for testing", "", "Multi-Subject Design Matrix (*.mdm)")


def _latin1(text):
    """The transcript carries each byte as one code point: back to the bytes."""
    return text.encode("latin-1")


class Transcript:
    """The host's transcript: a list of event objects, plus the process's exit status."""

    def __init__(self, stdout, returncode, stderr):
        self.returncode = returncode
        self.stderr = stderr
        self.raw = stdout
        self.events = [json.loads(line) for line in stdout.decode("ascii").splitlines()]

    def calls(self, fn=None):
        return [e for e in self.events
                if e["event"] == "call" and (fn is None or e["fn"] == fn)]

    def log_texts(self):
        return [e["text"] for e in self.calls("hvLogText")]

    def run_log(self, run=0):
        """The log texts that one execute produced (0-based run)."""
        texts, runs = [], -1
        for e in self.events:
            if e["event"] == "initPlugin":
                runs = 0 if runs < 0 else runs
            if e["event"] == "execute":
                if runs == run:
                    return texts
                runs, texts = runs + 1, []
            elif e["event"] == "call" and e["fn"] == "hvLogText":
                texts.append(e["text"])
        raise AssertionError(f"no execute number {run}")

    def results(self, event):
        return [e["result"] for e in self.events if e["event"] == event]

    def kinds(self):
        """Event names, with the host function for calls: a compact view of the sequence."""
        return [e["fn"] if e["event"] == "call" else e["event"] for e in self.events]


def host_command(variant="full"):
    host = HOSTS[variant]
    if ON_WINDOWS:
        return [os.path.join(BUILD_DIR, "wine-run.sh"), host]
    return [host]


def run_host(*args, variant="full", plugin=None):
    """Runs the stand-in host with `args` (dialog answers and options) and the plug-in."""
    command = host_command(variant) + [str(a) for a in args] + [plugin or PLUGIN]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
    return Transcript(done.stdout, done.returncode, done.stderr)


def lines(*texts):
    """Bytes of a text file holding `texts` as lines, as the plug-in writes them on this leg."""
    return b"".join(_latin1(t) + TEXT_LINE_END for t in texts)


class Study:
    """A fresh folder for one scenario's files; paths are as the plug-in sees them."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="kelvora-e2e-")

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def path(self, name):
        return f"{self.root}/{name}"

    def write(self, name, content):
        full = self.path(name)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "wb") as out:
            out.write(content if isinstance(content, bytes) else _latin1(content))
        return full

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def exists(self, name):
        return os.path.exists(self.path(name))


class ScenarioTest(unittest.TestCase):
    """Base of scenario tests: a study per test, and comparisons that show the whole difference."""

    maxDiff = None

    def setUp(self):
        self.study = Study()
        self.addCleanup(self.study.close)

    def assertLifecycle(self, transcript, middle):
        """The transcript is load, the six exports, create, `middle`, destroy, unload."""
        self.assertEqual(transcript.returncode, 0, transcript.stderr)
        expected = ([{"event": "load", "ok": True}] +
                    [{"event": "export", "name": n, "value": v, "stable": True}
                     for n, v in METADATA] +
                    [{"event": "create"}] + middle +
                    [{"event": "call", "fn": "hvLogText", "text": CLOSING},
                     {"event": "destroy"}] +
                    [{"event": "call", "fn": "hvLogText", "text": t} for t in UNLOAD_TEXTS] +
                    [{"event": "unload"}])
        self.assertEqual(transcript.events, expected)


def call(fn, **fields):
    """A call event as the transcript writes it."""
    return {"event": "call", "fn": fn, **fields}


def greeting_calls():
    return [call("hvGetVersionOfHalvaneZR"), call("hvShowLogTab"),
            call("hvLogText", text=GREETING)]


def log(*texts):
    return [call("hvLogText", text=t) for t in texts]


def open_dialog(title, directory, file_filter, result, path):
    return call("hvGetOpenFileName", title=title, dir=directory, filter=file_filter,
                result=result, path=path)


def save_dialog(title, directory, file_filter, result, path):
    return call("hvGetSaveFileName", title=title, dir=directory, filter=file_filter,
                result=result, path=path)
