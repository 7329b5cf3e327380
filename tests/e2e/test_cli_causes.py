"""One line per cause: a condition a subject never saw (examples/study: sub-03 and "Bodies") is told
once on standard error with the count of the findings that follow from it; those stay in --json
(linked by causedBy) and in the report, under their cause, while the plug-in's log stays as is."""

import os
import re
import shutil
import unittest

from cli_harness import (EXAMPLES, EXIT_REPORTED, CliTest, run_cli, sdm_text, varied_column,
                         write_study)

CAUSE_LINE = ('kelvora: error: subject "sub-03", predictor number 3 named "Bodies" is zero in all'
              " its runs ... and {} findings that follow from it")
LOG_LINE = '!!!  sub-03, predictor number 3 named "Bodies" contains only zeros across runs'


class Causes(CliTest):

    def setUp(self):
        super().setUp()
        self.folder = self.study.path("study")
        shutil.copytree(os.path.join(EXAMPLES, "study"), self.folder)
        self.mdm = os.path.join(self.folder, "group.mdm")
        self.contrasts = ("--contrasts", os.path.join(self.folder, "contrasts.tsv"))

    def inspect(self, *options):
        base = ("--no-prompt", "--no-findings-file") + options
        text, report = run_cli(*base, self.mdm), run_cli(*base, "--json", self.mdm)
        self.assertStatus(text, EXIT_REPORTED)
        self.assertStatus(report, EXIT_REPORTED)
        return text, report.objects()[0]["allFindings"]

    def test_a_missing_condition_is_told_once_with_what_follows_from_it(self):
        text, found = self.inspect(*self.contrasts)
        cause = next(i for i, f in enumerate(found) if f["code"] == "ZERO_ACROSS_RUNS")
        followers = [f for f in found if f["causedBy"] == cause]
        # Its rank finding in each of sub-03's runs, and per contrast weighing "Bodies" both runs
        # and the subject; "Faces - Houses" weighs no "Bodies" and follows from nothing.
        self.assertEqual(sorted((f["code"], f["file"] or f["subject"]) for f in followers), sorted(
            [("RANK_DEFICIENT_DESIGN", "sub-03_run-1.sdm"), ("RANK_DEFICIENT_DESIGN",
                                                             "sub-03_run-2.sdm")] +
            [("CONTRAST_NOT_ESTIMABLE", f"sub-03_run-{r}.sdm") for r in (1, 2)] * 2 +
            [("CONTRAST_NOT_ESTIMABLE_FOR_SUBJECT", "sub-03")] * 2))
        self.assertTrue(all('"Faces - Houses"' not in f["text"] for f in followers))
        # Sub-02's zero "Rot Z" is no missing condition: its rank finding has its own line.
        rot = next(f for f in found if f["code"] == "RANK_DEFICIENT_DESIGN"
                   and f["file"] == "sub-02_run-2.sdm")
        self.assertIsNone(rot["causedBy"])
        errors = text.error_text().splitlines()
        self.assertIn(CAUSE_LINE.format(len(followers)), errors)
        self.assertIn('kelvora: warning: sub-02_run-2.sdm: predictor 12 "Rot Z" is zero throughout',
                      errors)
        self.assertEqual([line for line in errors if "sub-03" in line],
                         [CAUSE_LINE.format(len(followers))])
        self.assertIn(LOG_LINE, text.lines())

    def test_without_contrasts_the_rank_findings_follow(self):
        text, found = self.inspect()
        self.assertIn(CAUSE_LINE.format(2), text.error_text().splitlines())
        self.assertEqual(sum(f["causedBy"] is not None for f in found), 2)

    def test_a_cause_the_config_ignores_leaves_each_follower_its_own_line(self):
        text, found = self.inspect("--ignore", "ZERO_ACROSS_RUNS", *self.contrasts)
        self.assertTrue(all(f["causedBy"] is None for f in found))
        errors = text.error_text()
        self.assertNotIn("follow from it", errors)
        self.assertIn('kelvora: warning: sub-03_run-1.sdm: predictor 3 "Bodies" is zero throughout',
                      errors)
        self.assertIn(LOG_LINE, text.lines())  # the plug-in's line stays

    def test_the_report_lists_the_followers_under_their_cause(self):
        page = os.path.join(self.folder, "report.html")
        done = run_cli("--no-prompt", "--no-findings-file", "--report", page, *self.contrasts,
                       self.mdm)
        self.assertStatus(done, EXIT_REPORTED)
        with open(page, encoding="utf-8") as f:
            html = f.read()
        item = re.search(r'<li [^>]*data-code="ZERO_ACROSS_RUNS"[^>]*id="finding-(\d+)" '
                         r'data-followers="8">(.*?)</ul>', html, re.S)
        self.assertIsNotNone(item)
        self.assertEqual(item.group(2).count("<li>"), 8)
        self.assertIn("and 8 findings that follow from it", item.group(2))
        self.assertEqual(html.count(f'data-caused-by="{item.group(1)}"'), 8)

    def test_a_zero_column_a_damaged_file_explains_counts_under_the_damage(self):
        names = ("Faces", "Houses", "Trans X", "Constant")

        def sdm(zero=()):
            return sdm_text(names, 3, [[0.0] * 12 if n in zero else [1.0] * 12 if n == "Constant"
                                       else varied_column(p, 12) for p, n in enumerate(names)])
        cut = sdm().split("\n")
        runs = [("S01_run1", sdm(zero=("Houses",))), ("S01_run2", "\n".join(cut[:-13]) + "\n"),
                ("S02_run1", sdm()), ("S02_run2", sdm())]
        mdm = write_study(self.study, runs)
        text, [run] = run_cli("--no-prompt", "--no-findings-file", mdm), run_cli(
            "--no-prompt", "--no-findings-file", "--json", mdm).objects()
        found = run["allFindings"]
        damage = next(i for i, f in enumerate(found) if f["code"] == "SDM_SHORT_MATRIX")
        zero = next(f for f in found if f["code"] == "ZERO_ACROSS_RUNS")
        # S01_run1's own zero "Houses" follows from the zero finding, which the damage explains.
        rank = next(f for f in found if f["code"] == "RANK_DEFICIENT_DESIGN"
                    and f["file"].endswith("S01_run1.sdm"))
        self.assertEqual((zero["causedBy"], rank["causedBy"]), (damage, damage))
        count = sum(f["causedBy"] == damage for f in found)
        told = [line for line in text.error_text().splitlines() if "follow" in line]
        self.assertEqual(len(told), 1)
        self.assertTrue(told[0].startswith("kelvora: error: S01_run2.sdm: the matrix ends after"))
        self.assertTrue(told[0].endswith(f" ... and {count} findings that follow from it"))


if __name__ == "__main__":
    unittest.main()
