"""kelvora --report: the HTML report of each example study, rendered by headless Chromium, says
what the run's JSON says (summary counts, findings, the subject x predictor grid, the rank check)
and loads nothing from the network; its pictures are valid PNG files (decoded here with zlib, apart
from the encoder) that show the design matrices."""

import base64
import collections
import os
import shutil
import socket
import struct
import subprocess
import tempfile
import threading
import unittest
import zlib
from html.parser import HTMLParser

from cli_harness import (EXAMPLES, EXIT_NOT_INSPECTED, EXIT_REPORTED, EXIT_USAGE, CliTest,
                         clean_runs, run_cli, run_sdm, sdm_text, write_study)

CHROMIUM = shutil.which("chromium") or shutil.which("chromium-browser")
BROWSER_FLAGS = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync", "--no-first-run"]


class RecordingProxy:
    """A proxy that only records: the request line of every connection Chromium opens through it,
    none answered. A connection that sends nothing asked for nothing: Chromium opens speculative
    connections to its proxy, and may close them unused."""

    def __init__(self):
        self.server = socket.socket()
        self.server.bind(("127.0.0.1", 0))
        self.server.listen(16)
        self.port = self.server.getsockname()[1]
        self.requests = []
        threading.Thread(target=self._serve, daemon=True).start()

    def _serve(self):
        while True:
            try:
                connection, _ = self.server.accept()
            except OSError:
                return
            with connection:
                connection.settimeout(2)
                try:
                    request = connection.recv(512)
                except OSError:
                    continue
                if request:
                    self.requests.append(request.split(b"\r\n")[0])

    def close(self):
        self.server.close()


# Chromium calls its own services (network time, component updates, accounts) whatever the flags;
# those requests are told apart by host. Anything else that goes through the proxy came from the
# page.
BROWSER_SERVICES = (b"google.com", b"googleapis.com", b"gvt1.com", b"gstatic.com")


def page_requests(requests):
    def host(request):
        target = request.split(b" ")[1] if b" " in request else request
        return target.split(b"://")[-1].split(b"/")[0].split(b":")[0]
    return [r for r in requests
            if not any(host(r) == s or host(r).endswith(b"." + s) for s in BROWSER_SERVICES)]


def render(html_path):
    """The page's DOM after loading, as Chromium serialises it, and what it tried to fetch."""
    proxy = RecordingProxy()
    profile = tempfile.mkdtemp(prefix="kelvora-chromium-")
    try:
        done = subprocess.run(
            [CHROMIUM] + BROWSER_FLAGS +
            [f"--user-data-dir={profile}", f"--proxy-server=http://127.0.0.1:{proxy.port}",
             "--proxy-bypass-list=<-loopback>", "--dump-dom", "file://" + html_path],
            stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=120)
        assert done.returncode == 0, done.stderr.decode(errors="replace")[-2000:]
        return done.stdout.decode("utf-8"), page_requests(proxy.requests)
    finally:
        proxy.close()
        shutil.rmtree(profile, ignore_errors=True)


class Element:
    def __init__(self, tag, attrs):
        self.tag, self.attrs, self.text, self.children = tag, dict(attrs), "", []

    def classes(self):
        return (self.attrs.get("class") or "").split()


class Dom(HTMLParser):
    """The rendered page as a flat list of elements, each with its own text content."""

    VOID = {"meta", "img", "br", "link", "input", "hr"}

    def __init__(self, text):
        super().__init__(convert_charrefs=True)
        self.elements, self.open = [], []
        self.feed(text)

    def handle_starttag(self, tag, attrs):
        element = Element(tag, attrs)
        for parent in self.open:
            parent.children.append(element)
        self.elements.append(element)
        if tag not in self.VOID:
            self.open.append(element)

    def handle_endtag(self, tag):
        while self.open:
            if self.open.pop().tag == tag:
                break

    def handle_data(self, data):
        for element in self.open:
            element.text += data

    def find(self, tag=None, cls=None, **attrs):
        return [e for e in self.elements
                if (tag is None or e.tag == tag) and (cls is None or cls in e.classes()) and
                all(e.attrs.get(k.replace("_", "-")) == v for k, v in attrs.items())]

    def by_id(self, ident):
        [element] = [e for e in self.elements if e.attrs.get("id") == ident]
        return element.text.strip()


def grey_png(data_uri):
    """The width, height and pixel rows of an 8-bit greyscale PNG given as a data URI, with every
    chunk's CRC and the image data's own checksum verified, and the rows' filters undone."""
    prefix = "data:image/png;base64,"
    assert data_uri.startswith(prefix), data_uri[:40]
    png = base64.b64decode(data_uri[len(prefix):])
    assert png[:8] == b"\x89PNG\r\n\x1a\n"
    chunks, at = [], 8
    while at < len(png):
        (length,) = struct.unpack(">I", png[at:at + 4])
        kind, data = png[at + 4:at + 8], png[at + 8:at + 8 + length]
        (crc,) = struct.unpack(">I", png[at + 8 + length:at + 12 + length])
        assert zlib.crc32(kind + data) == crc, kind
        chunks.append((kind, data))
        at += 12 + length
    kinds = [kind for kind, _ in chunks]
    assert kinds[0] == b"IHDR" and kinds[-1] == b"IEND" and b"IDAT" in kinds, kinds
    width, height, depth, colour, compression, filtering, interlace = struct.unpack(
        ">IIBBBBB", chunks[0][1])
    assert (depth, colour, compression, filtering, interlace) == (8, 0, 0, 0, 0)
    raw = zlib.decompress(b"".join(data for kind, data in chunks if kind == b"IDAT"))
    assert len(raw) == (width + 1) * height
    rows, above = [], bytes(width)
    for y in range(height):
        kind, line = raw[y * (width + 1)], raw[y * (width + 1) + 1:(y + 1) * (width + 1)]
        row = unfiltered(kind, line, above)
        rows.append(row)
        above = row
    return width, height, rows


def unfiltered(kind, line, above):
    """One row of one-byte pixels with its PNG filter undone."""
    row = bytearray(len(line))
    for x, value in enumerate(line):
        left = row[x - 1] if x else 0
        up, up_left = above[x], above[x - 1] if x else 0
        if kind == 0:
            predicted = 0
        elif kind == 1:
            predicted = left
        elif kind == 2:
            predicted = up
        elif kind == 3:
            predicted = (left + up) // 2
        elif kind == 4:
            estimate = left + up - up_left
            predicted = min((abs(estimate - left), 0, left), (abs(estimate - up), 1, up),
                            (abs(estimate - up_left), 2, up_left))[2]
        else:
            raise AssertionError(f"no PNG filter {kind}")
        row[x] = (value + predicted) & 0xFF
    return bytes(row)


@unittest.skipIf(CHROMIUM is None, "chromium is not installed (scripts/test installs it)")
class ReportInBrowser(CliTest):

    def report(self, folder, *options):
        """Runs kelvora with --json and with --report on the study in `folder` (from inside it, as
        its MDM lists relative paths); returns the JSON object and the rendered report."""
        json_run = run_cli("--json", *options, "group.mdm", cwd=folder)
        [run] = json_run.objects()
        html = self.study.path("report.html")
        report_run = run_cli("--report", html, *options, "group.mdm", cwd=folder)
        self.assertEqual(report_run.returncode, json_run.returncode, report_run.error_text())
        text, requests = render(html)
        self.assertEqual(requests, [], "the report fetched something")
        return run, Dom(text), text

    def assertSameAsJson(self, run, dom):
        self.assertEqual(dom.by_id("studies"), str(run["studies"]))
        self.assertEqual(dom.by_id("subjects"), str(run["subjects"]))
        self.assertEqual(dom.by_id("complete"), "complete" if run["complete"] else "ended early")
        every = run["findings"] + run["designFindings"]
        self.assertEqual(dom.by_id("finding-total"), str(len(every)))
        self.assertEqual(dom.by_id("further-total"), str(len(run["furtherFindings"])))
        counts = {(tr.attrs["data-source"], tr.attrs["data-code"]):
                  int(next(c for c in tr.children if "count" in c.classes()).text)
                  for tr in dom.find("tr") if "data-code" in tr.attrs}
        self.assertEqual(counts, collections.Counter(
            [("log", f["code"]) for f in run["findings"]] +
            [("design", f["code"]) for f in run["designFindings"]] +
            [("further", f["code"]) for f in run["furtherFindings"]]))
        further = [li.text for li in dom.find("li") if li.attrs.get("data-source") == "further"]
        self.assertEqual(len(further), len(run["furtherFindings"]))
        # Each finding with the severity --fail-on counts, as in the JSON.
        self.assertEqual(
            collections.Counter((li.attrs["data-code"], li.attrs["data-severity"])
                                for li in dom.find("li", cls="finding")),
            collections.Counter((f["code"], f["severity"]) for f in run["allFindings"]
                                if f["kind"] != "cause"))
        # The log's findings, each with its exact line, grouped by code in the run's order.
        for code in {f["code"] for f in run["findings"]}:
            shown = [li.children[0].text for li in dom.find("li", data_code=code)]
            self.assertEqual(shown, [f["line"] for f in run["findings"] if f["code"] == code])
        # The rank check's findings: the same SDMs and predictors.
        shown = sorted((li.attrs["data-code"], li.attrs["data-file"], li.attrs["data-predictors"])
                       for li in dom.find("li") if "data-predictors" in li.attrs)
        self.assertEqual(shown, sorted(
            (f["code"], f["file"], " ".join(str(p["number"]) for p in f["predictors"]))
            for f in run["designFindings"]))
        # The conditions' own condition grade of each SDM in the rank table, as sdmDesigns has it.
        shown = {tr.attrs["data-file"]: td.attrs["data-grade"] for tr in dom.find("tr")
                 for td in tr.children if td.tag == "td" and "data-grade" in td.attrs}
        self.assertEqual(shown, {d["file"]: d["interestConditionGrade"] for d in run["sdmDesigns"]
                                 if d["interestConditionGrade"]})

    def grid(self, dom):
        return {(td.attrs["data-subject"], int(td.attrs["data-predictor"])):
                (td.attrs["data-state"], td.text.strip()) for td in dom.find("td", cls="cell")}

    def assertNothingToFetch(self, dom, text):
        [policy] = dom.find("meta", http_equiv="Content-Security-Policy")
        self.assertIn("default-src 'none'", policy.attrs["content"])
        self.assertEqual(dom.find("script") + dom.find("link") + dom.find("iframe"), [])
        self.assertNotIn("http:", text.replace('"http://www.w3.org', ""))
        self.assertNotIn("https:", text)
        for img in dom.find("img"):
            self.assertTrue(img.attrs["src"].startswith("data:image/png;base64,"))

    def test_example_study(self):
        folder = self.study.path("study")
        shutil.copytree(f"{EXAMPLES}/study", folder)
        run, dom, text = self.report(folder)
        self.assertSameAsJson(run, dom)
        self.assertNothingToFetch(dom, text)
        # Four subjects by six predictors of interest; sub-03 never saw "Bodies".
        grid = self.grid(dom)
        self.assertEqual(len(grid), 4 * 6)
        self.assertEqual({k for k, (state, _) in grid.items() if state == "zero-all"},
                         {(f["subject"], f["predictorNumber"]) for f in run["findings"]
                          if f["code"] == "ZERO_ACROSS_RUNS"})
        self.assertEqual({state for state, _ in grid.values()}, {"zero-all", "nonzero"})
        # A picture of each SDM: predictors of interest and confounds apart, one pixel column per
        # labelled predictor, 240 data points down.
        # "Bodies", the third, is black all down in sub-03's runs only; the constant, the last
        # confound, is white all down.
        figures = dom.find("figure")
        self.assertEqual(len(figures), 8)
        for figure in figures:
            panels = [c for c in figure.children if "panel" in c.classes()
                      and not {"correlation", "warnings"} & set(c.classes())]
            pictures = [c for c in figure.children if c.tag == "img"]
            interest, confounds = [grey_png(c.attrs["src"]) for c in pictures[:2]]
            # Beside them, the correlation heatmap and a VIF for each predictor of interest.
            self.assertEqual([c.attrs["alt"] for c in pictures[2:]], ["correlations"])
            self.assertEqual(len([c for c in figure.children if "data-predictor" in c.attrs]), 6)
            labels = [len([s for s in p.children if s.tag == "span"]) for p in panels]
            self.assertEqual([interest[:2], confounds[:2]], [(6, 240), (7, 240)])
            self.assertEqual(labels, [6, 7])
            bodies = {row[2] for row in interest[2]}
            self.assertEqual(bodies == {0}, "sub-03" in figure.attrs["data-file"], bodies)
            self.assertEqual({row[6] for row in confounds[2]}, {255})

    def test_the_grid_shows_zeros_found_beyond_a_log_that_ended_early(self):
        # S03's names disagree, so the log ends before its zero checks; kelvora's own check over
        # the SDMs that agree finds that S02 never saw "Faces".
        runs = [("S01_run1", run_sdm()), ("S01_run2", run_sdm()),
                ("S02_run1", run_sdm(zero=("Faces",))), ("S02_run2", run_sdm(zero=("Faces",))),
                ("S03_run1", run_sdm(interest=("Faces", "Hoses"))), ("S03_run2", run_sdm())]
        write_study(self.study, runs, folder="early")
        run, dom, text = self.report(self.study.path("early"))
        self.assertFalse(run["complete"])
        self.assertSameAsJson(run, dom)
        self.assertNothingToFetch(dom, text)
        self.assertEqual(self.grid(dom), {("S01", 1): ("nonzero", ""), ("S01", 2): ("nonzero", ""),
                                          ("S02", 1): ("zero-all", "zero"),
                                          ("S02", 2): ("nonzero", ""), ("S03", 1): ("nonzero", ""),
                                          ("S03", 2): ("nonzero", "")})
        self.assertIn("found beyond the log, which ended before its zero checks",
                      dom.find("section", id="grid")[0].text)
        self.assertEqual(len(dom.find("figure")), run["studies"])

    def test_moved_study_is_reported_from_the_located_files(self):
        folder = self.study.path("moved")
        shutil.copytree(f"{EXAMPLES}/moved", folder)
        _, unrepaired, _ = self.report(folder, "--no-prompt")
        self.assertIn("kelvora --locate SDM_PATH", unrepaired.by_id("locate"))
        run, dom, text = self.report(folder, "--locate", "sub-01_run-1.sdm")
        self.assertEqual(dom.find(id="locate"), [])
        self.assertSameAsJson(run, dom)
        self.assertNothingToFetch(dom, text)
        # Every SDM was read again from where the repair found it.
        self.assertEqual(dom.find("tr", cls="unread"), [])
        self.assertEqual(len(dom.find("figure")), run["studies"])

    def test_predictor_zero_in_some_runs_is_a_light_cell(self):
        runs = [("S01_run1", run_sdm(zero=("Houses",))), ("S01_run2", run_sdm()),
                ("S02_run1", run_sdm(zero=("Faces",))), ("S02_run2", run_sdm(zero=("Faces",)))]
        write_study(self.study, runs, folder="partial")
        run, dom, _ = self.report(self.study.path("partial"))
        self.assertSameAsJson(run, dom)
        self.assertEqual(self.grid(dom), {("S01", 1): ("nonzero", ""),
                                          ("S01", 2): ("zero-some", "1 of 2"),
                                          ("S02", 1): ("zero-all", "zero"),
                                          ("S02", 2): ("nonzero", "")})

    def test_disagreements_and_further_findings_come_first(self):
        runs = clean_runs()
        runs[1] = (runs[1][0], run_sdm(interest=("Faces", "Houses ")))
        runs[2] = (runs[2][0], run_sdm().rsplit("\n", 3)[0])  # the last two rows cut off
        write_study(self.study, runs, folder="blank")
        run, dom, text = self.report(self.study.path("blank"))
        self.assertSameAsJson(run, dom)
        [row] = [tr for tr in dom.find("tr") if "data-cause" in tr.attrs]
        self.assertEqual((row.attrs["data-file"], row.attrs["data-cause"]),
                         (run["causes"][0]["file"], "BLANKS_ONLY"))
        self.assertLess(text.index('id="disagreements"'), text.index('id="further"'))
        self.assertLess(text.index('id="further"'), text.index('id="findings"'))
        [cut] = [f for f in dom.find("figure") if f.attrs["data-file"].endswith("S02_run1.sdm")]
        self.assertIn("flagged", cut.classes())
        self.assertIn("read incompletely: 16 of 24 values", cut.text + "".join(
            c.text for c in cut.children))

    def test_rank_deficient_sdm_names_its_predictors(self):
        # run_sdm's columns repeat every three data points: the fourth equals the first.
        write_study(self.study, clean_runs(repeating=True), folder="repeats")
        run, dom, _ = self.report(self.study.path("repeats"))
        self.assertSameAsJson(run, dom)
        [first, *_] = run["designFindings"]
        self.assertEqual(first["code"], "RANK_DEFICIENT_DESIGN")
        self.assertEqual([p["name"] for p in first["predictors"]], ["Faces", "Constant"])
        self.assertEqual(len([f for f in run["designFindings"] if f["code"].startswith("RANK")]), 4)

    def test_detector_sees_a_page_that_fetches(self):
        # Guards the no-fetch assertions above: a page that loads a picture over http is seen.
        page = self.study.write("fetching.html",
                                '<html><body><img src="http://example.invalid/x.png"></body></html>')
        _, requests = render(page)
        self.assertNotEqual(requests, [])


class ReportAsWritten(CliTest):
    """The report's file parsed as written (no browser): the contrasts grid, and the lab's config
    followed as in the JSON."""

    def report(self, *options):
        folder = self.study.path("study")
        if not os.path.isdir(folder):
            shutil.copytree(f"{EXAMPLES}/study", folder)
        html = self.study.path("report.html")
        result = run_cli("--no-prompt", "--no-findings-file", "--report", html, *options,
                         "group.mdm", cwd=folder)
        self.assertEqual(result.returncode, EXIT_REPORTED, result.error_text())
        with open(html, encoding="utf-8") as f:
            return Dom(f.read())

    def test_contrast_grid_shows_the_subject_that_cannot_estimate(self):
        dom = self.report("--contrasts", "contrasts.tsv")
        cells = {(td.attrs["data-subject"], td.attrs["data-contrast"]): td
                 for td in dom.find("td", cls="contrast")}
        self.assertEqual(len(cells), 4 * 3)
        # sub-03 never saw "Bodies": no contrast that weighs it.
        self.assertEqual({k for k, td in cells.items() if td.attrs["data-estimable"] != "true"},
                         {("sub-03", "Bodies - Tools"), ("sub-03", "Faces + Houses - 2*Bodies")})
        lost = cells[("sub-03", "Bodies - Tools")]
        self.assertEqual((lost.text, lost.attrs["data-relative-efficiency"]), ("not estimable", ""))
        self.assertEqual(cells[("sub-01", "Faces - Houses")].attrs["data-null-runs"], "0")
        findings = dom.find("li", data_code="CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT")
        # Told as contrasts' findings, each code with the guide's entry under its heading.
        self.assertEqual({li.attrs["data-source"] for li in findings}, {"contrast"})
        [row] = dom.find("tr", data_code="CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT")
        self.assertEqual(row.attrs["data-source"], "contrast")
        self.assertIn("contrasts", [td.text for td in row.children])
        [guide] = dom.find("details", data_code="CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT")
        self.assertIn("What to do: ", guide.text)
        self.assertTrue(any('"sub-03"' in f.text and '"Bodies - Tools"' in f.text
                            for f in findings))

    def test_ignored_code_leaves_the_report(self):
        before = self.report()
        deficient = len(before.find("li", data_code="RANK_DEFICIENT_DESIGN"))
        self.assertGreater(deficient, 0)
        self.assertEqual(before.find(id="ignored"), [])
        after = self.report("--ignore", "RANK_DEFICIENT_DESIGN")
        self.assertEqual(after.find(data_code="RANK_DEFICIENT_DESIGN"), [])
        self.assertEqual(int(after.by_id("finding-total")),
                         int(before.by_id("finding-total")) - deficient)
        self.assertTrue(after.by_id("ignored").startswith(f"{deficient} findings ignored by the "
                                                          "config"))
        # The log's lines are the run's, whatever the config (what follows from one may differ).
        self.assertEqual([e.text for e in after.find("span", cls="line")],
                         [e.text for e in before.find("span", cls="line")])


class ReportOptions(CliTest):

    def test_a_large_study_pictures_its_most_serious_design(self):
        # 70 SDMs: pictures for at most 60 with a finding and a sample of every third. The first
        # 64 have a correlation note; S35_run1 (not sampled) correlates at r = 0.99 with VIF 88,
        # warnings without a dependency of the rank check.
        a = [1, 3, 2, 5, 4, 6, 8, 7]
        b = {"note": [2, 1, 4, 3, 7, 5, 4, 6], "plain": [5, 1, 7, 2, 8, 3, 6, 4],
             "worst": [1.3, 2.8, 2.3, 4.8, 4.3, 5.8, 8.3, 6.8]}
        runs = []
        for i in range(70):
            kind = "note" if i < 64 else "worst" if i == 68 else "plain"
            runs.append((f"S{i // 2 + 1:02d}_run{i % 2 + 1}",
                         sdm_text(["A", "B", "Constant"], 3, [a, b[kind], [1] * 8])))
        mdm = write_study(self.study, runs, folder="large")
        [run] = run_cli("--json", "--no-findings-file", mdm).objects()
        worst = [(f["code"], f["severity"]) for f in run["designFindings"]
                 if f["file"].endswith("S35_run1.sdm")]
        self.assertEqual(worst, [("PREDICTOR_CORRELATION", "warning"), ("HIGH_VIF", "warning"),
                                 ("HIGH_VIF", "warning")])
        html = self.study.path("large.html")
        self.assertStatus(run_cli("--no-findings-file", "--report", html, mdm), EXIT_REPORTED)
        with open(html, encoding="utf-8") as f:
            dom = Dom(f.read())
        shown = [os.path.basename(f.attrs["data-file"]) for f in dom.find("figure")]
        self.assertIn("S35_run1.sdm", shown)
        self.assertIn("flagged", dom.find("figure", data_file=f"{self.study.path('large')}/"
                                          "S35_run1.sdm")[0].classes())
        self.assertLess(len(shown), 70)

    def test_report_takes_one_mdm(self):
        mdm = write_study(self.study, clean_runs())
        result = run_cli("--report", self.study.path("r.html"), mdm, mdm)
        self.assertStatus(result, EXIT_USAGE)
        self.assertIn("--report takes one MDM_FILE", result.error_text())

    def test_unwritable_report_is_status_2(self):
        mdm = write_study(self.study, clean_runs())
        result = run_cli("--report", self.study.path("missing/folder/r.html"), mdm)
        self.assertStatus(result, EXIT_NOT_INSPECTED)
        self.assertIn("no report", result.error_text())


if __name__ == "__main__":
    unittest.main()
