"""Kelvora in Python: read, write and inspect the design matrices of a multi-subject GLM.

The same C++ readers, checks and codes as the ``kelvora`` command (Linux only)::

    import kelvora
    outcome = kelvora.inspect("examples/study/group.mdm")
    print(outcome.exit_status)          # 0 nothing, 1 findings, 2 not inspected
    print(outcome.all_findings[["kind", "code", "file", "text"]])
    sdm = kelvora.read_sdm("examples/study/sub-01_run-1.sdm"); sdm.to_frame().plot()

Paths, names and log lines are 8-bit bytes in the files; here each byte is one character
(Latin-1), as in ``kelvora --json``.
"""

import json
import os

import numpy as np
import pandas as pd

from . import _kelvora

__all__ = ["read_sdm", "read_mdm", "write_sdm", "inspect", "check_design", "Sdm", "Mdm",
           "Outcome", "explain", "__version__"]

# The project's one version, as `kelvora --version` prints it.
__version__ = _kelvora.VERSION


def _path_bytes(path):
    return os.fsencode(os.fspath(path))


def _refuse_unopenable(path, what):
    """Raises the exception a user expects for a file that cannot be opened."""
    name = os.fspath(path)
    if not os.path.lexists(name):
        raise FileNotFoundError(2, f"No {what} here", name)
    if os.path.isdir(name):
        raise IsADirectoryError(21, f"A folder, not an {what}", name)
    raise ValueError(f"{name}: cannot be opened as a regular file")


class Sdm:
    """One single-study design matrix (SDM), as ``read_sdm`` reads it.

    Attributes: ``path``, ``file_version``, ``n_predictors``, ``n_data_points``,
    ``includes_constant``, ``first_confound`` (1-based), ``names``, ``colors`` (RGB triples),
    ``values`` (read-only float32 array of shape (data points, predictors), the reader's own
    memory), ``notes`` (a DataFrame of what the reader noticed: ``code``, ``severity``, ``text``,
    with kelvora's furtherFindings codes and severities).
    """

    def __init__(self, path, fields):
        self.path = os.fspath(path)
        self.file_version = fields["file_version"]
        self.n_predictors = fields["n_predictors"]
        self.n_data_points = fields["n_data_points"]
        self.includes_constant = bool(fields["includes_constant"])
        self.first_confound = fields["first_confound"]
        self.names = list(fields["names"])
        self.colors = list(fields["colors"])
        self.values = fields["values"]
        self._noticed = fields["notes"]
        self._notes = None

    @property
    def notes(self):
        """What the reader noticed, as a DataFrame (``code``, ``severity``, ``text``). Made on
        first use: a DataFrame costs more than reading a whole SDM, and most SDMs' notes are never
        looked at."""
        if self._notes is None:
            self._notes = pd.DataFrame(self._noticed, columns=["code", "severity", "text"])
        return self._notes

    @property
    def interest_count(self):
        """The number of predictors of interest: those before ``first_confound``."""
        return max(0, min(self.first_confound - 1, len(self.names)))

    @property
    def interest(self):
        """The predictors of interest, as a DataFrame (a view of ``values``)."""
        return self.to_frame().iloc[:, : self.interest_count]

    @property
    def confounds(self):
        """The confound predictors (from ``first_confound`` on), as a DataFrame."""
        return self.to_frame().iloc[:, self.interest_count:]

    def to_frame(self):
        """The values as a DataFrame: one row per data point, one column per predictor name."""
        return pd.DataFrame(self.values, columns=self.names, copy=False)

    def __repr__(self):
        return (f"<Sdm {self.path!r}: {self.n_data_points} data points x "
                f"{len(self.names)} predictors, first confound {self.first_confound}>")


def read_sdm(path):
    """Reads the SDM at ``path`` with kelvora's reader and returns an ``Sdm``.

    The reader is lenient as in the host: what cannot be read keeps its default, and
    ``Sdm.notes`` tells what it noticed (a cut matrix, an unreadable value, ...). Raises
    FileNotFoundError, IsADirectoryError, or ValueError (not a regular file, or more values
    announced than an SDM may hold).
    """
    fields = _kelvora.read_sdm(_path_bytes(path))
    if not fields["opened"]:
        _refuse_unopenable(path, "SDM")
    if fields["too_large"]:
        raise ValueError(f"{os.fspath(path)}: the header announces more values than an SDM may "
                         f"hold ({fields['n_predictors']} predictors x "
                         f"{fields['n_data_points']} data points)")
    return Sdm(path, fields)


class Mdm:
    """One multi-study design matrix (MDM), as ``read_mdm`` reads it.

    Attributes: ``path``, ``file_version``, ``type_of_functional_data``, ``rfx_glm``,
    ``psc_transformation``, ``z_transformation``, ``separate_predictors``, ``n_studies`` (as the
    header says) and ``studies``: a DataFrame with one row per run listed, its ``functional`` and
    ``sdm`` paths as written and ``functional_resolved`` / ``sdm_resolved`` (relative paths taken
    in the MDM's folder), and in an "MTC" design ``extra``, each run's third path (None where its
    line has none). Change ``studies``' ``functional``, ``sdm`` and ``extra`` columns, then
    ``save``.
    """

    _HEADER = ["type_of_functional_data", "rfx_glm", "psc_transformation", "z_transformation",
               "separate_predictors"]

    def __init__(self, path, fields):
        self.path = os.fspath(path)
        self.file_version = fields["file_version"]
        self.n_studies = fields["n_studies"]
        for name in self._HEADER:
            setattr(self, name, fields[name])
        folder = os.path.dirname(os.path.abspath(self.path))
        functional, sdms = fields["functional_paths"], fields["sdm_paths"]
        self.studies = pd.DataFrame({
            "functional": functional,
            "sdm": sdms,
            "functional_resolved": [os.path.join(folder, p) for p in functional],
            "sdm_resolved": [os.path.join(folder, p) for p in sdms],
        })
        if fields["extra_paths"]:  # an MTC design's third path of each run travels with its row
            self.studies["extra"] = fields["extra_paths"]

    def save(self, path):
        """Saves the MDM at ``path`` as the host writes it (CR LF), with the writer's guarantees:
        the file is replaced only once every byte is written, and a path list holding a '"' or a
        line end, or a target that is one of the files it lists (an SDM, functional data, an
        extra path; relative ones taken in the folder of ``self.path``), is refused
        (ValueError)."""
        fields = {name: getattr(self, name) for name in self._HEADER}
        fields["type_of_functional_data"] = fields["type_of_functional_data"].encode("latin-1")
        fields["functional_paths"] = [p.encode("latin-1") for p in self.studies["functional"]]
        fields["sdm_paths"] = [p.encode("latin-1") for p in self.studies["sdm"]]
        extras = self.studies["extra"] if "extra" in self.studies else []
        fields["extra_paths"] = [None if p is None or p != p else p.encode("latin-1")
                                 for p in extras]
        if not _kelvora.save_mdm(_path_bytes(self.path), fields, _path_bytes(path)):
            raise ValueError(f"{os.fspath(path)}: the MDM was not saved (a path holds a '\"' or "
                             "a line end, the target is one of the files it lists, or it cannot be written)")

    def __repr__(self):
        return f"<Mdm {self.path!r}: {len(self.studies)} runs>"


def read_mdm(path):
    """Reads the MDM at ``path`` with kelvora's reader and returns an ``Mdm``.

    Raises FileNotFoundError, IsADirectoryError, or ValueError (not a regular file)."""
    fields = _kelvora.read_mdm(_path_bytes(path))
    if not fields["opened"]:
        _refuse_unopenable(path, "MDM")
    return Mdm(path, fields)


def write_sdm(frame_or_array, path, names=None, first_confound=None, includes_constant=False,
              colors=None):
    """Writes a design matrix as an SDM that the host reads.

    ``frame_or_array``: a DataFrame (its columns are the names; a nilearn design matrix works as
    it is) or an array of shape (data points, predictors) with ``names``. ``first_confound``:
    the 1-based number of the first confound predictor (default: one past the last, no
    confounds). ``colors``: one (r, g, b) triple per predictor, or None for grey. Values are
    written in the shortest text that reads back bit for bit as float32, lines end in CR LF as
    the host's files do, and the file is replaced atomically. Raises ValueError for values that
    are NaN or infinite, names that are empty, repeated or hold a '"', and lists of the wrong
    length.
    """
    if isinstance(frame_or_array, pd.DataFrame):
        if names is None:
            names = [str(name) for name in frame_or_array.columns]
        values = frame_or_array.to_numpy(dtype=np.float32)
    else:
        values = np.asarray(frame_or_array, dtype=np.float32)
    if values.ndim != 2:
        raise ValueError("the design is not a 2-dimensional matrix")
    if names is None:
        raise ValueError("an array needs its predictor names (names=...)")
    if first_confound is None:
        first_confound = values.shape[1] + 1
    encoded = [str(name).encode("latin-1") for name in names]
    reason = _kelvora.write_sdm(_path_bytes(path), np.asfortranarray(values), encoded,
                                [tuple(int(c) for c in rgb) for rgb in (colors or [])],
                                int(first_confound), bool(includes_constant))
    if reason:
        raise ValueError(reason)


class Outcome:
    """What ``inspect`` found: kelvora's inspection of one MDM.

    ``log``: the plug-in's log lines (kelvora's standard output); ``complete``: the inspection came
    to its end; ``exit_status``: kelvora's 0 (nothing), 1 (findings) or 2 (not inspected);
    ``findings`` (the log's), ``design_findings``, ``further_findings``, ``causes``,
    ``contrasts`` (per contrast and run or subject, when contrasts were asked) and
    ``all_findings`` (every finding of every kind in one schema): DataFrames with the fields and
    codes of ``kelvora --json``; ``to_json()``: that very line; ``report(path)``: the HTML report.
    A finding's ``severity`` is the same in every frame, the one ``exit_status`` counts (error,
    warning or note, after the config; None in ``findings`` and ``further_findings`` for one the
    config ignores); ``findings.endsRun`` tells whether a log finding ended the inspection.
    """

    def __init__(self, inspection):
        self._inspection = inspection
        self._json = inspection.to_json()
        record = json.loads(self._json)
        self.log = list(inspection.log)
        self.complete = inspection.complete
        self.exit_status = inspection.exit_status
        self.findings = pd.DataFrame(record.get("findings", []))
        self.design_findings = pd.DataFrame(record.get("designFindings", []))
        self.further_findings = pd.DataFrame(record.get("furtherFindings", []))
        self.causes = pd.DataFrame(record.get("causes", []))
        self.contrasts = pd.DataFrame(record.get("contrasts", []))
        self.all_findings = pd.DataFrame(
            record.get("allFindings", []),
            columns=["kind", "code", "severity", "file", "subject", "predictorNumber",
                     "predictorName", "text", "causedBy"])

    def to_json(self):
        """The line ``kelvora --json`` prints for this MDM, without its line end."""
        return self._json.rstrip("\n")

    def report(self, path):
        """Writes kelvora's self-contained HTML report of this inspection to ``path``
        (``kelvora --report``). Raises OSError when it cannot be written."""
        error = self._inspection.report(_path_bytes(path))
        if error:
            raise OSError(f"{os.fspath(path)}: no report: {error}")

    def __repr__(self):
        return (f"<Outcome exit_status={self.exit_status} complete={self.complete} "
                f"findings={len(self.all_findings)}>")


def inspect(mdm_path, locate=None, save_mdm=None, findings_file=True, threads=None, config=None,
            ignore=(), contrasts=(), low_efficiency=0.5, subject_rule=None, fail_on=None):
    """Inspects the MDM at ``mdm_path`` exactly as ``kelvora`` does and returns an ``Outcome``.

    The plug-in's checks (every SDM read on several threads, counts, names, subjects, all-zero
    predictors) and everything kelvora checks beyond it (reader notes, likely causes, the rank
    check of every SDM). ``locate``: where the MDM's missing first SDM is now (``--locate``);
    ``save_mdm``: where to save the corrected MDM (``--save-mdm``); ``findings_file``: True to
    write the findings file beside the MDM, False for none, or a folder to write it into
    (``--findings-dir``); ``threads``: the reading threads (default: as kelvora); ``config``: the
    lab's policy over the findings (``--config``), a path to its JSON file or the same as a dict;
    ``ignore``: codes whose findings are ignored (``--ignore``). A config that does not parse or
    names an unknown code raises ValueError with the line and the reason. A config or contrast
    table named by its path is read as kelvora reads it: a file or a pipe, of at most 1 MiB;
    anything else raises ValueError. ``contrasts``: the
    contrasts to assess in every run and subject (``--contrast``, ``--contrasts``), by the type
    given, never by what the text looks like or which files exist: a ``str`` is ONE expression
    (``"Faces - Houses"``); a list or tuple holds expressions
    (``["Faces - Houses", "Faces + Houses - 2*Bodies"]``); a ``pathlib.Path`` (any
    ``os.PathLike``) is a contrast table file (tab-separated: a ``contrast`` column and one column
    per predictor); a DataFrame is such a table. So a table file is given as
    ``contrasts=pathlib.Path("contrasts.tsv")``; bytes are refused (TypeError).
    ``low_efficiency``: the share of the study's median efficiency
    below which a run or subject is noted (``--low-efficiency``). A contrast that does not parse,
    or names a predictor that no SDM has, raises ValueError (with the nearest names).
    ``subject_rule``: how kelvora finds a study's subject in its functional data path
    (``--subject-rule``: ``"prefix"``, the default, ``"bids"``, ``"folder:N"`` or
    ``"regex:EXPR"``); one that is no rule raises ValueError. ``fail_on``: which findings make
    ``exit_status`` 1 (``--fail-on``): ``"error"``, ``"warning"`` (the default) or ``"note"``;
    another raises ValueError. The GIL is
    released while it runs; Ctrl-C stops it (KeyboardInterrupt). An MDM that cannot be read is
    no exception: its outcome says so (exit status 2, finding MDM_UNREADABLE).
    """
    folder = None
    if findings_file not in (True, False):
        folder, findings_file = _path_bytes(findings_file), True
    try:
        inspection = _kelvora.inspect(
            _path_bytes(mdm_path),
            None if locate is None else _path_bytes(locate),
            None if save_mdm is None else _path_bytes(save_mdm),
            bool(findings_file), folder, 0 if threads is None else int(threads),
            _config_bytes(config), [str(code) for code in ignore],
            *_contrast_arguments(contrasts), float(low_efficiency),
            None if subject_rule is None else str(subject_rule),
            None if fail_on is None else str(fail_on))
    except ValueError as error:
        # The expression stays refused; the file beside it only says how to ask for the table.
        if isinstance(contrasts, str) and os.path.isfile(contrasts):
            raise ValueError(f"{error} (a contrast table file is given as "
                             f"contrasts=pathlib.Path({contrasts!r}))") from None
        raise
    return Outcome(inspection)


def explain(code):
    """What a finding of ``code`` means and what to do about it: the findings guide's entry
    (doc/findings.md), as ``kelvora --explain CODE`` prints it. An unknown code raises ValueError
    naming the nearest codes."""
    return _kelvora.explain(str(code))


def _contrast_arguments(contrasts):
    """The contrast expressions, a contrast table's text and a table's cells (each or None) that
    ``contrasts`` gives."""
    if isinstance(contrasts, pd.DataFrame):
        return [], None, _contrast_cells(contrasts)
    if isinstance(contrasts, os.PathLike):
        return [], _kelvora.read_user_file("contrasts", _path_bytes(contrasts)), None
    if isinstance(contrasts, str):
        return _names_bytes([contrasts]), None, None
    if isinstance(contrasts, (bytes, bytearray)):
        raise TypeError("contrasts: give an expression as a str, or a table file as a "
                        "pathlib.Path")
    return _names_bytes(str(expression) for expression in contrasts), None, None


def _names_bytes(texts):
    """Texts that name predictors, as the Latin-1 bytes the SDMs hold (the package shows every name
    byte for byte, each byte one code point, so a name read from an outcome matches as it is)."""
    try:
        return [text.encode("latin-1") for text in texts]
    except UnicodeEncodeError as error:
        raise ValueError(f"contrasts: {error.object!r} holds a character that no SDM name holds "
                         f"(names are bytes, each one character up to U+00FF)") from None


def _contrast_cells(frame):
    """A contrast table DataFrame's names and weights as they are: the predictors (every column
    but ``contrast``, in order), then per row its ``contrast`` name and one weight per predictor
    (NaN: an empty cell, 0). Names go as Latin-1 bytes, as the SDMs hold them."""
    columns = [str(column) for column in frame.columns]
    if "contrast" not in columns:
        raise ValueError('contrasts: the DataFrame has no column "contrast"')
    # The library refuses the row after the most it takes; rows beyond it are not converted.
    frame = frame.iloc[:_kelvora.MOST_CONTRASTS + 1]
    named = columns.index("contrast")
    predictors = [i for i in range(len(columns)) if i != named]
    try:
        weights = [pd.to_numeric(frame.iloc[:, i]).to_numpy(dtype=float) for i in predictors]
    except (TypeError, ValueError) as error:
        raise ValueError(f"contrasts: a weight is not a number: {error}") from None
    names = _names_bytes("" if pd.isna(name) else str(name) for name in frame.iloc[:, named])
    rows = [(name, [float(column[r]) for column in weights]) for r, name in enumerate(names)]
    return _names_bytes(columns[i] for i in predictors), rows


def _config_bytes(config):
    """The text of a config given as a path or as a dict (None: none)."""
    if config is None:
        return None
    if isinstance(config, dict):
        try:
            return json.dumps(config, indent=2).encode("utf-8")
        except RecursionError:
            raise ValueError("config: nested deeper than a config can be") from None
    return _kelvora.read_user_file("config", _path_bytes(config))


def check_design(X, names=None, interest=None):
    """kelvora's rank check, near-dependencies, correlations and VIF of any design matrix.

    ``X``: a DataFrame (its columns are the names; a nilearn design matrix works as it is) or an
    array of shape (rows, predictors) with ``names``; ``interest``: how many leading columns are
    predictors of interest (default: all), for the VIF. Returns a DataFrame of findings with
    kelvora's codes (``RANK_DEFICIENT_DESIGN``, ``NEAR_DEPENDENT_DESIGN``): ``code``,
    ``severity`` (``note`` for a near-dependency among confounds alone, else ``warning``),
    ``predictors`` (their names), ``dependent``, ``condition_index`` and ``text``; its ``attrs``
    hold ``rank``, ``columns``, ``condition_number`` (None when the design has no full rank or was
    not checked, as ``null`` in ``kelvora --json``), ``condition_grade`` (``low`` to ``extreme``;
    None when not checked), ``interest_condition_number`` and ``interest_condition_grade`` (the
    predictors of interest's after the confounds and the constant, as ``interestConditionNumber``
    and ``interestConditionGrade`` in ``kelvora --json``), ``correlation`` (a DataFrame, for up to 128 columns and at least as
    many rows as columns) and ``vif`` (a Series over the predictors of interest; empty for a design
    with fewer rows than columns). The texts name the matrix ``design``.
    """
    if isinstance(X, pd.DataFrame):
        names = [str(name) for name in X.columns] if names is None else list(names)
        values = X.to_numpy(dtype=np.float32)
    else:
        values = np.asarray(X, dtype=np.float32)
        if values.ndim != 2:
            raise ValueError("the design is not a 2-dimensional matrix")
        names = [f"x{i + 1}" for i in range(values.shape[1])] if names is None else list(names)
    count = values.shape[1] if interest is None else int(interest)
    result = _kelvora.check_design(np.asfortranarray(values),
                                   [str(n).encode("latin-1") for n in names], count)
    rows = [{"code": code, "severity": severity, "predictors": [names[i] for i in involved],
             "dependent": None if dependent is None else names[dependent],
             "condition_index": condition, "text": text}
            for code, severity, involved, dependent, condition, text in result["findings"]]
    frame = pd.DataFrame(rows, columns=["code", "severity", "predictors", "dependent",
                                        "condition_index", "text"])
    frame.attrs["rank"] = result["rank"]
    frame.attrs["columns"] = result["columns"]
    frame.attrs["condition_number"] = result["condition_number"]
    frame.attrs["condition_grade"] = result["condition_grade"]
    frame.attrs["interest_condition_number"] = result["interest_condition_number"]
    frame.attrs["interest_condition_grade"] = result["interest_condition_grade"]
    side = result["correlation_side"]
    if side == len(names):
        frame.attrs["correlation"] = pd.DataFrame(
            np.asarray(result["correlation"]).reshape(side, side), index=names, columns=names)
    frame.attrs["vif"] = pd.Series(result["vif"], index=names[: len(result["vif"])], dtype=float)
    return frame
