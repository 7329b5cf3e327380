"""Runs the command-line inspector (kelvora) on the leg under test, beside the stand-in host.

run_cli() runs it with arguments and standard input (never a terminal: a pipe), and validates
every JSON object that a --json run prints against doc/kelvora-json.schema.json, and that each of
its findings shows one severity in every member, so that each test that produces JSON also checks
them. The study builders write small MDMs and SDMs in the
layouts the readers accept.
"""

import json
import os
import subprocess

import jsonschema

from harness import BUILD_DIR, ON_WINDOWS, PLUGIN, ScenarioTest, Transcript, host_command

REPO = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
KELVORA = os.path.join(BUILD_DIR, "tools", "kelvora_cli", "kelvora.exe" if ON_WINDOWS else "kelvora")
EXAMPLES = os.path.join(REPO, "examples")

with open(os.path.join(REPO, "doc", "kelvora-json.schema.json"), encoding="utf-8") as _f:
    SCHEMA = json.load(_f)
jsonschema.Draft7Validator.check_schema(SCHEMA)
_VALIDATOR = jsonschema.Draft7Validator(SCHEMA)

EXIT_CLEAN, EXIT_REPORTED, EXIT_NOT_INSPECTED, EXIT_USAGE = 0, 1, 2, 64


def full_path(path):
    """A full path as the tests spell it, as kelvora spells it when it makes one: under Wine, the
    Linux root is drive Z:."""
    return "Z:" + path.replace("/", "\\") if ON_WINDOWS else path


def kelvora_command():
    return ([os.path.join(BUILD_DIR, "wine-run.sh")] if ON_WINDOWS else []) + [KELVORA]


class CliResult:
    """What one call printed: exit status, standard output and error as bytes."""

    def __init__(self, done):
        self.returncode = done.returncode
        self.stdout = done.stdout
        self.stderr = done.stderr

    def lines(self):
        """Standard output as lines (each byte one character); every line ends in LF."""
        text = self.stdout.decode("latin-1")
        assert text == "" or text.endswith("\n"), repr(text[-80:])
        return text.split("\n")[:-1]

    def objects(self):
        return [json.loads(line) for line in self.lines()]

    def error_text(self):
        return self.stderr.decode("latin-1").replace("\r\n", "\n")


def validate(obj):
    """Raises jsonschema.ValidationError when `obj` does not follow the published schema."""
    _VALIDATOR.validate(obj)


def check_one_severity(obj):
    """Raises AssertionError when a finding shows another severity in its own member (findings,
    furtherFindings, designFindings) than in allFindings: a finding has one severity, the one
    --fail-on counts. In its own member, null is a finding that a lab's config ignores."""
    for kind, member in [("run", "findings"), ("further", "furtherFindings"),
                         ("design", "designFindings")]:
        own = [(f["code"], f["severity"]) for f in obj[member] if f["severity"] is not None]
        listed = [(f["code"], f["severity"]) for f in obj["allFindings"]
                  if f["kind"] == kind and not f["code"].startswith("CONTRAST_")]
        if own != listed:
            raise AssertionError(f"{member} {own} != allFindings {listed}")


def run_cli(*args, cwd=None, stdin=b""):
    command = kelvora_command() + [str(a) for a in args]
    done = subprocess.run(command, input=stdin, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          cwd=cwd, timeout=120)
    result = CliResult(done)
    if "--json" in args:
        for obj in result.objects():
            validate(obj)
            check_one_severity(obj)
    return result


# Study files ------------------------------------------------------------------------------------

def sdm_text(names, first_confound, columns):
    """An SDM with `names`, whose predictors from number `first_confound` on are confounds;
    `columns` holds one list of values per name."""
    rows = len(columns[0]) if columns else 0
    out = ["FileVersion: 1", "", f"NrOfPredictors: {len(names)}", f"NrOfDataPoints: {rows}",
           "IncludesConstant: 1", f"FirstConfoundPredictor: {first_confound}", ""]
    out += [f"255 {p} 0" for p in range(len(names))]
    out.append(" ".join(f'"{n}"' for n in names))
    out += [" ".join(f"{c[t]:g}" for c in columns) for t in range(rows)]
    return "\n".join(out) + "\n"


def varied_column(p, points):
    """Values of predictor p that vary unlike any other predictor's (quarters, 0.5 to 4.5), so
    that a plain design has full rank."""
    return [((t * (p + 11) * 12 + p * 11 + t * t) % 17) / 4 + 0.5 for t in range(points)]


def run_sdm(interest=("Faces", "Houses"), confounds=("Trans X", "Constant"), zero=(), points=6,
            repeating=False):
    """A plain run's SDM; the predictors named in `zero` hold zeros, the others vary. With
    `repeating`, every column repeats every three data points, so the fourth equals the first."""
    names = list(interest) + list(confounds)
    columns = [[0.0] * points if n in zero else
               [(p + t) % 3 + 0.5 for t in range(points)] if repeating else varied_column(p, points)
               for p, n in enumerate(names)]
    return sdm_text(names, len(interest) + 1, columns)


def mdm_text(studies):
    """An MDM as the writer lays it out, listing (functional, sdm) path pairs."""
    header = ["", "FileVersion:          3", "TypeOfFunctionalData: VTC", "",
              "RFX-GLM:              0", "", "PSCTransformation:    0", "zTransformation:      1",
              "SeparatePredictors:   0", "", f"NrOfStudies:          {len(studies)}"]
    return "\r\n".join(header + [f'"{f}" "{s}"' for f, s in studies]) + "\r\n"


def write_study(study, runs, folder="", sdm_folder=None, mdm_name="group.mdm"):
    """Writes one SDM per entry of `runs` ((stem, SDM text or None for a missing file)) into
    `folder` of `study`, and an MDM listing them with their paths under `sdm_folder` (default:
    where they are). Returns the MDM's path."""
    base = study.path(folder) if folder else study.root
    listed = base if sdm_folder is None else sdm_folder
    studies = []
    for stem, text in runs:
        if text is not None:
            study.write(f"{folder}/{stem}.sdm" if folder else f"{stem}.sdm", text)
        studies.append((f"{listed}/{stem}.vtc", f"{listed}/{stem}.sdm"))
    return study.write(f"{folder}/{mdm_name}" if folder else mdm_name, mdm_text(studies))


def clean_runs(subjects=("S01", "S02"), **sdm_options):
    return [(f"{s}_run{r}", run_sdm(**sdm_options)) for s in subjects for r in (1, 2)]


class CliTest(ScenarioTest):
    """Base of the inspector's scenarios: a study folder per test."""

    def assertStatus(self, result, status):
        self.assertEqual(result.returncode, status,
                         f"stdout:\n{result.stdout.decode('latin-1')}\nstderr:\n"
                         f"{result.error_text()}")


def run_host_in(cwd, *args):
    """run_host, started in folder `cwd` (for MDMs that list relative paths)."""
    command = host_command() + [str(a) for a in args] + [PLUGIN]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd,
                          timeout=120)
    return Transcript(done.stdout, done.returncode, done.stderr)


def read_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def run_texts(transcript):
    """The log texts of the host's one execute: those after initPlugin, up to its result."""
    texts, inside = [], False
    for e in transcript.events:
        if e["event"] == "initPlugin":
            inside = True
        elif e["event"] == "execute":
            return texts
        elif inside and e["event"] == "call" and e["fn"] == "hvLogText":
            texts.append(e["text"])
    raise AssertionError(f"no execute in {transcript.kinds()}")
