"""Small studies for the inspection-run scenarios, and the run's expected lines and events.

File texts: sdm_text() writes an SDM (header, one colour triple per predictor, the names line,
one row of values per data point); mdm_text() writes an MDM exactly as the plug-in's writer lays
it out (22-character labels, CR LF after every line), so the same text serves as a study's input
and as the expected bytes of a saved MDM. Values are written as given when they are strings
("-0", "1e-30"), so a scenario controls the exact token the reader sees.

Expected output: the texts of the run's lines, and RunTest, the base of the run scenarios, which
compares a whole transcript made of one or more runs.
"""

import subprocess

from harness import (MDM_DIALOG, ON_WINDOWS, PLUGIN, ScenarioTest, Transcript, call, greeting_calls,
                     host_command, lines, open_dialog)

# Study files -------------------------------------------------------------------------------------


def _value(v):
    return v if isinstance(v, str) else format(v, "g")


def sdm_text(names, first_confound, columns, *, predictors=None, data_points=None):
    """An SDM whose predictors are `names`, with `columns` (one list of values per predictor, all
    of one length). `predictors` and `data_points` override the counts the header announces."""
    rows = len(columns[0]) if columns else 0
    predictors = len(names) if predictors is None else predictors
    data_points = rows if data_points is None else data_points
    out = ["FileVersion: 1", "", f"NrOfPredictors: {predictors}",
           f"NrOfDataPoints: {data_points}", "IncludesConstant: 1",
           f"FirstConfoundPredictor: {first_confound}", ""]
    out += [f"{40 * p % 256} 128 {255 - p % 256}" for p in range(len(names))]
    out.append(" ".join(f'"{n}"' for n in names))
    out += [" ".join(_value(c[t]) for c in columns) for t in range(rows)]
    return "\n".join(out) + "\n"


def sdm(interest=("Faces", "Houses"), confounds=("Constant",), zero=(), points=3):
    """A run's SDM: the predictors of interest, then the confounds. The columns of the predictors
    named in `zero` hold "0" throughout; the others hold non-zero values that vary."""
    names = list(interest) + list(confounds)
    columns = [["0"] * points if n in zero else [p + 1 + t % 2 * 0.25 for t in range(points)]
               for p, n in enumerate(names)]
    return sdm_text(names, len(interest) + 1, columns)


def mdm_text(studies, data_type="VTC", file_version=3, rfx_glm=0, psc=1, z=0, separate=0,
             nr_of_studies=None):
    """An MDM in the writer's exact layout. Each study is a tuple of its quoted paths: (functional,
    sdm), or (extra, functional, sdm) in an "MTC" design."""
    count = len(studies) if nr_of_studies is None else nr_of_studies
    header = ["", f"FileVersion:          {file_version}", f"TypeOfFunctionalData: {data_type}", "",
              f"RFX-GLM:              {rfx_glm}", "", f"PSCTransformation:    {psc}",
              f"zTransformation:      {z}", f"SeparatePredictors:   {separate}", "",
              f"NrOfStudies:          {count}"]
    rows = [" ".join(f'"{p}"' for p in paths) for paths in studies]
    return "".join(line + "\r\n" for line in header + rows)


def write_group(study, runs, folder="", listed_in=None, mdm_name="group.mdm", **mdm_settings):
    """Writes one SDM per run, `runs` being (stem, SDM text, or None for a file left missing), into
    `folder` of `study`, and an MDM in that folder that lists `listed_in`/stem.vtc and
    `listed_in`/stem.sdm (by default where the files are). Returns the MDM's path."""
    here = f"{folder}/" if folder else ""
    listed = study.path(folder).rstrip("/") if listed_in is None else listed_in
    for stem, text in runs:
        if text is not None:
            study.write(f"{here}{stem}.sdm", text)
    studies = [(f"{listed}/{stem}.vtc", f"{listed}/{stem}.sdm") for stem, _ in runs]
    return study.write(f"{here}{mdm_name}", mdm_text(studies, **mdm_settings))


# The run's lines ---------------------------------------------------------------------------------

NAMES_MATCH = "Kelvora>  The names for the predictors of interest all match"
COUNTS_DIFFER = "Kelvora>  Not all SDMs have the same number of predictors of interest"
NAMES_DIFFER = "Kelvora>  Not all SDMs have the same names for the predictors of interest:"
NO_ZERO_INTEREST = "Kelvora>  Did not find any predictors of interest with only zeros across runs"
NO_ZERO_CONFOUND = "Kelvora>  Did not find any confound predictors with only zeros"
NO_STUDIES = "!!!  The MDM file lists no studies"
ASKING = "Kelvora>  Asking user to select correct path"
NOT_FOUND_BOX = ("The first SDM from the MDM file was not found.\n"
                 "If you select it manually the plugin will try to correct the path!")
SAVE_QUESTION = "Would you like to Save the MDM file with corrected path information?"
SAVE_DIALOG = ("Select a filename for saving", "Multi Subject Design Matrix (*.mdm)")


def start_line(mdm):
    return f"Kelvora>  Start inspecting {mdm}"


def read_line(count):
    return f"Kelvora>  Read {count} SDMs from the MDM file"


def count_line(n):
    return f"Kelvora>  All SDMs have {n} predictors of interest"


def most_count_line(p):
    return f"Kelvora>  Most SDMs have {p} predictors of interest, except:"


def most_named_line(number, name):
    return f'Kelvora>  Predictor number {number} is mostly named "{name}", but it is named:'


def subjects_line(count):
    return f"Kelvora>  {count} unique subjects detected"


def zero_across_line(subject, number, name):
    return (f'!!!  {subject}, predictor number {number} named "{name}" '
            "contains only zeros across runs")


def zero_confound_line(file_name, number, name):
    return f'!!!  {file_name} predictor number {number} named "{name}" contains only zeros'


def mdm_failed_line(path):
    return f"!!!  Failed opening MDM for reading: {path}"


def sdm_failed_line(path):
    return f"!!!  Failed opening SDM for reading: {path}"


def error_reading_line(path):
    return f"Kelvora>  Error Reading {path}"


def cannot_create_line(path):
    return f"!! Cannot Create file: {path}"


def too_large_line(path):
    return f"!!!  SDM too large to read: {path}"


def saved_line(findings):
    return f"Kelvora>  Saved findings to: {findings}"


def not_saved_line(findings):
    return f"!!!  Could not save findings to: {findings}"


def clean_checks(n, subjects):
    """The lines of the checks when nothing is found: n predictors of interest everywhere."""
    return [count_line(n), NAMES_MATCH, subjects_line(subjects), NO_ZERO_INTEREST,
            NO_ZERO_CONFOUND]


# Events ------------------------------------------------------------------------------------------


def locate_dialog(expected_name, directory, result, path):
    return call("hvGetOpenFileName", title=f"SDM not found. Select {expected_name} manually.",
                dir=directory, filter=f"Single Subject Desgin Matrix ({expected_name})",
                result=result, path=path)


def save_dialog_call(directory, result, path):
    return call("hvGetSaveFileName", title=SAVE_DIALOG[0], dir=directory, filter=SAVE_DIALOG[1],
                result=result, path=path)


def not_found_box():
    return call("hvMessageBox", text=NOT_FOUND_BOX)


def save_question(answer):
    return call("hvYesNoMessageBox", text=SAVE_QUESTION, result=answer)


def run_events(mdm, middle, result, dialog_result=1):
    """One execute: the MDM dialog answered with `mdm`, then `middle`, then the result."""
    return ([open_dialog(*MDM_DIALOG, dialog_result, mdm)] + middle +
            [{"event": "execute", "result": result}])


def run_in(cwd, *args):
    """run_host with the host's current folder set to `cwd`, for relative paths."""
    command = host_command() + [str(a) for a in args] + [PLUGIN]
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=cwd,
                          timeout=120)
    return Transcript(done.stdout, done.returncode, done.stderr)


class RunTest(ScenarioTest):
    """Base of the run scenarios: the whole transcript of one or more runs, and file bytes."""

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        if ON_WINDOWS:
            # Wine starts its server and background programs with the first program that needs
            # them, and they inherit that program's standard streams: a scenario that started
            # them would wait for its transcript until they exit. Started here with no streams,
            # they serve the scenarios that follow.
            subprocess.run(host_command() + ["--runs", "0", PLUGIN], stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def assertRuns(self, transcript, *runs):
        """The transcript is the plug-in's lifecycle around `runs`, each a list of events."""
        middle = greeting_calls() + [{"event": "initPlugin", "result": True}]
        for events in runs:
            middle += events
        self.assertLifecycle(transcript, middle)

    def assertFileLines(self, name, *texts):
        """The file `name` of the study holds `texts` as lines, with this leg's line ends."""
        self.assertEqual(self.study.read(name), lines(*texts))

    def assertMissing(self, name):
        self.assertFalse(self.study.exists(name), f"{name} should not exist")
